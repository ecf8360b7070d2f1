#!/usr/bin/env bash
# Starts Korvane from a build folder: the window when a desktop is there, the
# headless simulator otherwise. Runs in ./run so its files stay out of the tree.
set -euo pipefail
build="$1"
mkdir -p run
cd run
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "../$build/src/shell/korvane" ]; then
  exec "../$build/src/shell/korvane"
elif [ -x "../$build/src/headless/korvane-headless" ]; then
  echo "No desktop found: running the headless simulator (Ctrl+C ends it)." >&2
  exec "../$build/src/headless/korvane-headless" --udp 127.0.0.1 --interval 1 --echo
else
  echo "The program is not built yet; running the benchmarks instead." >&2
  exec "../$build/bench/korvane_bench"
fi
