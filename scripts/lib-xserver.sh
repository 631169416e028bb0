# Sourced by the scripts that need an X server of their own (test-linux.sh, test-monitors.sh,
# test-win32.sh, bench-linux.sh, try-wayland.sh): one way to find a free display number, start the
# server there and wait until it answers.
#
#   x_server_start FIRST LAST PROGRAM [ARGS...]
#     Runs "PROGRAM :N -noreset ARGS..." in the background for the first N in FIRST..LAST that no other server
#     holds (neither its lock file nor its socket exists), and waits up to 10 s until it answers.
#     A server that ends early (another one took the number in between) moves on to the next N.
#     Sets X_SERVER_DISPLAY (":N") and X_SERVER_PID; returns 1, with a line on stderr, when no server
#     could be started. Its output goes to $X_SERVER_LOG (default /dev/null).
#
# Safe under "set -e". TL_X_DISPLAY_FIRST, when set, moves every script's range to start there (several people testing on
# one machine each take numbers of their own); the range keeps its length.
# shellcheck shell=bash disable=SC2034

x_server_start() {
  local first=$1 last=$2 n _
  shift 2
  if [ -n "${TL_X_DISPLAY_FIRST:-}" ]; then
    last=$((TL_X_DISPLAY_FIRST + last - first))
    first=$TL_X_DISPLAY_FIRST
  fi
  X_SERVER_DISPLAY=
  X_SERVER_PID=
  for n in $(seq "$first" "$last"); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # -noreset: a server resets when its last client leaves, and a client that connects during the
    # reset is turned away; the check below is such a last client (under load 13 of 300 back-to-back
    # connections failed without it).
    "$1" ":$n" -noreset "${@:2}" >"${X_SERVER_LOG:-/dev/null}" 2>&1 &
    X_SERVER_PID=$!
    for _ in $(seq 100); do
      kill -0 "$X_SERVER_PID" 2>/dev/null || break
      # Answering, and ours: another server that took the number would have ended ours.
      if xdpyinfo -display ":$n" >/dev/null 2>&1 && kill -0 "$X_SERVER_PID" 2>/dev/null; then
        X_SERVER_DISPLAY=:$n
        return 0
      fi
      sleep 0.1
    done
    kill "$X_SERVER_PID" 2>/dev/null || true
    wait "$X_SERVER_PID" 2>/dev/null || true
    X_SERVER_PID=
  done
  echo "no $(basename "$1") could be started on a display in $first..$last" >&2
  return 1
}
