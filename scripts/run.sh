#!/usr/bin/env bash
# Starts Korvane from a build folder: the window when a desktop is there, the
# headless simulator otherwise, and says first where the frames go. Runs in
# ./run so its files stay out of the tree.
set -euo pipefail
build="$1"
mkdir -p run
cd run
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "../$build/src/shell/korvane" ]; then
  echo "Opening the Korvane window (files in run/). It sends frames where File, Setup... says;" >&2
  echo "the first time nowhere: the title reads \"Korvane (Not Connected)\" until a link is chosen." >&2
  exec "../$build/src/shell/korvane"
elif [ -x "../$build/src/headless/korvane-headless" ]; then
  echo "No desktop found: running the headless simulator (files in run/, Ctrl+C ends it)." >&2
  echo "Streaming to UDP 127.0.0.1:5001 every 1 s and printing each frame here;" >&2
  echo "a receiver on this machine's port 5001 gets them, e.g. socat -u UDP-RECV:5001 -" >&2
  exec "../$build/src/headless/korvane-headless" --udp 127.0.0.1 --streaming --interval 1 --echo
else
  echo "The program is not built yet; running the benchmarks instead." >&2
  exec "../$build/bench/korvane_bench"
fi
