#!/usr/bin/env bash
# Tests of the Linux front end on X servers of their own (Xvfb on free displays of 50..59): the window, the
# full-screen saver, the XScreenSaver hack in a window of a small test host (by --window-id and by
# $XSCREENSAVER_WINDOW, following a resize), the deterministic capture against the headless renderer,
# the real XScreenSaver running our hack as a normal user, and the Debian package.
#
#   scripts/test-linux.sh [BUILD_DIR]     (default build/release; needs tillands, the world and
#                                          x_test_host built there)
# Ends with "N passed, N failed" and a non-zero status on any failure.
set -uo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
case "${1:-}" in -*) tl_common_option "$0" "$1" ;; esac
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$(cd "${1:-build/release}" && pwd)
T=$BUILD/shell/linux/tillands
HOST=$BUILD/tests/x_test_host
WORLD=$BUILD/world/Tillands
export SDL_AUDIODRIVER=dummy
TMP=$(mktemp -d /tmp/tillands-linux-test.XXXXXX)
chmod 755 "$TMP"
export XDG_CONFIG_HOME=$TMP/config
unset XSCREENSAVER_WINDOW

# shellcheck source=scripts/lib-checks.sh
source scripts/lib-checks.sh

for f in "$T" "$HOST" "$WORLD"; do
  [ -e "$f" ] || { echo "missing $f (build the release tree first)"; failed=1; finish; }
done

