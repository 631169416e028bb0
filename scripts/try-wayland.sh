#!/usr/bin/env bash
# The saver in a Wayland session, for real: weston (Debian's) with XWayland, nested in an Xvfb of its
# own (its x11 backend gives it a seat: a pointer and a keyboard that xdotool drives; the headless
# backend has none). Runs the full-screen saver both ways (above the compositor's windows, and as the
# window manager's full-screen window, the default in a Wayland session) and reports what a key, a
# click and a pointer move do. Not part of the tests: a report for the README's "other desktops".
#
#   scripts/try-wayland.sh [BUILD_DIR]     (default build/release; needs weston and xwayland)
set -uo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
case "${1:-}" in -*) tl_common_option "$0" "$1" ;; esac
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:-build/release}" && pwd)
T=$BUILD/shell/linux/tillands
command -v weston >/dev/null && command -v Xwayland >/dev/null || { echo "needs weston and xwayland (scripts/deps.sh wayland)"; exit 1; }
TMP=$(mktemp -d /tmp/tillands-wayland.XXXXXX)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT
cp -r "$BUILD/world/Tillands" "$TMP/world" && rm -f "$TMP/world/Logo.bmp"
export SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=$TMP/config XDG_RUNTIME_DIR=$TMP/run
mkdir -m 700 "$TMP/run"
# shellcheck source=scripts/lib-xserver.sh
source scripts/lib-xserver.sh
x_server_start 80 89 Xvfb -screen 0 1024x768x24 -nolisten tcp || exit 1
PIDS+=("$X_SERVER_PID")
HOSTD=$X_SERVER_DISPLAY
DISPLAY=$HOSTD weston --backend=x11-backend.so --xwayland --socket=tillands-wl --width=800 --height=600 \
  --idle-time=0 >"$TMP/weston.log" 2>&1 &
PIDS+=($!)
for i in $(seq 100); do grep -q "listening on display" "$TMP/weston.log" && break; sleep 0.1; done
XD=$(grep -o "listening on display :[0-9]*" "$TMP/weston.log" | grep -o ":[0-9]*")
[ -n "$XD" ] || { echo "weston did not start XWayland"; cat "$TMP/weston.log"; exit 1; }
echo "weston $(weston --version 2>&1 | awk '{ print $2 }'), XWayland on $XD"

for how in override-redirect wm-fullscreen; do
  for input in key nudge+key click move; do
    opt=()
    [ $how = wm-fullscreen ] && opt=(--wm-fullscreen)
    # WAYLAND_DISPLAY unset for the first way: it would choose the window manager's full screen.
    if [ $how = override-redirect ]; then
      env -u WAYLAND_DISPLAY DISPLAY="$XD" "$T" --data "$TMP/world" 2>"$TMP/saver.err" &
    else
      WAYLAND_DISPLAY=tillands-wl DISPLAY="$XD" "$T" "${opt[@]}" --data "$TMP/world" 2>"$TMP/saver.err" &
    fi
    pid=$!
    PIDS+=($pid)
    for i in $(seq 100); do DISPLAY=$XD xwininfo -root -tree 2>/dev/null | grep -q "Tillands ScreenSaver" && break; sleep 0.1; done
    sleep 1.5  # the compositor shows the window once it has a frame
    case $input in
      key) DISPLAY=$HOSTD xdotool key x ;;
      nudge+key)  # the pointer moved over the saver by less than its 5 pixels first
        DISPLAY=$HOSTD xdotool mousemove_relative 2 2
        sleep 0.3
        kill -0 $pid 2>/dev/null && DISPLAY=$HOSTD xdotool key x ;;
      click) DISPLAY=$HOSTD xdotool click 1 ;;
      move)  # the first position, then one 100 pixels away
        DISPLAY=$HOSTD xdotool mousemove 400 300
        sleep 0.3
        DISPLAY=$HOSTD xdotool mousemove 500 400 ;;
    esac
    for i in $(seq 30); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then
      result="does not end it"
      kill $pid
      wait $pid 2>/dev/null
    else
      wait $pid
      result="ends it (status $?)"
    fi
    printf '%-18s %-10s %s\n' "$how" "$input" "$result"
  done
done
