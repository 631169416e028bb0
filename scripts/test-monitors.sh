#!/usr/bin/env bash
# The Linux full-screen saver on a real X server with several monitors of different sizes and places:
# Xorg with the dummy video driver (started as root with a config file of its own, on a free display
# 60..69), whose RandR accepts "xrandr --setmonitor" and then reports the monitors at their places.
# (Xvfb cannot do this: +xinerama puts every screen at 0,0 and --setmonitor is ignored there.)
#
# Checked: every monitor shows its own intro page centred on it, the dead areas stay black, each
# monitor's captured frames equal the headless renderer's for that monitor's size and seed, every
# monitor's scene moves, a RandR change lays the scenes out again, any key ends the saver on every
# monitor, --monitors span keeps the one scene over the whole screen, and the real XScreenSaver runs
# one installed hack per monitor, of which only the primary monitor's plays sound.
#
#   scripts/test-monitors.sh [BUILD_DIR]   (default build/release; needs tillands and the world there)
# Ends with "N passed, N failed" and a non-zero status on any failure.
set -uo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
case "${1:-}" in -*) tl_common_option "$0" "$1" ;; esac
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:-build/release}" && pwd)
T=$BUILD/shell/linux/tillands
WORLD=$BUILD/world/Tillands
export SDL_AUDIODRIVER=dummy
TMP=$(mktemp -d /tmp/tillands-monitors-test.XXXXXX)
export XDG_CONFIG_HOME=$TMP/config
unset XSCREENSAVER_WINDOW

# shellcheck source=scripts/lib-checks.sh
source scripts/lib-checks.sh

for f in "$T" "$WORLD"; do
  [ -e "$f" ] || { echo "missing $f (build the release tree first)"; failed=1; finish; }
done
command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
  { echo "Xorg with the dummy driver is missing (scripts/deps.sh installs it)"; failed=1; finish; }
[ "$(id -u)" = 0 ] || { echo "Xorg needs root here"; failed=1; finish; }

cat >"$TMP/xorg.conf" <<'EOF'
Section "ServerFlags"
  Option "DontVTSwitch" "true"
  Option "AllowMouseOpenFail" "true"
  Option "AutoAddDevices" "false"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 64000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2048 1200
  EndSubSection
EndSection
EOF
mkdir -p "$TMP/xorg.conf.d"
# shellcheck source=scripts/lib-xserver.sh
source scripts/lib-xserver.sh
X_SERVER_LOG=$TMP/xorg.out x_server_start 60 69 Xorg -config "$TMP/xorg.conf" -configdir "$TMP/xorg.conf.d" \
  -logfile "$TMP/xorg.log" -noreset -nolisten tcp || { tail -5 "$TMP/xorg.out"; failed=1; finish; }
PIDS+=("$X_SERVER_PID")
export DISPLAY=$X_SERVER_DISPLAY