# shellcheck source=scripts/lib-xserver.sh
source scripts/lib-xserver.sh
# shellcheck source=scripts/lib-xscreensaver.sh
source scripts/lib-xscreensaver.sh
# An Xvfb on a free display number of our range.
start_xvfb() {  # SIZE [DEPTH [XVFB OPTIONS...]] -> sets DISPLAY
  local size=$1 depth=${2:-24}
  shift
  [ $# -gt 0 ] && shift
  x_server_start 50 59 Xvfb -screen 0 "${size}x$depth" -nolisten tcp "$@" || return 1
  PIDS+=("$X_SERVER_PID")
  export DISPLAY=$X_SERVER_DISPLAY
}

wait_file() { wait_until 30 test -e "$1"; }
wait_output() { wait_until 30 test -s "$1"; }  # a test host's first line, its window id
# Takes shots of a window until two in a row are the same and lit (a still page is drawn): the
# intro page of the world with the logo stands for 10 s.
still_shot() {  # WINDOW FILE
  local i
  shot_window "$1" "$2.prev"
  for i in $(seq 40); do
    sleep 0.2
    shot_window "$1" "$2"
    above "$(lit "$2")" 0.05 && [ "$(compare -metric AE "$2" "$2.prev" null: 2>&1)" = 0 ] && return 0
    mv "$2" "$2.prev"
  done
  return 1
}
# CPU seconds (user + system) a process has used.
cpu_seconds() { awk -v t="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / t }' "/proc/$1/stat"; }

# Fraction of pixels that are not black in an image file.
lit() { convert "$1" -fill white +opaque black -colorspace gray -format '%[fx:mean]' info:; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
shot_window() { xwd -silent -id "$1" | convert xwd:- "$2"; }
shot_root() { xwd -silent -root | convert xwd:- "$1"; }
# Our frames on the screen: more than MIN (default half) of the pixels lit, the shot left in FILE.
window_lit() { shot_window "$1" "$2" && above "$(lit "$2")" "${3:-0.5}"; }  # WINDOW FILE [MIN]
root_lit() { shot_root "$1" && above "$(lit "$1")" "${2:-0.5}"; }            # FILE [MIN]
# Something new in WINDOW since the shot in FILE (the new shot in FILE2).
window_changed() { shot_window "$1" "$3" && ! compare -metric AE "$2" "$3" null: 2>/dev/null; }  # WINDOW FILE FILE2
wait_window() {  # NAME -> prints the id
  timeout 30 xdotool search --sync --name "$1" 2>/dev/null | head -1
}
# Waits up to SECONDS for PID to end; sets ENDED to its status (or "running"). Not in a $(...):
# only this shell can collect its children's statuses.
ended_ok() {
  wait_end "$1" "$2"
  [ "$ENDED" = 0 ]
}
wait_end() {
  local pid=$1 seconds=$2 i
  ENDED=running
  for i in $(seq $((seconds * 20))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      ENDED=$?
      return
    fi
    sleep 0.05
  done
}

# A world without the logo picture has no intro: scenes move from the first frame.
NOLOGO=$TMP/nologo
cp -r "$WORLD" "$NOLOGO" && rm -f "$NOLOGO/Logo.bmp"

start_xvfb 1024x768 || { failed=1; finish; }

echo "== window"
"$T" --window 640x480 --data "$NOLOGO" --seed 3 2>"$TMP/window.err" &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
check "window: frames show the scene (most pixels lit)" wait_until 30 window_lit "$W" "$TMP/w0.png"
# The first villagers walk in after about two seconds.
sleep 2.5
shot_window "$W" "$TMP/w1.png"
check "window: frames change over time" wait_until 30 window_changed "$W" "$TMP/w1.png" "$TMP/w2.png"
start=$(date +%s%N)
kill -TERM $pid
wait_end $pid 10
status=$ENDED
elapsed=$((($(date +%s%N) - start) / 1000000))
check "window: SIGTERM ends it with status 0 (status $status)" [ "$status" = 0 ]
check "window: SIGTERM ends it within 1 s (${elapsed} ms)" [ "$elapsed" -le 1000 ]

for key in Escape q; do
  "$T" --window 320x240 --data "$NOLOGO" &
  pid=$!
  PIDS+=($pid)
  W=$(wait_window "Tillands ScreenSaver")
  wait_until 30 window_lit "$W" "$TMP/k.png"
  xdotool key --window "$W" space 2>/dev/null
  sleep 0.3
  check "window: other keys keep it open" kill -0 $pid
  xdotool key --window "$W" $key 2>/dev/null
  check "window: $key ends it with status 0" ended_ok $pid 10
done

"$T" --window 320x240 --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
wait_until 30 window_lit "$W" "$TMP/c.png"
xdotool windowclose "$W" 2>/dev/null || xdotool windowkill "$W"
check "window: a window destroyed from outside ends it with status 0" ended_ok $pid 10

echo "== capture"
# The first frames a real window presented, byte for byte the headless renderer's for the same seed,
# size and settings.
TILLANDS_CAPTURE_DIR=$TMP/capture TILLANDS_CAPTURE_FRAMES=40 "$T" --window 320x240 --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
wait_file "$TMP/capture/frame_000039.ppm"
kill -TERM $pid
wait_end $pid 10
"$T" --headless --quiet --data "$NOLOGO" --size 320x240 --seed 1 --frames 40 --ppm "$TMP/headless" 2>/dev/null
same=0
for f in "$TMP"/headless/frame_*.ppm; do cmp -s "$f" "$TMP/capture/$(basename "$f")" && same=$((same + 1)); done
check "capture: 40 window frames byte-identical to the headless renderer's ($same same)" [ "$same" = 40 ]
check "capture: the frames differ from each other" bash -c "! cmp -s '$TMP/capture/frame_000001.ppm' '$TMP/capture/frame_000039.ppm'"

# Stops the saver PID between frames and finds which of the last frames it captured into DIR the window
# shows exactly (or the one before, should the stop land between drawing and capturing). Sets LAST (the
# number of frames captured) and MATCH (the frame shown, or "none"); the saver goes on afterwards.
# CONVERT: options that turn the window's picture into the frame's pixels first (an enlarged scene).
shows_last_frame() {  # PID WINDOW DIR [CONVERT...]
  local k f
  kill -STOP "$1"
  sleep 0.3
  xwd -silent -id "$2" | convert xwd:- "${@:4}" "$3.png"
  LAST=$(ls "$3" | grep -c 'frame_.*\.ppm$')
  MATCH=none
  for k in $((LAST - 1)) $((LAST - 2)); do
    f=$(printf '%s/frame_%06d.ppm' "$3" "$k")
    [ -e "$f" ] && [ "$(compare -metric AE "$f" "$3.png" null: 2>&1)" = 0 ] && MATCH=$k
  done
  kill -CONT "$1"
}
# The size of a captured frame ("W H").
frame_size() { head -c 20 "$1" | sed -n 2p; }

# Only the changed parts of a frame are sent to the X server: what the window shows must still be
# exactly the last frame.
TILLANDS_CAPTURE_DIR=$TMP/exact TILLANDS_CAPTURE_FRAMES=1000 "$T" --window 320x240 --data "$NOLOGO" --fps 4 &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
sleep 5
shows_last_frame $pid "$W" "$TMP/exact"
kill -TERM $pid
wait_end $pid 10
check "window: after $LAST frames of partial updates it shows exactly the last frame (frame $MATCH)" \
  [ "$MATCH" != none ]

# A window resized by the user or a tiling window manager gets a scene of its new size, not the old
# one fitted with borders: the frames after the resize have the window's size (here at scale 2, the
# odd pixel left over), and the window shows the last of them exactly, each pixel a 2x2 block.
TILLANDS_CAPTURE_DIR=$TMP/resize TILLANDS_CAPTURE_FRAMES=1000 "$T" --window 320x240 --scale 2 --data "$NOLOGO" \
  --fps 4 &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
wait_file "$TMP/resize/frame_000001.ppm"
xdotool windowsize "$W" 1001 601
size=
newest_is_500x300() {
  local f
  f=$(ls "$TMP/resize" | grep 'frame_.*\.ppm$' | tail -1)
  size=$(frame_size "$TMP/resize/$f")
  [ "$size" = "500 300" ]
}
wait_until 30 newest_is_500x300
check "window: a resize to 1001x601 at scale 2 lays the scene out at 500x300 (frames of $size)" \
  [ "$size" = "500 300" ]
sleep 1
shows_last_frame $pid "$W" "$TMP/resize" -crop 1000x600+0+0 +repage -sample 50%
kill -TERM $pid
wait_end $pid 10
check "window: the resized window shows the new scene at the whole scale, without borders (frame $MATCH)" \
  [ "$MATCH" != none ]

echo "== hack"
"$HOST" 320 240 >"$TMP/host.out" &
HOSTPID=$!
PIDS+=($HOSTPID)
wait_output "$TMP/host.out"
HOSTWIN=$(head -1 "$TMP/host.out")
"$T" --window-id "$HOSTWIN" --data "$NOLOGO" 2>"$TMP/hack.err" &
pid=$!
PIDS+=($pid)
check "hack (--window-id): frames appear in the given window" wait_until 30 window_lit "$HOSTWIN" "$TMP/h1.png"
xdotool windowsize "$HOSTWIN" 640 480
# Only a quarter of the window would be lit if the frames did not follow the size.
check "hack: the frames follow a resize of the window" wait_until 30 window_lit "$HOSTWIN" "$TMP/h2.png"
check "hack: the resized window shows 640x480" [ "$(identify -format '%wx%h' "$TMP/h2.png")" = 640x480 ]
check "hack: the picture reaches the given window through shared memory (MIT-SHM)" \
  grep -q SYSV "/proc/$pid/maps"
xdotool key --window "$HOSTWIN" Escape 2>/dev/null
xdotool mousemove --window "$HOSTWIN" 10 10 mousemove --window "$HOSTWIN" 200 200 click 1
sleep 0.3
check "hack: input does not end it (XScreenSaver decides)" kill -0 $pid
start=$(date +%s%N)
kill -INT $pid
wait_end $pid 10
status=$ENDED
elapsed=$((($(date +%s%N) - start) / 1000000))
check "hack: SIGINT ends it with status 0 within 1 s (status $status, ${elapsed} ms)" \
  bash -c "[ '$status' = 0 ] && [ $elapsed -le 1000 ]"

XSCREENSAVER_WINDOW=$HOSTWIN "$T" --root --data "$NOLOGO" -fps 2>"$TMP/hack2.err" &
pid=$!
PIDS+=($pid)
check "hack (\$XSCREENSAVER_WINDOW over --root): frames appear in that window" \
  wait_until 30 window_lit "$HOSTWIN" "$TMP/h3.png"
shot_root "$TMP/root.png"
check "hack: the root window outside it stays untouched" [ "$(convert "$TMP/root.png" -crop 100x100+900+650 -format '%[fx:maxima]' info:)" = 0 ]
kill $HOSTPID
wait $HOSTPID 2>/dev/null
check "hack: the window destroyed under it ends it with status 0" ended_ok $pid 10
# The window vanished under a running hack: every request on it fails with BadWindow/BadDrawable,
# which is expected and must not reach XScreenSaver's log.
check "hack: no X error reached the user when its window vanished" bash -c "! grep -qi 'X error\|BadWindow' '$TMP/hack2.err'"

echo "== full screen"
"$T" --data "$NOLOGO" --scale 2 &
pid=$!
PIDS+=($pid)
check "full screen: the whole screen shows the scene (scale 2)" wait_until 30 root_lit "$TMP/f1.png" 0.9
xdotool mousemove 100 100
sleep 0.2
xdotool mousemove 104 105
sleep 0.3
check "full screen: a move of 5 pixels keeps it" kill -0 $pid
xdotool mousemove 107 100
check "full screen: a move of more than 5 pixels ends it with status 0" ended_ok $pid 10
"$T" --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
wait_until 30 root_lit "$TMP/f2.png" 0.9
xdotool key x
check "full screen: a key ends it with status 0" ended_ok $pid 10
TILLANDS_CAPTURE_DIR=$TMP/scaled TILLANDS_CAPTURE_FRAMES=1 "$T" --data "$NOLOGO" --scale 2 &
pid=$!
PIDS+=($pid)
wait_file "$TMP/scaled/frame_000000.ppm"
xdotool click 1
wait_end $pid 10
check "full screen: with scale 2 the scene runs at half the screen (512x384)" \
  [ "$(head -c 20 "$TMP/scaled/frame_000000.ppm" | sed -n 2p)" = "512 384" ]

echo "== window manager, grabs, environment"
"$T" --window 320x240 --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
# A client message that is not the window manager's protocol, with WM_DELETE_WINDOW in its first word.
"$HOST" --close "$W" _TILLANDS_OTHER
"$HOST" --close "$W" _TILLANDS_OTHER  # a round trip through the saver's queue: it has seen the first
check "window: another client message carrying WM_DELETE_WINDOW keeps it open" kill -0 $pid
"$HOST" --close "$W"
check "window: the window manager's close (WM_PROTOCOLS/WM_DELETE_WINDOW) ends it with status 0" ended_ok $pid 10

# Full screen through the window manager (EWMH): asked for with --wm-fullscreen, and taken by itself in
# a Wayland session, where the compositor gives keys only to windows it manages.
for how in --wm-fullscreen WAYLAND_DISPLAY; do
  if [ $how = WAYLAND_DISPLAY ]; then
    WAYLAND_DISPLAY=tillands-test-none "$T" --data "$NOLOGO" &
  else
    "$T" --wm-fullscreen --data "$NOLOGO" &
  fi
  pid=$!
  PIDS+=($pid)
  W=$(wait_window "Tillands ScreenSaver")
  check "full screen ($how): a managed window that asks for _NET_WM_STATE_FULLSCREEN" bash -c \
    "xprop -id '$W' _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN && xwininfo -id '$W' | grep -q 'Override Redirect State: no'"
  wait_until 30 window_lit "$W" "$TMP/wm.png"
  xdotool key x
  check "full screen ($how): a key ends it with status 0" ended_ok $pid 10
done

"$HOST" 100 100 --grab >"$TMP/grabber.out" &
GRABBER=$!
PIDS+=($GRABBER)
wait_output "$TMP/grabber.out"
"$T" --data "$NOLOGO" 2>"$TMP/grab.err" &
pid=$!
PIDS+=($pid)
wait_end $pid 10
check "full screen: keyboard held by another program: ends with status 1 ($ENDED) and says why" \
  bash -c "[ '$ENDED' = 1 ] && grep -q 'cannot grab the keyboard and the mouse' '$TMP/grab.err'"
kill $GRABBER
wait $GRABBER 2>/dev/null

out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$T" --data "$NOLOGO" 2>&1)
check "no \$DISPLAY: one line that says so, status 1" \
  bash -c "[ \$(printf '%s\n' '$out' | wc -l) = 1 ] && printf '%s' '$out' | grep -q 'DISPLAY is not set'"
out=$(env -u DISPLAY WAYLAND_DISPLAY=wayland-0 "$T" --data "$NOLOGO" 2>&1)
check "no \$DISPLAY in a Wayland session: the line names XWayland" bash -c "printf '%s' '$out' | grep -q XWayland"
XSCREENSAVER_WINDOW=0xzz "$T" --root --data "$NOLOGO" 2>"$TMP/garbage.err"
status=$?
check "a garbage \$XSCREENSAVER_WINDOW: status 1 and a line naming it" \
  bash -c "[ $status = 1 ] && grep -qF \"bad \\\$XSCREENSAVER_WINDOW '0xzz'\" '$TMP/garbage.err'"

echo "== visuals"
# The intro page (the world with the logo) is still for 10 s: the same picture in every visual.
visual_shot() {  # FILE [HOST OPTIONS...]: the intro page in a hack window of a test host
  local out=$1 w hostpid pid
  shift
  # A fresh file: the wait below would otherwise read the last host's window before this one's
  # output replaced it.
  rm -f "$TMP/vhost.out"
  "$HOST" 320 240 "$@" >"$TMP/vhost.out" &
  hostpid=$!
  PIDS+=($hostpid)
  wait_output "$TMP/vhost.out"
  w=$(head -1 "$TMP/vhost.out")
  "$T" --window-id "$w" --data "$WORLD" 2>>"$TMP/visuals.err" &
  pid=$!
  PIDS+=($pid)
  still_shot "$w" "$out"
  VISUAL_WINDOW=$w
  VISUAL_HOST=$hostpid
  VISUAL_PID=$pid
}
end_visual() {
  kill -TERM $VISUAL_PID
  wait_end $VISUAL_PID 10
  kill $VISUAL_HOST
  wait $VISUAL_HOST 2>/dev/null
}
visual_shot "$TMP/v24.png"
end_visual
visual_shot "$TMP/v32.png" --argb
check "depth 32 (ARGB window): the picture is the depth-24 one" \
  [ "$(compare -metric AE "$TMP/v24.png" "$TMP/v32.png" null: 2>&1)" = 0 ]
check "depth 32: every pixel is opaque ($("$HOST" --alpha "$VISUAL_WINDOW"))" \
  [ "$("$HOST" --alpha "$VISUAL_WINDOW")" = "opaque 76800 of 76800" ]
end_visual
MAIN_DISPLAY=$DISPLAY
for depth in 16 30; do
  if start_xvfb 640x480 $depth; then
    visual_shot "$TMP/v$depth.png"
    check "depth $depth: the saver runs (status $(kill -0 $VISUAL_PID 2>/dev/null && echo running || echo ended))" \
      kill -0 $VISUAL_PID
    end_visual
    convert "$TMP/v$depth.png" -depth 8 "$TMP/v$depth-8.png"
    if [ $depth = 30 ]; then
      # 10 bits a channel, the top bits repeated below: full scale stays full scale (255 is 1023, not
      # 1020), and every colour is within one step of 255 of the depth-24 picture.
      full() { convert "$1" -channel RGB -separate +channel -threshold 99.9% -evaluate-sequence add \
        -format "%[fx:mean*w*h]" info:; }
      check "depth 30: as many full-scale channels as at depth 24 ($(full "$TMP/v24.png") / $(full "$TMP/v30-8.png"))" \
        bash -c "[ $(full "$TMP/v24.png") -gt 0 ] && [ $(full "$TMP/v24.png") = $(full "$TMP/v30-8.png") ]"
      check "depth 30: the picture is the depth-24 one within a step" \
        [ "$(compare -metric AE -fuzz 0.5% "$TMP/v24.png" "$TMP/v30-8.png" null: 2>&1)" = 0 ]
    else
      # 5-6-5 bits: every colour within the format's steps (8 of 255, with rounding).
      check "depth 16: the picture is the depth-24 one within 5-6-5 steps" \
        [ "$(compare -metric AE -fuzz 4% "$TMP/v24.png" "$TMP/v16-8.png" null: 2>&1)" = 0 ]
    fi
  else
    fail "depth $depth: no Xvfb of that depth"
  fi
  export DISPLAY=$MAIN_DISPLAY
done
check "visuals: no X error reached the user" bash -c "! grep -qi 'X error' '$TMP/visuals.err'"

# Letterboxing: a hack window resized to another aspect shows the scene fitted (a non-whole factor),
# with black borders; after partial updates it still shows exactly the last frame, column x of the
# fitted picture being column x * 320 / 266 of the scene (nearest neighbour).
"$HOST" 320 240 >"$TMP/lhost.out" &
LHOST=$!
PIDS+=($LHOST)
wait_output "$TMP/lhost.out"
LW=$(head -1 "$TMP/lhost.out")
TILLANDS_CAPTURE_DIR=$TMP/fit TILLANDS_CAPTURE_FRAMES=1000 "$T" --window-id "$LW" --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
wait_until 30 window_lit "$LW" "$TMP/lb0.png"
xdotool windowsize "$LW" 600 200
# Until frames of the new size are there (the borders black), then some partial updates.
left_border_black() {
  shot_window "$LW" "$TMP/letterbox.png" &&
    [ "$(convert "$TMP/letterbox.png" -crop 160x200+0+0 -format '%[fx:maxima]' info:)" = 0 ]
}
wait_until 30 left_border_black
sleep 2
kill -STOP $pid
sleep 0.3
shot_window "$LW" "$TMP/letterbox.png"
last=$(ls "$TMP/fit" | grep -c 'frame_.*\.ppm$')
kill -CONT $pid
kill -TERM $pid
wait_end $pid 10
kill $LHOST
wait $LHOST 2>/dev/null
check "letterbox: a 4:3 scene in a 600x200 window has black borders left and right" bash -c \
  "[ \$(convert '$TMP/letterbox.png' -crop 160x200+0+0 -format '%[fx:maxima]' info:) = 0 ] && \
   [ \$(convert '$TMP/letterbox.png' -crop 160x200+440+0 -format '%[fx:maxima]' info:) = 0 ]"
convert "$TMP/letterbox.png" -crop 266x200+167+0 +repage "$TMP/fitted.png"
match=none
for k in $((last - 1)) $((last - 2)); do
  f=$(printf '%s/fit/frame_%06d.ppm' "$TMP" "$k")
  [ -e "$f" ] || continue
  convert -size 266x200 xc: "$f" -fx 'v.p{floor(i*320/266),floor(j*240/200)}' "$TMP/fit-expected.png"
  [ "$(compare -metric AE "$TMP/fit-expected.png" "$TMP/fitted.png" null: 2>&1)" = 0 ] && match=$k && break
done
check "letterbox: after partial updates the fitted picture is exactly the last frame (frame $match)" \
  [ "$match" != none ]

echo "== settings file"
SET=$TMP/settings-home
mkdir -p "$SET/tillands"
SECTION='[HKEY_CURRENT_USER\Control Panel\Desktop\ScreenSaver.Tillands Bildschirmschoner]'
# Sound is observed through SDL's disk driver: the file appears when the device opens, which the
# first cue (at the start) does when sound is on.
# (Started through env, which execs the program: $! is the saver itself, for kill and wait.)
run_until_frames() {  # AUDIOFILE ARGS...: a window that shows frames, then ends
  env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$1" XDG_CONFIG_HOME="$SET" \
    "$T" --window 320x240 --data "$NOLOGO" "${@:2}" 2>>"$TMP/settings.err" &
  local pid=$! w
  PIDS+=($pid)
  w=$(wait_window "Tillands ScreenSaver")
  wait_until 30 window_lit "$w" "$TMP/sf.png"
  kill -TERM $pid
  wait_end $pid 10
}
printf '%s\nFrameRate=12\nSound=0\n' "$SECTION" >"$SET/tillands/settings.ini"
run_until_frames "$TMP/a-off.raw"
check "settings: a hand-written Sound=0 keeps the saver silent" [ ! -e "$TMP/a-off.raw" ]
printf '%s\nFrameRate=12\nSound=1\n' "$SECTION" >"$SET/tillands/settings.ini"
run_until_frames "$TMP/a-on.raw"
check "settings: a hand-written Sound=1 plays" [ -e "$TMP/a-on.raw" ]
check "settings: hand-written numbers draw no warning" [ ! -s "$TMP/settings.err" -o -z "$(grep -v CRITICAL "$TMP/settings.err")" ]
: >"$TMP/settings.err"
printf '%s\nFrameRate=fast\nSound=off\n' "$SECTION" >"$SET/tillands/settings.ini"
run_until_frames "$TMP/a-text.raw"
check "settings: text values are named once on stderr" bash -c \
  "[ \$(grep -c 'FrameRate=fast is not a number (ignored)' '$TMP/settings.err') = 1 ] && \
   [ \$(grep -c 'Sound=off is not a number (ignored)' '$TMP/settings.err') = 1 ]"
: >"$TMP/settings.err"
mv "$SET/tillands/settings.ini" "$SET/tillands/settings.bak"
mkdir "$SET/tillands/settings.ini"
run_until_frames "$TMP/a-dir.raw"
check "settings: a file that cannot be read is named once on stderr" \
  [ "$(grep -c "cannot read the settings file $SET/tillands/settings.ini" "$TMP/settings.err")" = 1 ]
rmdir "$SET/tillands/settings.ini"
# A frame rate above 1000: frames as fast as they are drawn, the loop still answering at once.
printf '%s\nFrameRate=5000\n' "$SECTION" >"$SET/tillands/settings.ini"
: >"$TMP/settings.err"
XDG_CONFIG_HOME="$SET" "$T" --window 320x240 --data "$NOLOGO" 2>"$TMP/settings.err" &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
c0=$(cpu_seconds $pid)
sleep 2
c1=$(cpu_seconds $pid)
echo "   (FrameRate=5000: $(awk -v a="$c0" -v b="$c1" 'BEGIN { printf "%.0f", (b - a) * 50 }') % of a core over 2 s)"
start=$(date +%s%N)
kill -TERM $pid
wait_end $pid 10
elapsed=$((($(date +%s%N) - start) / 1000000))
check "settings: FrameRate=5000 is lowered to 1000 with a warning, and SIGTERM ends it within 1 s (${elapsed} ms)" \
  bash -c "[ '$ENDED' = 0 ] && [ $elapsed -le 1000 ] && grep -q 'FrameRate=5000 is above 1000 frames per second; using 1000' '$TMP/settings.err'"
rm -f "$SET/tillands/settings.ini"
XDG_CONFIG_HOME="$SET" "$T" --save-settings --frame-rate 20 --sound on --animations 50 >/dev/null
check "--save-settings writes plain numbers people can read" bash -c \
  "grep -qx 'FrameRate=20' '$SET/tillands/settings.ini' && grep -qx 'Sound=1' '$SET/tillands/settings.ini' && \
   grep -qx 'Num Animations=50' '$SET/tillands/settings.ini' && grep -qxF '$SECTION' '$SET/tillands/settings.ini'"
XDG_CONFIG_HOME="$SET" "$T" --save-settings --sound off >/dev/null
check "--save-settings keeps what it is not told" bash -c \
  "grep -qx 'FrameRate=20' '$SET/tillands/settings.ini' && grep -qx 'Sound=0' '$SET/tillands/settings.ini'"

echo "== hack sound"
HS_PIDS=()
printf '%s\nSound=1\n' "$SECTION" >"$SET/tillands/settings.ini"
hack_with_sound() {  # AUDIOFILE X ARGS...: a hack in a host window moved to X
  # A fresh file: two hosts at the same X would otherwise let the wait below read the last one's id
  # before the new host's output replaced it.
  rm -f "$TMP/shost$2.out"
  "$HOST" 320 240 >"$TMP/shost$2.out" &
  PIDS+=($!)
  HS_PIDS+=($!)
  wait_output "$TMP/shost$2.out"
  local w
  w=$(head -1 "$TMP/shost$2.out")
  xdotool windowmove "$w" "$2" 0
  at_x() { [ "$(xwininfo -id "$1" | awk '/Absolute upper-left X:/ { print $4 }')" = "$2" ]; }
  wait_until 30 at_x "$w" "$2"
  env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$1" XDG_CONFIG_HOME="$SET" \
    "$T" --window-id "$w" --data "$NOLOGO" "${@:3}" 2>/dev/null &
  PIDS+=($!)
  HS_PIDS+=($!)
  wait_until 30 window_lit "$w" "$TMP/hs.png"
}
hack_with_sound "$TMP/h-default.raw" 0
check "hack: silent by default, even with Sound=1 in the settings file" [ ! -e "$TMP/h-default.raw" ]
hack_with_sound "$TMP/h-left.raw" 0 --sound on
hack_with_sound "$TMP/h-right.raw" 600 --sound on
check "hack: with --sound on, of two hacks only the one on the primary monitor's origin plays" \
  bash -c "[ -e '$TMP/h-left.raw' ] && [ ! -e '$TMP/h-right.raw' ]"
kill "${HS_PIDS[@]}" 2>/dev/null
for p in "${HS_PIDS[@]}"; do wait "$p" 2>/dev/null; done
rm -f "$SET/tillands/settings.ini"

echo "== Debian package"
rm -f "$BUILD"/tillands_*.deb "$BUILD"/tillands-data_*.deb
PKG=
if (cd "$BUILD" && cpack -G DEB >"$TMP/cpack.log" 2>&1); then
  DEB=$(ls "$BUILD"/tillands_*.deb | head -1)
  DATADEB=$(ls "$BUILD"/tillands-data_*.deb | head -1)
  cp "$DEB" "$TMP/tillands.deb"
  cp "$DATADEB" "$TMP/tillands-data.deb"
  chmod 644 "$TMP/tillands.deb" "$TMP/tillands-data.deb"
  pass "package: cpack built $(basename "$DEB") and $(basename "$DATADEB")"
  check "package: the world is Architecture: all in tillands-data, which tillands depends on" bash -c \
    "[ \"\$(dpkg-deb -f '$TMP/tillands-data.deb' Architecture)\" = all ] && \
     dpkg-deb -f '$TMP/tillands.deb' Depends | grep -q 'tillands-data (= '"
  check "package: XScreenSaver only suggested (no Recommends dragging the daemon onto GNOME and KDE)" bash -c \
    "[ \"\$(dpkg-deb -f '$TMP/tillands.deb' Suggests)\" = xscreensaver ] && [ -z \"\$(dpkg-deb -f '$TMP/tillands.deb' Recommends)\" ]"
  check "package: runtime dependencies worked out (libsdl2, libx11)" \
    bash -c "dpkg-deb -f '$TMP/tillands.deb' Depends | grep -q libsdl2 && dpkg-deb -f '$TMP/tillands.deb' Depends | grep -q libx11"
  PKG=$TMP/pkgroot
  mkdir -p "$PKG"
  dpkg-deb -x "$TMP/tillands.deb" "$PKG"
  dpkg-deb -x "$TMP/tillands-data.deb" "$PKG"
  chmod 755 "$PKG"
  for f in usr/bin/tillands usr/share/xscreensaver/config/tillands.xml usr/share/tillands/data_v.dat \
    usr/share/applications/tillands.desktop usr/share/applications/screensavers/tillands.desktop \
    usr/share/man/man6/tillands.6.gz; do
    check "package: holds /$f" [ -e "$PKG/$f" ]
  done
  check "package: the hack is a link to the program, not a second copy" \
    [ "$(readlink "$PKG/usr/libexec/xscreensaver/tillands")" = ../../bin/tillands ]
  check "package: the settings description parses" xmllint --noout "$PKG/usr/share/xscreensaver/config/tillands.xml"
  # The installed program finds the installed world beside it (here under a relocated prefix) and
  # runs past the intro into the scenes, as a user who cannot write into it (as root: the test user,
  # made here on a new machine).
  xss_ready >/dev/null || true
  RUNAS=()
  id "$XSS_USER" >/dev/null 2>&1 && [ "$(id -u)" = 0 ] && RUNAS=(runuser -u "$XSS_USER" --)
  (cd / && "${RUNAS[@]}" env HOME=/tmp "$PKG/usr/bin/tillands" --headless --size 320x240 --seconds 14 --seed 1 \
    --quiet >"$TMP/pkgrun.out" 2>&1)
  check "package: the installed binary renders the installed world headless" \
    bash -c "grep -q 'intro over' '$TMP/pkgrun.out' && ! grep -q 'scenes started: none' '$TMP/pkgrun.out'"
  if command -v lintian >/dev/null; then
    LINT=("${RUNAS[@]}" lintian)
    "${LINT[@]}" --info "$TMP/tillands.deb" "$TMP/tillands-data.deb" >"$TMP/lintian.out" 2>&1
    check "package: lintian --info reports no errors and no warnings" bash -c "! grep -q '^[EW]:' '$TMP/lintian.out'"
    grep '^[EW]:' "$TMP/lintian.out"
  fi
else
  fail "package: cpack failed (see below)"
  tail -20 "$TMP/cpack.log"
fi

echo "== XScreenSaver"
# The real XScreenSaver runs the packaged hack, listed by the packaged program's --add-to-xscreensaver.
if [ -z "$PKG" ]; then
  fail "XScreenSaver: no package to run (see the package section)"
elif ! xss_ready; then
  fail "XScreenSaver: no test user $XSS_USER or no xscreensaver (run as root, see scripts/deps.sh)"
else
  xss_home "$TMP/xss-home" "$PKG"
  xss_as_user "$PKG/usr/bin/tillands" --add-to-xscreensaver >"$TMP/add.out" 2>&1
  check "XScreenSaver: --add-to-xscreensaver lists the hack after the system's own" bash -c \
    "grep -q 'tillands --root' '$XSS_HOME/.xscreensaver' && grep -q 'maze --root' '$XSS_HOME/.xscreensaver'"
  check "XScreenSaver: --add-to-xscreensaver warns that XScreenSaver will not find tillands.xml here" \
    grep -q 'no tillands.xml' "$TMP/add.out"
  # This hack only, sound ticked.
  xss_choose --sound on
  xss_start "$TMP/xscreensaver.log"
  PIDS+=($XSS_PID)
  for round in 1 2; do
    xss_as_user xscreensaver-command -activate >/dev/null 2>&1
    wait_until 30 xss_running
    check "XScreenSaver (round $round): activating it puts our frames on the screen" \
      wait_until 30 root_lit "$TMP/xss$round.png"
    if [ $round = 1 ]; then
      # The device opens with the first sound the saver plays, which may come after its first frame.
      hack=$(xss_hacks | head -1)
      check "XScreenSaver: the hack, given --sound on, plays (its audio device is open)" \
        wait_until 30 xss_plays "$hack"
    fi
    xss_as_user xscreensaver-command -deactivate >/dev/null 2>&1
    check "XScreenSaver (round $round): deactivating it ends our process" xss_wait_gone ||
      { ps -o pid,ppid,stat,etimes,wchan:24,cmd -u "$XSS_USER"; tail -25 "$TMP/xscreensaver.log"; }
  done
  xss_stop
fi

echo "== options"
check "tillands --headless still renders" "$T" --headless --quiet --data "$WORLD" --size 64x64 --frames 2 --seed 1 2>/dev/null
check "--help" bash -c "'$T' --help | grep -q -- --window-id"
check "a bad option is refused with status 1" bash -c "! '$T' --window-id nonsense 2>/dev/null"
check "no data found: one clear line, status 1" bash -c \
  "out=\$(cd /tmp && '$T' --data /nonexistent 2>&1); [ \$? = 1 ] && [ \$(echo \"\$out\" | wc -l) = 1 ]"
check "a missing window id is reported, status 1" bash -c "! '$T' --window-id 0x7ffffff --data '$NOLOGO' 2>/dev/null"
mkdir -p "$TMP/home"
printf 'mode:\t\tone\nprograms:\t\\\n\t\tmaze --root \\n\n' >"$TMP/home/.xscreensaver"
cp "$TMP/home/.xscreensaver" "$TMP/xss.orig"
HOME=$TMP/home "$T" --add-to-xscreensaver >/dev/null 2>&1
cp "$TMP/home/.xscreensaver" "$TMP/xss.once"
HOME=$TMP/home "$T" --add-to-xscreensaver >/dev/null 2>&1
check "--add-to-xscreensaver adds the entry once and keeps the rest" bash -c \
  "grep -q 'tillands --root' '$TMP/xss.once' && grep -q 'maze --root' '$TMP/xss.once' && cmp -s '$TMP/xss.once' '$TMP/home/.xscreensaver'"
sed -i 's/^\(\s*\)tillands --root/-\1tillands --root/' "$TMP/home/.xscreensaver"
check "--add-to-xscreensaver switches an entry the user switched off on again" bash -c \
  "HOME='$TMP/home' '$T' --add-to-xscreensaver 2>/dev/null | grep -q 'on again' && cmp -s '$TMP/xss.once' '$TMP/home/.xscreensaver'"
HOME=$TMP/home "$T" --remove-from-xscreensaver >/dev/null
check "--remove-from-xscreensaver gives back the file as it was" \
  cmp -s "$TMP/xss.orig" "$TMP/home/.xscreensaver"
check "--version" bash -c "'$T' --version | grep -qx 'tillands [0-9.]*'"

finish
