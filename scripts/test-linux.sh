#!/usr/bin/env bash
# Tests of the Linux front end on X servers of their own (Xvfb on displays 50..59): the window, the
# full-screen saver, the XScreenSaver hack in a window of a small test host (by --window-id and by
# $XSCREENSAVER_WINDOW, following a resize), the deterministic capture against the headless renderer,
# the real XScreenSaver running our hack as a normal user, and the Debian package.
#
#   scripts/test-linux.sh [BUILD_DIR]     (default build/release; needs tillands, the world and
#                                          x_test_host built there)
# Ends with "N passed, N failed" and a non-zero status on any failure.
set -uo pipefail
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

passed=0
failed=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${KEEP_TMP:-}" ] || rm -rf "$TMP"
}
trap cleanup EXIT

for f in "$T" "$HOST" "$WORLD"; do
  [ -e "$f" ] || { echo "missing $f (build the release tree first)"; echo "0 passed, 1 failed"; exit 1; }
done

# A free display number of our range, and an Xvfb on it.
start_xvfb() {  # SIZE -> sets DISPLAY
  local n
  for n in 50 51 52 53 54 55 56 57 58 59; do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 &
    PIDS+=($!)
    local i
    for i in $(seq 50); do
      if xdpyinfo -display :$n >/dev/null 2>&1; then
        export DISPLAY=:$n
        return 0
      fi
      sleep 0.1
    done
  done
  echo "no Xvfb display could be started in 50..59"
  return 1
}

