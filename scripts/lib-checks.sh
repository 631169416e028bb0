# Sourced by test-linux.sh and test-monitors.sh: the tally of their checks and the clean-up of what a
# run started.
#
#   check NAME COMMAND...   "PASS: NAME" or "FAIL: NAME" by COMMAND's status (pass and fail alone too)
#                           (and that status)
#   finish                  prints "N passed, N failed" and exits, with status 1 on any failure
#   wait_until SECS CMD...  runs CMD every 0.1 s until it succeeds (status 0) or SECS of wall time pass
#   PIDS+=(PID)             a process the run started: ended when the script exits, which also
#                           removes $TMP unless KEEP_TMP is set
# shellcheck shell=bash

passed=0
failed=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; return 1; fi
}
# The limits are generous and cost nothing when things go well: on a busy machine a program, a server
# or a screen shot can take seconds, and a test must not fail for that.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
}

PIDS=()
cleanup() {
  local p
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${KEEP_TMP:-}" ] || rm -rf "$TMP"
}
trap cleanup EXIT
