#!/usr/bin/env bash
# Runs korvane-headless in a folder of its own, asks it once over loopback UDP
# and checks every byte of the answer, then ends it with Ctrl+C (SIGINT) and
# checks it saved. The Linux build and the Windows build under Wine are held
# to the same bytes, so a receiver sees the same thing from either.
#   same_answer_test.sh [RUNNER...] PROGRAM
# e.g. scripts/wine-run.sh build/windows/src/headless/korvane-headless.exe
set -euo pipefail

folder="$(mktemp -d)"
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
  rm -rf "$folder"
}
trap cleanup EXIT

# Korvane.ini: peer 127.0.0.1, interval 3 s, UDP, interrogated, both depths
# 1e9 ft, where a foot or two of drilling is below a float's resolution, so
# the answer does not depend on how long the program took to start.
printf '\x7f\x00\x00\x01\xcd\xcc\xcc\x3d\x00\x00\x40\x40\x00\x00\x00\x00' >"$folder/Korvane.ini"
printf '\x01\x00\x00\x00\x01\x00\x00\x00\x28\x6b\x6e\x4e\x28\x6b\x6e\x4e' >>"$folder/Korvane.ini"
printf '\x00\x00\x00\x00' >>"$folder/Korvane.ini"

expected="$folder/expected"
printf '&&\r\n1984KVT\r\n!!\r\n&&\r\n01081000000000.0000\r\n01101000000000.0000\r\n' >"$expected"
printf '012390.00\r\n012490.00\r\n012590.00\r\n!!\r\n' >>"$expected"

runner=()
for argument in "$@"; do runner+=("$(realpath "$argument")"); done
# The lock in the folder too, so a Korvane already running elsewhere is no bar.
(cd "$folder" && XDG_RUNTIME_DIR="$folder" exec "${runner[@]}" >stdout.txt 2>stderr.txt </dev/null) &
program_pid=$!

# A fresh Wine takes a few seconds to start; a refused datagram just means
# the program is not listening yet.
answer="$folder/answer"
for _ in $(seq 120); do
  printf '&&\r\n0140 7.5\r\n!!\r\n' |
    socat -t 0.5 - UDP4:127.0.0.1:5001 >"$answer" 2>/dev/null || true
  [ -s "$answer" ] && break
  kill -0 "$program_pid" 2>/dev/null || { cat "$folder/stderr.txt" >&2; exit 1; }
  sleep 0.5
done
if ! cmp -s "$expected" "$answer"; then
  echo "the answer differs from the expected bytes:" >&2
  od -c "$answer" >&2
  cat "$folder/stderr.txt" >&2
  exit 1
fi

kill -INT "$program_pid"
for _ in $(seq 100); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && { echo "still running 10 s after Ctrl+C" >&2; exit 1; }
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || { echo "exit code $status after Ctrl+C" >&2; exit 1; }
# Saved on the way out: still 36 bytes, the link still UDP.
[ "$(stat -c %s "$folder/Korvane.ini")" -eq 36 ] || { echo "Korvane.ini not saved whole" >&2; exit 1; }
[ "$(od -An -tx1 -j16 -N4 "$folder/Korvane.ini" | tr -d ' ')" = 01000000 ] ||
  { echo "Korvane.ini saved without the link" >&2; exit 1; }
echo "the same $(stat -c %s "$answer") bytes, saved on Ctrl+C"