# Fraction of pixels that are not black in an image file.
lit() { convert "$1" -fill white +opaque black -colorspace gray -format '%[fx:mean]' info:; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
shot_window() { xwd -silent -id "$1" | convert xwd:- "$2"; }
shot_root() { xwd -silent -root | convert xwd:- "$1"; }
wait_window() {  # NAME -> prints the id
  timeout 10 xdotool search --sync --name "$1" 2>/dev/null | head -1
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

start_xvfb 1024x768 || { echo "0 passed, 1 failed"; exit 1; }

echo "== window"
"$T" --window 640x480 --data "$NOLOGO" --seed 3 2>"$TMP/window.err" &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
# The first villagers walk in after about two seconds.
sleep 2.5
shot_window "$W" "$TMP/w1.png"
sleep 1.5
shot_window "$W" "$TMP/w2.png"
check "window: frames show the scene (most pixels lit)" above "$(lit "$TMP/w2.png")" 0.5
check "window: frames change over time" bash -c "! compare -metric AE '$TMP/w1.png' '$TMP/w2.png' null: 2>/dev/null"
start=$(date +%s%N)
kill -TERM $pid
wait_end $pid 3
status=$ENDED
elapsed=$((($(date +%s%N) - start) / 1000000))
check "window: SIGTERM ends it with status 0 (status $status)" [ "$status" = 0 ]
check "window: SIGTERM ends it within 1 s (${elapsed} ms)" [ "$elapsed" -le 1000 ]

for key in Escape q; do
  "$T" --window 320x240 --data "$NOLOGO" &
  pid=$!
  PIDS+=($pid)
  W=$(wait_window "Tillands ScreenSaver")
  sleep 0.3
  xdotool key --window "$W" space 2>/dev/null
  sleep 0.3
  check "window: other keys keep it open" kill -0 $pid
  xdotool key --window "$W" $key 2>/dev/null
  check "window: $key ends it with status 0" ended_ok $pid 3
done

"$T" --window 320x240 --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
sleep 0.3
xdotool windowclose "$W" 2>/dev/null || xdotool windowkill "$W"
check "window: a window destroyed from outside ends it with status 0" ended_ok $pid 3

echo "== capture"
# The first frames a real window presented, byte for byte the headless renderer's for the same seed,
# size and settings.
TILLANDS_CAPTURE_DIR=$TMP/capture TILLANDS_CAPTURE_FRAMES=40 "$T" --window 320x240 --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
for i in $(seq 150); do [ -e "$TMP/capture/frame_000039.ppm" ] && break; sleep 0.1; done
kill -TERM $pid
wait_end $pid 3
"$T" --headless --quiet --data "$NOLOGO" --size 320x240 --seed 1 --frames 40 --ppm "$TMP/headless" 2>/dev/null
same=0
for f in "$TMP"/headless/frame_*.ppm; do cmp -s "$f" "$TMP/capture/$(basename "$f")" && same=$((same + 1)); done
check "capture: 40 window frames byte-identical to the headless renderer's ($same same)" [ "$same" = 40 ]
check "capture: the frames differ from each other" bash -c "! cmp -s '$TMP/capture/frame_000001.ppm' '$TMP/capture/frame_000039.ppm'"

# Only the changed parts of a frame are sent to the X server: what the window shows must still be
# exactly the last frame. The saver is stopped between frames, and its window compared with the
# frame it captured last (or the one before, should the stop land between drawing and capturing).
TILLANDS_CAPTURE_DIR=$TMP/exact TILLANDS_CAPTURE_FRAMES=1000 "$T" --window 320x240 --data "$NOLOGO" --fps 4 &
pid=$!
PIDS+=($pid)
W=$(wait_window "Tillands ScreenSaver")
sleep 5
kill -STOP $pid
sleep 0.3
shot_window "$W" "$TMP/exact.png"
last=$(ls "$TMP/exact" | grep -c 'frame_.*\.ppm$')
match=none
for k in $((last - 1)) $((last - 2)); do
  f=$(printf '%s/exact/frame_%06d.ppm' "$TMP" "$k")
  [ -e "$f" ] && [ "$(compare -metric AE "$f" "$TMP/exact.png" null: 2>&1)" = 0 ] && match=$k
done
kill -CONT $pid
kill -TERM $pid
wait_end $pid 3
check "window: after $last frames of partial updates it shows exactly the last frame (frame $match)" \
  [ "$match" != none ]

echo "== hack"
"$HOST" 320 240 >"$TMP/host.out" &
HOSTPID=$!
PIDS+=($HOSTPID)
for i in $(seq 100); do [ -s "$TMP/host.out" ] && break; sleep 0.1; done
HOSTWIN=$(head -1 "$TMP/host.out")
"$T" --window-id "$HOSTWIN" --data "$NOLOGO" 2>"$TMP/hack.err" &
pid=$!
PIDS+=($pid)
sleep 1.5
shot_window "$HOSTWIN" "$TMP/h1.png"
check "hack (--window-id): frames appear in the given window" above "$(lit "$TMP/h1.png")" 0.5
xdotool windowsize "$HOSTWIN" 640 480
sleep 1
shot_window "$HOSTWIN" "$TMP/h2.png"
# Only a quarter of the window would be lit if the frames did not follow the size.
check "hack: the frames follow a resize of the window" above "$(lit "$TMP/h2.png")" 0.5
check "hack: the resized window shows 640x480" [ "$(identify -format '%wx%h' "$TMP/h2.png")" = 640x480 ]
check "hack: the picture reaches the given window through shared memory (MIT-SHM)" \
  grep -q SYSV "/proc/$pid/maps"
xdotool key --window "$HOSTWIN" Escape 2>/dev/null
xdotool mousemove --window "$HOSTWIN" 10 10 mousemove --window "$HOSTWIN" 200 200 click 1
sleep 0.3
check "hack: input does not end it (XScreenSaver decides)" kill -0 $pid
start=$(date +%s%N)
kill -INT $pid
wait_end $pid 3
status=$ENDED
elapsed=$((($(date +%s%N) - start) / 1000000))
check "hack: SIGINT ends it with status 0 within 1 s (status $status, ${elapsed} ms)" \
  bash -c "[ '$status' = 0 ] && [ $elapsed -le 1000 ]"

XSCREENSAVER_WINDOW=$HOSTWIN "$T" --root --data "$NOLOGO" -fps &
pid=$!
PIDS+=($pid)
sleep 1.5
shot_window "$HOSTWIN" "$TMP/h3.png"
check "hack (\$XSCREENSAVER_WINDOW over --root): frames appear in that window" above "$(lit "$TMP/h3.png")" 0.5
shot_root "$TMP/root.png"
check "hack: the root window outside it stays untouched" [ "$(convert "$TMP/root.png" -crop 100x100+900+650 -format '%[fx:maxima]' info:)" = 0 ]
kill $HOSTPID
wait $HOSTPID 2>/dev/null
check "hack: the window destroyed under it ends it with status 0" ended_ok $pid 3
check "hack: no X error reached the user" bash -c "! grep -qi 'X Error\|BadWindow' '$TMP/hack.err'"

echo "== full screen"
"$T" --data "$NOLOGO" --scale 2 &
pid=$!
PIDS+=($pid)
sleep 1.5
shot_root "$TMP/f1.png"
check "full screen: the whole screen shows the scene (scale 2)" above "$(lit "$TMP/f1.png")" 0.9
xdotool mousemove 100 100
sleep 0.2
xdotool mousemove 104 105
sleep 0.3
check "full screen: a move of 5 pixels keeps it" kill -0 $pid
xdotool mousemove 107 100
check "full screen: a move of more than 5 pixels ends it with status 0" ended_ok $pid 3
"$T" --data "$NOLOGO" &
pid=$!
PIDS+=($pid)
sleep 1
xdotool key x
check "full screen: a key ends it with status 0" ended_ok $pid 3
TILLANDS_CAPTURE_DIR=$TMP/scaled TILLANDS_CAPTURE_FRAMES=1 "$T" --data "$NOLOGO" --scale 2 &
pid=$!
PIDS+=($pid)
for i in $(seq 50); do [ -e "$TMP/scaled/frame_000000.ppm" ] && break; sleep 0.1; done
xdotool click 1
wait_end $pid 3
check "full screen: with scale 2 the scene runs at half the screen (512x384)" \
  [ "$(head -c 20 "$TMP/scaled/frame_000000.ppm" | sed -n 2p)" = "512 384" ]

echo "== XScreenSaver"
# The real XScreenSaver runs our hack: it refuses to run hacks as root, so it runs as a test user
# with a home of its own that lists only our hack.
XUSER=tillandstest
if [ "$(id -u)" = 0 ] && ! id "$XUSER" >/dev/null 2>&1; then
  useradd -M -s /usr/sbin/nologin "$XUSER" 2>/dev/null
fi
if ! id "$XUSER" >/dev/null 2>&1 || ! command -v xscreensaver >/dev/null; then
  fail "XScreenSaver: no test user $XUSER or no xscreensaver (run as root, see scripts/deps.sh)"
else
  XH=$TMP/xss-home
  mkdir -p "$XH/bin"
  cp "$T" "$XH/bin/tillands"
  cp -r "$NOLOGO" "$XH/world"
  printf '%s\n' 'mode:		one' 'selected:	0' 'lock:		False' 'fade:		False' 'unfade:		False' \
    'splash:		False' 'timeout:	0:30:00' 'programs:	\' "		tillands --root --data $XH/world \\n" \
    >"$XH/.xscreensaver"
  chown -R "$XUSER" "$XH"
  as_user() { runuser -u "$XUSER" -- env DISPLAY="$DISPLAY" HOME="$XH" PATH="$XH/bin:/usr/bin:/bin" \
    SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$XH/.config" "$@"; }
  as_user xscreensaver -no-splash >"$TMP/xscreensaver.log" 2>&1 &
  XSS=$!
  PIDS+=($XSS)
  for i in $(seq 50); do as_user xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.1; done
  for round in 1 2 3; do
    as_user xscreensaver-command -activate >/dev/null 2>&1
    for i in $(seq 100); do pgrep -u "$XUSER" -x tillands >/dev/null && break; sleep 0.1; done
    sleep 1.5
    shot_root "$TMP/xss$round.png"
    check "XScreenSaver (round $round): activating it puts our frames on the screen" \
      above "$(lit "$TMP/xss$round.png")" 0.5
    as_user xscreensaver-command -deactivate >/dev/null 2>&1
    gone=no
    for i in $(seq 50); do
      pgrep -u "$XUSER" -x tillands >/dev/null || { gone=yes; break; }
      sleep 0.1
    done
    check "XScreenSaver (round $round): deactivating it ends our process" [ $gone = yes ]
  done
  as_user xscreensaver-command -exit >/dev/null 2>&1
  wait_end $XSS 3
fi

echo "== Debian package"
rm -f "$BUILD"/tillands_*.deb
if (cd "$BUILD" && cpack -G DEB >"$TMP/cpack.log" 2>&1); then
  DEB=$(ls "$BUILD"/tillands_*.deb | head -1)
  cp "$DEB" "$TMP/tillands.deb"
  chmod 644 "$TMP/tillands.deb"
  pass "package: cpack built $(basename "$DEB")"
  check "package: runtime dependencies worked out (libsdl2, libx11)" \
    bash -c "dpkg-deb -f '$TMP/tillands.deb' Depends | grep -q libsdl2 && dpkg-deb -f '$TMP/tillands.deb' Depends | grep -q libx11"
  PKG=$TMP/pkgroot
  mkdir -p "$PKG"
  dpkg-deb -x "$TMP/tillands.deb" "$PKG"
  chmod 755 "$PKG"
  for f in usr/bin/tillands usr/libexec/xscreensaver/tillands usr/share/xscreensaver/config/tillands.xml \
    usr/share/tillands/data_v.dat usr/share/applications/tillands.desktop usr/share/man/man6/tillands.6.gz; do
    check "package: holds /$f" [ -e "$PKG/$f" ]
  done
  check "package: the settings description parses" xmllint --noout "$PKG/usr/share/xscreensaver/config/tillands.xml"
  # The installed program finds the installed world beside it (here under a relocated prefix) and
  # runs past the intro into the scenes, as a user who cannot write into it.
  RUNAS=()
  id tillandstest >/dev/null 2>&1 && [ "$(id -u)" = 0 ] && RUNAS=(runuser -u tillandstest --)
  (cd / && "${RUNAS[@]}" env HOME=/tmp "$PKG/usr/bin/tillands" --headless --size 320x240 --seconds 14 --seed 1 \
    --quiet >"$TMP/pkgrun.out" 2>&1)
  check "package: the installed binary renders the installed world headless" \
    bash -c "grep -q 'intro over' '$TMP/pkgrun.out' && ! grep -q 'scenes started: none' '$TMP/pkgrun.out'"
  if command -v lintian >/dev/null; then
    if [ "$(id -u)" = 0 ]; then
      LINT=(runuser -u tillandstest -- lintian)
      id tillandstest >/dev/null 2>&1 || LINT=()
    else
      LINT=(lintian)
    fi
    if [ ${#LINT[@]} -gt 0 ]; then
      "${LINT[@]}" "$TMP/tillands.deb" >"$TMP/lintian.out" 2>&1
      check "package: lintian reports no errors" bash -c "! grep -q '^E:' '$TMP/lintian.out'"
      grep '^[EW]:' "$TMP/lintian.out"
    fi
  fi
else
  fail "package: cpack failed (see below)"
  tail -20 "$TMP/cpack.log"
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
HOME=$TMP/home "$T" --add-to-xscreensaver >/dev/null
cp "$TMP/home/.xscreensaver" "$TMP/xss.once"
HOME=$TMP/home "$T" --add-to-xscreensaver >/dev/null
check "--add-to-xscreensaver adds the entry once and keeps the rest" bash -c \
  "grep -q 'tillands --root' '$TMP/xss.once' && grep -q 'maze --root' '$TMP/xss.once' && cmp -s '$TMP/xss.once' '$TMP/home/.xscreensaver'"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
