#!/usr/bin/env bash
# Lists the tests the last ctest run in build folder $1 skipped, each with the
# message its GTEST_SKIP gave, read from ctest's log of that run.
set -euo pipefail
log="$1/Testing/Temporary/LastTest.log"
[ -f "$log" ] || exit 0
awk '
  /^"[^"]*" start time:/ {
    name = $0; sub(/^"/, "", name); sub(/" start time:.*/, "", name)
    reason = ""; inSkip = 0; next
  }
  /^[^ ].*:[0-9]+: Skipped$/ { inSkip = 1; next }  # the message follows
  inSkip && /^\[  SKIPPED \]/ { inSkip = 0; next }
  inSkip && NF { reason = reason (reason == "" ? "" : " ") $0; next }
  /^Skip regular expression found in output/ {
    skipped[++count] = name ": " (reason == "" ? "(no reason given)" : reason)
  }
  END {
    if (count == 0) exit
    print "Skipped tests and why:"
    for (i = 1; i <= count; ++i) print "  " skipped[i]
  }
' "$log"
