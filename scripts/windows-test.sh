#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh prefix, with COM5 and
# COM6 joined like a null-modem cable: each is one end of a socat
# pseudo-terminal pair. Run it inside a network namespace (make windows-test
# does not make one). Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$PWD/build/windows"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver

rm -rf "$WINEPREFIX" "$build/com-pair"
mkdir -p "$build/com-pair"
socat_pid=""
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
  "$wineserver" -k 2>/dev/null || true
}
trap cleanup EXIT

started=$SECONDS
WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
"$wineserver" -w
# One server for the whole run, not one per test, and Wine's own background
# programs started now: started by a test they would keep its output pipe
# open, and CTest would wait on it.
"$wineserver" -p >/dev/null 2>&1
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1

socat pty,rawer,link="$build/com-pair/a" pty,rawer,link="$build/com-pair/b" &
socat_pid=$!
for _ in $(seq 50); do
  [ -e "$build/com-pair/a" ] && [ -e "$build/com-pair/b" ] && break
  sleep 0.1
done
ln -sfn "$(readlink -f "$build/com-pair/a")" "$WINEPREFIX/dosdevices/com5"
ln -sfn "$(readlink -f "$build/com-pair/b")" "$WINEPREFIX/dosdevices/com6"
export KORVANE_TEST_COM_PAIR=5,6
echo "Wine prefix and COM pair ready in $((SECONDS - started)) s"

status=0
ctest --preset windows "$@" || status=$?
scripts/skipped-tests.sh "$build"
exit "$status"