# A layout of monitors: "NAME WxH+X+Y ..." over a screen of the given size. The server's own
# DUMMY0 monitor leaves the list when the first monitor of our own is set. (Monitors larger than the
# screen are accepted by the server; the screen is sized after them.)
set_layout() {  # FBSIZE MONITOR...
  local fb=$1 m
  shift
  for m in $(xrandr --listmonitors | awk 'NR > 1 { print $2 }' | tr -d '+*'); do
    xrandr --delmonitor "$m" 2>/dev/null
  done
  for m in "$@"; do
    local name=${m%% *} geo=${m#* }
    local w=${geo%%x*} rest=${geo#*x}
    local h=${rest%%+*} xy=${rest#*+}
    xrandr --setmonitor "$name" "$w/$((w / 4))x$h/$((h / 4))+${xy%%+*}+${xy#*+}" none 2>/dev/null
  done
  # Last, the screen's new size: the RandR resize a running saver notices.
  xrandr --fb "$fb" 2>/dev/null
}

# Waits (bounded) for a file to appear.
wait_file() { wait_until 30 test -e "$1"; }
shot_root() { xwd -silent -root | convert xwd:- "$1"; }
crop() { convert "$1" -crop "$2" +repage "$3"; }
same_image() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
black() { [ "$(convert "$1" -fill white +opaque black -format '%[fx:mean]' info:)" = 0 ]; }
NOLOGO=$TMP/nologo
cp -r "$WORLD" "$NOLOGO" && rm -f "$NOLOGO/Logo.bmp"

# Side by side with different sizes, and a third one below the first, offset to the right.
LAYOUT=("A 1000x600+0+0" "B 800x1000+1000+0" "C 600x400+200+600")
set_layout 1800x1000 "${LAYOUT[@]}"
check "server: XINERAMA reports the three monitors at their places" \
  bash -c "[ \"\$(xdpyinfo -ext XINERAMA | grep -c 'head #')\" = 3 ]"

echo "== each monitor its own scene (${SECONDS}s)"
# The intro page stays the same from the second frame on (the first is drawn before the static data
# and its shadows exist): what the screen shows on each monitor is the captured frame 1 of that
# monitor, and the frames equal the headless renderer's for the monitor's size.
TILLANDS_CAPTURE_DIR=$TMP/intro TILLANDS_CAPTURE_FRAMES=2 "$T" --data "$WORLD" 2>"$TMP/intro.err" &
pid=$!
PIDS+=($pid)
wait_file "$TMP/intro/monitor_2/frame_000001.ppm"
shot_root "$TMP/intro.png"
check "each: three capture folders, one per monitor ($(ls "$TMP/intro" | tr '\n' ' '))" \
  bash -c "[ -d '$TMP/intro/monitor_2' ] && [ ! -d '$TMP/intro/monitor_3' ]"
k=0
for m in "${LAYOUT[@]}"; do
  geo=${m#* }
  crop "$TMP/intro.png" "$geo" "$TMP/intro-$k.png"
  check "each: monitor $k ($geo) shows its own intro page as captured" \
    same_image "$TMP/intro-$k.png" "$TMP/intro/monitor_$k/frame_000001.ppm"
  "$T" --headless --quiet --data "$WORLD" --size "${geo%%+*}" --seed $((1 + k)) --frames 2 --ppm "$TMP/intro-h$k" 2>/dev/null
  check "each: monitor $k's intro equals a headless run of its size (centred on it)" \
    cmp -s "$TMP/intro-h$k/frame_000001.ppm" "$TMP/intro/monitor_$k/frame_000001.ppm"
  k=$((k + 1))
done
# Where no monitor is: right of C below A, and left of C.
crop "$TMP/intro.png" 200x400+800+600 "$TMP/dead1.png"
crop "$TMP/intro.png" 200x400+0+600 "$TMP/dead2.png"
check "each: the dead areas stay black" black "$TMP/dead1.png"
check "each: the dead area left of the offset monitor stays black" black "$TMP/dead2.png"

echo "== a display change (${SECONDS}s)"
# The monitors change under the running saver: the screen shrinks and two monitors remain, of other
# sizes. Each gets a new scene, which starts again with its intro page, centred on it.
NEW=("A 900x700+0+0" "B 700x500+900+100")
set_layout 1600x800 "${NEW[@]}"
"$T" --headless --quiet --data "$WORLD" --size 900x700 --frames 2 --ppm "$TMP/new-h0" 2>/dev/null
"$T" --headless --quiet --data "$WORLD" --size 700x500 --frames 2 --ppm "$TMP/new-h1" 2>/dev/null
# The capture's monitors.txt follows the layout; the new scenes show their intro for 10 s from then.
two_monitors_told() { [ "$(wc -l <"$TMP/intro/monitors.txt")" = 2 ] || ! kill -0 $pid 2>/dev/null; }
wait_until 30 two_monitors_told
check "change: the capture tells the two new monitors" \
  [ "$(cat "$TMP/intro/monitors.txt")" = "$(printf '0 0 0 900 700 1 1\n1 900 100 700 500 1 2')" ]
relaid=no
for attempt in 1 2 3; do
  shot_root "$TMP/new.png"
  crop "$TMP/new.png" 900x700+0+0 "$TMP/new-0.png"
  crop "$TMP/new.png" 700x500+900+100 "$TMP/new-1.png"
  if same_image "$TMP/new-0.png" "$TMP/new-h0/frame_000001.ppm" &&
    same_image "$TMP/new-1.png" "$TMP/new-h1/frame_000001.ppm"; then
    relaid=yes
    break
  fi
done
check "change: both new monitors show their own new intro page" [ $relaid = yes ]
check "change: the saver keeps running" kill -0 $pid
crop "$TMP/new.png" 700x100+900+0 "$TMP/new-dead.png"
check "change: the new dead area above the second monitor is black" black "$TMP/new-dead.png"

echo "== any key ends every monitor's scene (${SECONDS}s)"
xdotool key space
ended=running
gone() { ! kill -0 "$1" 2>/dev/null; }
wait_until 30 gone $pid && { wait $pid; ended=$?; }
check "key: one key ends the saver with status 0 ($ended)" [ "$ended" = 0 ]
check "key: no saver window is left" bash -c "! xdotool search --name 'Tillands ScreenSaver' >/dev/null 2>&1"
grep -v '^$' "$TMP/intro.err" | head -5

echo "== every monitor runs its own course (${SECONDS}s)"
set_layout 1800x1000 "${LAYOUT[@]}"
TILLANDS_CAPTURE_DIR=$TMP/run TILLANDS_CAPTURE_FRAMES=40 TILLANDS_SEED=9 "$T" --data "$NOLOGO" --fps 50 2>/dev/null &
pid=$!
PIDS+=($pid)
wait_file "$TMP/run/monitor_2/frame_000039.ppm"
kill -TERM $pid
wait $pid
check "run: monitors.txt names each monitor's place, size, scale and seed" \
  [ "$(cat "$TMP/run/monitors.txt" 2>/dev/null)" = "$(printf '0 0 0 1000 600 1 9\n1 1000 0 800 1000 1 10\n2 200 600 600 400 1 11')" ]
k=0
for m in "${LAYOUT[@]}"; do
  geo=${m#* }
  "$T" --headless --quiet --data "$NOLOGO" --fps 50 --size "${geo%%+*}" --seed $((9 + k)) --frames 40 \
    --ppm "$TMP/run-h$k" 2>/dev/null
  same=0
  for f in "$TMP/run-h$k"/frame_*.ppm; do cmp -s "$f" "$TMP/run/monitor_$k/$(basename "$f")" && same=$((same + 1)); done
  check "run: monitor $k's 40 frames equal the headless run of $geo with seed $((9 + k)) ($same same)" [ $same = 40 ]
  check "run: monitor $k's scene moves" bash -c "! cmp -s '$TMP/run/monitor_$k/frame_000001.ppm' '$TMP/run/monitor_$k/frame_000039.ppm'"
  k=$((k + 1))
done

echo "== span: one scene over all monitors (${SECONDS}s)"
TILLANDS_CAPTURE_DIR=$TMP/span TILLANDS_CAPTURE_FRAMES=3 "$T" --monitors span --data "$NOLOGO" 2>/dev/null &
pid=$!
PIDS+=($pid)
wait_file "$TMP/span/frame_000002.ppm"
kill -TERM $pid
wait $pid
"$T" --headless --quiet --data "$NOLOGO" --size 1800x1000 --seed 1 --frames 3 --ppm "$TMP/span-h" 2>/dev/null
check "span: one frame set of the whole screen, equal to the headless run of 1800x1000" \
  bash -c "[ ! -d '$TMP/span/monitor_0' ] && cmp -s '$TMP/span-h/frame_000002.ppm' '$TMP/span/frame_000002.ppm'"

echo "== XScreenSaver: a hack per monitor (${SECONDS}s)"
# The real daemon runs one hack per monitor, each in a window of its own. It counts RandR's outputs,
# not the monitors of --setmonitor (it believes Xinerama only when RandR has a single output), so the
# dummy driver's second output is switched on here: two real outputs, the primary on the right. The
# hack runs installed, listed by its own --add-to-xscreensaver, with sound ticked: only the hack
# whose window holds the primary monitor's origin may play.
# shellcheck source=scripts/lib-xscreensaver.sh
source scripts/lib-xscreensaver.sh
chmod 755 "$TMP"
if ! xss_ready; then
  fail "XScreenSaver: no test user $XSS_USER or no xscreensaver (see scripts/deps.sh)"
elif ! DESTDIR=$TMP/inst cmake --install "$BUILD" --prefix /usr >"$TMP/install.log" 2>&1; then
  fail "XScreenSaver: cmake --install failed"
  tail -5 "$TMP/install.log"
else
  for m in $(xrandr --listmonitors | awk 'NR > 1 { print $2 }' | tr -d '+*'); do xrandr --delmonitor "$m" 2>/dev/null; done
  xrandr --addmode DUMMY1 800x600 2>/dev/null
  xrandr --output DUMMY0 --mode 1024x768 --pos 0x0 --output DUMMY1 --mode 800x600 --pos 1024x0 --primary
  xss_home "$TMP/xss-home" "$TMP/inst"
  xss_as_user "$TMP/inst/usr/bin/tillands" --add-to-xscreensaver >/dev/null 2>&1
  xss_choose --sound on
  xss_start "$TMP/xscreensaver.log"
  PIDS+=($XSS_PID)
  xss_as_user xscreensaver-command -activate >/dev/null 2>&1
  # Until both monitors show frames and the primary's hack has its device open (bounded).
  geometry() { xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%sx%s+%s+%s", w, h, x, y }'; }
  lit_at() { convert "$TMP/xss.png" -crop "$1" -fill white +opaque black -colorspace gray -format '%[fx:mean]' info:; }
  both_lit() {
    awk -v a="$(lit_at 1024x768+0+0)" -v b="$(lit_at 800x600+1024+0)" 'BEGIN { exit !(a > 0.5 && b > 0.5) }'
  }
  only_primary_plays() { [ -n "$other" ] && xss_plays "$primary" && ! xss_plays "$other"; }
  primary= other=
  for i in $(seq 100); do
    placed= count=0
    for p in $(xss_hacks); do
      g=$(geometry "$(xss_window "$p")")
      placed="$placed $g"
      count=$((count + 1))
      [ "$g" = 800x600+1024+0 ] && primary=$p
      [ "$g" = 1024x768+0+0 ] && other=$p
    done
    shot_root "$TMP/xss.png"
    [ -n "$primary" ] && [ -n "$other" ] && xss_plays "$primary" && both_lit && break
    sleep 0.1
  done
  check "XScreenSaver: two hacks run, one in each monitor's window (windows:$placed)" \
    bash -c "[ $count = 2 ] && [ -n '$primary' ] && [ -n '$other' ]"
  check "XScreenSaver: both monitors show our frames" both_lit
  check "XScreenSaver: with sound on, only the hack on the primary monitor (right) plays" only_primary_plays
  xss_as_user xscreensaver-command -deactivate >/dev/null 2>&1
  check "XScreenSaver: deactivating it ends both hacks" xss_wait_gone
  xss_stop
fi

finish
