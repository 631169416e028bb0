#!/usr/bin/env bash
# Tests of the Windows screensaver under Wine on a virtual X server: the saver, its settings dialog,
# its preview, the deterministic capture against the headless renderer, and the MSI.
#
#   scripts/test-win32.sh [WINDOWS_BUILD_DIR [HOST_BUILD_DIR]]     (defaults: build/mingw build/release)
#
# The Windows build must have been made with -DTL_WIN32=ON; the host build has the tools, the headless
# renderer and the demo world. One Wine prefix under build/ is made once and reused; its registry is
# the saver's settings store. Prints one line per check, then "N passed, M failed"; exits non-zero on
# any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
WINBUILD=$(realpath -m "${1:-build/mingw}")
HOSTBUILD=$(realpath -m "${2:-build/release}")
SCR="$WINBUILD/shell/win32/Tillands Bildschirmschoner.scr"
WINTEST="$WINBUILD/tests/win32/tillands-wintest.exe"
MSI="$WINBUILD/installer/Tillands.msi"
# The Linux program carries the headless renderer (tillands --headless).
HEADLESS="$HOSTBUILD/shell/linux/tillands"
WORLD_SOURCE="$HOSTBUILD/world/Tillands"
WORK="$ROOT/build/wine-test"
WINE=/usr/lib/wine/wine64
export WINEPREFIX="$ROOT/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
KEY='HKCU\Control Panel\Desktop\ScreenSaver.Tillands Bildschirmschoner'
DEFKEY='HKU\.DEFAULT\Control Panel\Desktop\ScreenSaver.Tillands Bildschirmschoner'

passed=0
failed=0
check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    echo "  ok    $name"
    passed=$((passed + 1))
  else
    echo "  FAIL  $name"
    failed=$((failed + 1))
  fi
}

for f in "$SCR" "$WINTEST" "$HEADLESS"; do
  [ -e "$f" ] || { echo "test-win32: missing $f (build the Windows and host builds first)"; exit 2; }
done

# A display of our own range (40..49) that no one else holds.
DISPLAY_NUMBER=""
for n in 40 41 42 43 44 45 46 47 48 49; do
  if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then DISPLAY_NUMBER=$n; break; fi
done
[ -n "$DISPLAY_NUMBER" ] || { echo "test-win32: no free display in :40..:49"; exit 2; }
export DISPLAY=:$DISPLAY_NUMBER
XVFB_PID=""
cleanup() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

wine_() { "$WINE" "$@"; }
reg_() { "$WINE" reg "$@" >/dev/null 2>&1; }
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== making the Wine prefix (once)"
  wine_ wineboot -i >/dev/null 2>&1
fi
# Without a window manager, Wine's managed windows wait on every hide; ours are plain X windows.
reg_ add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
reg_ add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f

rm -rf "$WORK"
mkdir -p "$WORK"
# The saver writes caches beside the descriptions: it gets a copy of the world of its own.
cp -r "$WORLD_SOURCE" "$WORK/world"
reset_settings() {
  reg_ delete "$KEY" /f
  reg_ delete "$DEFKEY" /f
  reg_ add "$KEY" /v GamePath /d "$(winpath "$WORK/world")" /f
}

saver_pids() { pgrep -f "Bildschirmschoner.scr" || true; }
running() { [ -n "$(saver_pids)" ]; }
wait_gone() {  # wait_gone TENTHS
  for _ in $(seq "$1"); do running || return 0; sleep 0.1; done
  ! running
}
wait_window() {  # wait_window NAME TENTHS
  for _ in $(seq "$2"); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
shot() { import -display "$DISPLAY" -window root "$1" 2>/dev/null; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null; }
same_image() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }
start_saver() { ("$WINE" "$SCR" "$@" >>"$WORK/saver.log" 2>&1 &); }
stop_all() {
  for p in $(saver_pids); do kill "$p" 2>/dev/null; done
  wait_gone 30 >/dev/null
}
ms_now() { date +%s%3N; }

# ---------------------------------------------------------------------------------------------------
echo "== saver mode"
reset_settings
# Wine reports the pointer where it last saw it: start from the screen's centre, where it begins.
xdotool mousemove 512 384
t0=$(ms_now)
start_saver /s
wait_window '^Tillands ScreenSaver$' 150
sleep 2
shot "$WORK/s1.png"
check "a window covers the screen" bash -c "xdotool search --name '^Tillands ScreenSaver\$' getwindowgeometry | grep -q 'Geometry: 1024x768'"
# The intro page: a pixel of its panel against the headless frame, and that colour in the PALETTE.
"$HEADLESS" --headless --data "$WORK/world" --size 1024x768 --seed 1 --frames 1 --ppm "$WORK/intro" --quiet 2>/dev/null
ref_panel=$(pixel "$WORK/intro/frame_000000.ppm" 250 160)
check "the intro panel shows its PALETTE colour ($ref_panel)" test "$(pixel "$WORK/s1.png" 250 160)" = "$ref_panel"
check "the colour is an entry of the PALETTE resource" python3 -c "
import sys; p=open('$WINBUILD/shell/win32/resources/palette104.pal','rb').read()
c=bytes(int(v) for v in '$ref_panel'.split(','))
sys.exit(0 if any(p[3*i:3*i+3]==c for i in range(1,255)) and c!=b'\0\0\0' else 1)"
# Mouse: the first position is remembered; 3 pixels from it keep the saver, 10 end it.
xdotool mousemove 513 384
sleep 0.3
xdotool mousemove 515 384
sleep 1
check "a 3-pixel mouse move does not end the saver" running
check "a second /s ends at once while one runs" timeout 15 "$WINE" "$SCR" /s
check "and the first one runs on" running
# The intro lasts 10 seconds; the scene after it moves.
while [ $(($(ms_now) - t0)) -lt 13000 ]; do sleep 0.2; done
shot "$WORK/s2.png"
check "frames change over time" bash -c "! [ \"\$(compare -metric AE '$WORK/s1.png' '$WORK/s2.png' null: 2>&1)\" = 0 ]"
xdotool mousemove 522 384
check "a 10-pixel mouse move ends it" wait_gone 20
stop_all

start_saver /s
wait_window '^Tillands ScreenSaver$' 150
sleep 1
k0=$(ms_now)
xdotool key space
wait_gone 30
k1=$(ms_now)
check "a key ends it within 1 s ($((k1 - k0)) ms)" test $((k1 - k0)) -le 1000
stop_all

# ---------------------------------------------------------------------------------------------------
echo "== no GamePath"
reg_ delete "$KEY" /v GamePath /f
start_saver /s
check "the German message box appears" bash -c "'$WINE' '$WINTEST' dump 'Tillands Bildschirmschoner' 15 2>/dev/null | tr -d '\r' > '$WORK/box.txt'; grep -q 'text=Datenpfad nicht gefunden. Bitte installieren Sie den Bildschirmschoner noch einmal neu.' '$WORK/box.txt'"
check "no saver window opens" bash -c "! xdotool search --name '^Tillands ScreenSaver\$' >/dev/null 2>&1"
xdotool search --name '^Tillands Bildschirmschoner$' windowfocus --sync key Return >/dev/null 2>&1 ||
  xdotool key Return
check "OK ends the program" wait_gone 50
stop_all

# ---------------------------------------------------------------------------------------------------
echo "== settings dialog (/c)"
# Wine sometimes loses synthetic input sent to a dialog it has just mapped (seen on a new prefix and on
# an idle machine), so the section runs once more when a check fails; only the last run counts.
dialog_lines=""
dialog_failed=0
dcheck() {  # like check, but recorded for the section's retry
  local name=$1
  shift
  if "$@"; then dialog_lines+="  ok    $name"$'\n'; else
    dialog_lines+="  FAIL  $name"$'\n'
    dialog_failed=$((dialog_failed + 1))
  fi
}
dialog_section() {
  reset_settings
  reg_ add "$KEY" /v FrameRate /t REG_DWORD /d 25 /f
  reg_ add "$KEY" /v "Num Animations" /t REG_DWORD /d 40 /f
  reg_ add "$KEY" /v Sound /t REG_DWORD /d 0 /f
  no_default_key() { ! "$WINE" reg query "$DEFKEY" >/dev/null 2>&1; }
  dcheck "(set-up) no default-user key before the dialog" no_default_key
  start_saver /c
  TITLE='Tillands Bildschirmschoner Einstellungen'
  wine_ "$WINTEST" dump "$TITLE" 15 2>/dev/null | tr -d '\r' >"$WORK/dialog.txt"
  has() { grep -qF -- "$1" "$WORK/dialog.txt"; }
  dcheck "the dialog's title" has "window text=$TITLE"
  dcheck "the caption text" has "control id=1004 class=Static text=Mindestanzahl Animationen"
  dcheck "the sound box in Windows-1252" has "$(printf 'control id=1032 class=Button text=&Ger\xe4usche checked=0')"
  dcheck "the trackbar: 10..100, ticks every 10, at the loaded 40" has "min=10 max=100 pos=40 tics=10"
  dcheck "OK and Cancel" bash -c "grep -qF 'id=1 class=Button text=&OK' '$WORK/dialog.txt' && grep -qF 'id=2 class=Button text=&Cancel' '$WORK/dialog.txt'"
  dcheck "the scale control" bash -c "grep -qF \"\$(printf 'id=1040 class=Static text=Vergr\\xf6\\xdferung')\" '$WORK/dialog.txt' && grep -q 'id=1041 class=ComboBox.*count=4 sel=0' '$WORK/dialog.txt'"
  # Cancel after moving the trackbar writes nothing.
  sleep 1  # Wine drops input that arrives while it is still mapping the window
  xdotool search --name "$TITLE" windowfocus --sync >/dev/null 2>&1
  xdotool key End Escape
  dcheck "Escape closes the dialog (Cancel)" wait_gone 50
  dcheck "Cancel keeps the stored value" bash -c "'$WINE' reg query '$KEY' /v 'Num Animations' 2>/dev/null | tr -d '\r' | grep -q '0x28'"
  dcheck "Cancel creates no default-user key" bash -c "! '$WINE' reg query '$DEFKEY' >/dev/null 2>&1"
  # OK: the trackbar to its end, the box checked, written to both keys with the loaded frame rate.
  start_saver /c
  wait_window "$TITLE" 150
  sleep 1
  xdotool search --name "$TITLE" windowfocus --sync >/dev/null 2>&1
  xdotool key End Tab space Return
  dcheck "Return closes the dialog (OK)" wait_gone 50
  for k in "$KEY" "$DEFKEY"; do
    wine_ reg query "$k" 2>/dev/null | tr -d '\r' >"$WORK/reg.txt"
    dcheck "OK writes ${k%%\\*}: FrameRate 25, Num Animations 100, Sound 1, Scale 0" bash -c "
      grep -Eq 'FrameRate +REG_DWORD +0x19' '$WORK/reg.txt' && grep -Eq 'Num Animations +REG_DWORD +0x64' '$WORK/reg.txt' &&
      grep -Eq 'Sound +REG_DWORD +0x1' '$WORK/reg.txt' && grep -Eq 'Scale +REG_DWORD +0x0' '$WORK/reg.txt'"
  done
  stop_all
}
for attempt in 1 2; do
  dialog_lines=""
  dialog_failed=0
  dialog_section
  [ $dialog_failed -eq 0 ] && break
  [ $attempt -eq 1 ] && printf '%s' "$dialog_lines" | sed 's/^/  (first run) /' | grep FAIL
done
printf '%s' "$dialog_lines"
passed=$((passed + $(printf '%s' "$dialog_lines" | grep -c '^  ok')))
failed=$((failed + dialog_failed))

# ---------------------------------------------------------------------------------------------------
echo "== preview (/p)"
reset_settings
rm -f "$WORK/host.txt"
(wine_ "$WINTEST" host 152 112 6 >"$WORK/host.txt" 2>/dev/null &)
for _ in $(seq 100); do [ -s "$WORK/host.txt" ] && break; sleep 0.1; done
HWND=$(tr -d '\r\n' <"$WORK/host.txt")
start_saver /p "$HWND"
sleep 3
wine_ "$WINTEST" dump "Tillands Preview Host" 5 2>/dev/null | tr -d '\r' >"$WORK/host-dump.txt"
# Wine does not show the GDI drawing of a child window that belongs to another process, so the
# picture itself is not compared here; the window, its place and size are.
check "the preview window lives in the host's client area" grep -q 'class=Tillands ScreenSaver text=Tillands ScreenSaver size=152x112 at=0,0' "$WORK/host-dump.txt"
check "the preview runs while its host lives" running
check "closing the host ends the preview" wait_gone 80
stop_all

# ---------------------------------------------------------------------------------------------------
echo "== deterministic capture against the headless renderer"
reset_settings
rm -rf "$WORK/cap" "$WORK/ref"
mkdir -p "$WORK/cap"
export TILLANDS_CAPTURE_DIR="$WORK/cap" TILLANDS_CAPTURE_FRAMES=6 TILLANDS_SEED=7
start_saver /s
unset TILLANDS_CAPTURE_DIR TILLANDS_CAPTURE_FRAMES TILLANDS_SEED
for _ in $(seq 200); do [ "$(ls "$WORK/cap" | grep -c '\.ppm$')" -ge 6 ] && break; sleep 0.1; done
xdotool key space
wait_gone 30
stop_all
"$HEADLESS" --headless --data "$WORK/world" --size 1024x768 --seed 7 --frames 6 --ppm "$WORK/ref" --quiet 2>/dev/null
check "six frames captured" test "$(ls "$WORK/cap" | grep -c '\.ppm$')" = 6
check "the captured frames are byte-identical to the headless frames" diff -r "$WORK/cap" "$WORK/ref"

# ---------------------------------------------------------------------------------------------------
echo "== a warning box during the first tick"
reset_settings
cp -r "$WORK/world" "$WORK/warnworld"
find "$WORK/warnworld" \( -iname '*.cif' -o -iname '*.cdf' \) -delete
ini=$(find "$WORK/warnworld" -iname z_animation_descriptions.ini)
sed -i '0,/^Speed = 12/s//Speed = 5/' "$ini"
reg_ add "$KEY" /v GamePath /d "$(winpath "$WORK/warnworld")" /f
# Every presented frame is written: a tick that ran inside the box's message loop would leave files.
rm -rf "$WORK/capw"
mkdir -p "$WORK/capw"
export TILLANDS_CAPTURE_DIR="$WORK/capw" TILLANDS_CAPTURE_FRAMES=5
start_saver /s
unset TILLANDS_CAPTURE_DIR TILLANDS_CAPTURE_FRAMES
check "the \"Warning!\" box appears" wait_window '^Warning!$' 200
sleep 2
check "no tick runs while the box is up (ticks never nest)" test "$(ls "$WORK/capw" | grep -c '\.ppm$')" = 0
check "the box is visible above the saver window" bash -c "xdotool search --onlyvisible --name '^Warning!\$' >/dev/null"
# Answered with OK. (Without a window manager Wine may hand keys to the disabled saver window; the
# destruction a key asks for during the box waits for the tick, so the box is answered directly.)
wine_ "$WINTEST" close 'Warning!' >/dev/null 2>&1
for _ in $(seq 100); do [ "$(ls "$WORK/capw" | grep -c '\.ppm$')" -ge 5 ] && break; sleep 0.1; done
check "after the box the saver draws on" test "$(ls "$WORK/capw" | grep -c '\.ppm$')" = 5
check "and runs on" running
xdotool key space
check "and a key ends it" wait_gone 30
stop_all

# ---------------------------------------------------------------------------------------------------
echo "== display scale 2"
reset_settings
reg_ add "$KEY" /v Scale /t REG_DWORD /d 2 /f
rm -rf "$WORK/cap2" "$WORK/ref2"
mkdir -p "$WORK/cap2"
export TILLANDS_CAPTURE_DIR="$WORK/cap2" TILLANDS_CAPTURE_FRAMES=2 TILLANDS_SEED=3
start_saver /s
unset TILLANDS_CAPTURE_DIR TILLANDS_CAPTURE_FRAMES TILLANDS_SEED
for _ in $(seq 200); do [ "$(ls "$WORK/cap2" | grep -c '\.ppm$')" -ge 2 ] && break; sleep 0.1; done
sleep 1
shot "$WORK/scaled.png"
xdotool click 1
wait_gone 30
stop_all
"$HEADLESS" --headless --data "$WORK/world" --size 512x384 --seed 3 --frames 2 --ppm "$WORK/ref2" --quiet 2>/dev/null
check "the scene runs at 512x384, frames as the headless renderer's" diff -r "$WORK/cap2" "$WORK/ref2"
convert "$WORK/scaled.png" -sample 50% -sample 200% "$WORK/blocks.png" 2>/dev/null
check "every scene pixel shows as a 2x2 block on the 1024x768 screen" same_image "$WORK/scaled.png" "$WORK/blocks.png"
check "and the screen is not all one colour" test "$(convert "$WORK/scaled.png" -format '%k' info: 2>/dev/null)" -gt 16

# ---------------------------------------------------------------------------------------------------
echo "== a scene per monitor (monitors faked through the enumeration seam)"
# Wine's X11 driver shows one monitor on every set-up we found (Xvfb +xinerama, --setmonitor on Xvfb
# and on Xorg's dummy driver, two dummy screens with Xinerama): the saver reads its monitors from the
# TILLANDS_FAKE_MONITORS file instead. A small primary monitor and a larger one lower right.
reset_settings
rm -rf "$WORK/capm" "$WORK/refm"
mkdir -p "$WORK/capm"
printf '0 0 512 384\n512 200 1024 768\n' >"$WORK/monitors.txt"
export TILLANDS_CAPTURE_DIR="$WORK/capm" TILLANDS_CAPTURE_FRAMES=3 TILLANDS_SEED=7
export TILLANDS_FAKE_MONITORS="$(winpath "$WORK/monitors.txt")"
start_saver /s
unset TILLANDS_CAPTURE_DIR TILLANDS_CAPTURE_FRAMES TILLANDS_SEED TILLANDS_FAKE_MONITORS
for _ in $(seq 200); do [ -e "$WORK/capm/monitor_1/frame_000002.ppm" ] && break; sleep 0.1; done
check "one capture folder per monitor, described in monitors.txt" \
  test "$(cat "$WORK/capm/monitors.txt" 2>/dev/null)" = "$(printf '0 0 0 512 384 1 7\n1 512 200 512 568 1 8')"
for k in 0 1; do
  size=$([ $k = 0 ] && echo 512x384 || echo 512x568)
  "$HEADLESS" --headless --data "$WORK/world" --size $size --seed $((7 + k)) --frames 3 --ppm "$WORK/refm/$k" \
    --quiet 2>/dev/null
  check "monitor $k: frames byte-identical to the headless run of $size, seed $((7 + k))" \
    diff -r "$WORK/capm/monitor_$k" "$WORK/refm/$k"
done
# The intro page stays as it is from the second frame: the screen shows each monitor's frame there.
shot "$WORK/monitors.png"
convert "$WORK/monitors.png" -crop 512x384+0+0 +repage "$WORK/m0.png"
convert "$WORK/monitors.png" -crop 512x568+512+200 +repage "$WORK/m1.png"
convert "$WORK/monitors.png" -crop 512x384+0+384 +repage "$WORK/dead.png"
check "monitor 0 shows its own intro page in its place" same_image "$WORK/m0.png" "$WORK/capm/monitor_0/frame_000001.ppm"
check "monitor 1 shows its own intro page in its place" same_image "$WORK/m1.png" "$WORK/capm/monitor_1/frame_000001.ppm"
check "the dead area below the first monitor is black" \
  test "$(convert "$WORK/dead.png" -fill white +opaque black -format '%[fx:mean]' info: 2>/dev/null)" = 0
# A display change: the monitors become two others; WM_DISPLAYCHANGE lays the scenes out again.
printf '0 0 600 768\n600 0 1024 500\n' >"$WORK/monitors.txt"
wine_ "$WINTEST" displaychange "Tillands ScreenSaver" >/dev/null 2>&1
for _ in $(seq 200); do grep -q '^1 600 0 424 500' "$WORK/capm/monitors.txt" 2>/dev/null && break; sleep 0.1; done
check "WM_DISPLAYCHANGE: the scenes follow the new monitors" \
  test "$(cat "$WORK/capm/monitors.txt" 2>/dev/null)" = "$(printf '0 0 0 600 768 1 7\n1 600 0 424 500 1 8')"
"$HEADLESS" --headless --data "$WORK/world" --size 424x500 --frames 2 --ppm "$WORK/refm/new" --quiet 2>/dev/null
relaid=no
for _ in 1 2 3; do
  shot "$WORK/changed.png"
  convert "$WORK/changed.png" -crop 424x500+600+0 +repage "$WORK/c1.png"
  if same_image "$WORK/c1.png" "$WORK/refm/new/frame_000001.ppm"; then relaid=yes; break; fi
done
check "WM_DISPLAYCHANGE: the new second monitor shows its new intro page" test $relaid = yes
check "WM_DISPLAYCHANGE: the saver runs on" running
xdotool key space
check "a key ends the saver on every monitor" wait_gone 30
stop_all

# ---------------------------------------------------------------------------------------------------
echo "== timings (measured, not checked)"
reset_settings
reg_ add "$KEY" /v FrameRate /t REG_DWORD /d 1000 /f
export TILLANDS_STATS_FILE="$WORK/stats.txt"
rm -f "$TILLANDS_STATS_FILE"
start_saver /s
unset TILLANDS_STATS_FILE
wait_window '^Tillands ScreenSaver$' 150
sleep 16  # the 10-second intro page and then scenes
xdotool click 1
wait_gone 50
stop_all
echo "  start to first frame: $(awk '/first_frame_ms/ {print $2}' "$WORK/stats.txt" 2>/dev/null) ms;" \
  "mean frame cost at 1024x768: $(awk '/mean_tick_ms/ {print $2}' "$WORK/stats.txt" 2>/dev/null) ms" \
  "over $(awk '/^ticks/ {print $2}' "$WORK/stats.txt" 2>/dev/null) ticks"
reg_ delete "$KEY" /v FrameRate /f

# ---------------------------------------------------------------------------------------------------
echo "== 20 start/stop cycles"
reset_settings
cycles_ok=1
for i in $(seq 20); do
  start_saver /s
  if ! wait_window '^Tillands ScreenSaver$' 150; then cycles_ok=0; echo "  cycle $i: no window"; fi
  # Wine drops input that arrives while it is still mapping the window.
  sleep 1
  xdotool click 1
  if ! wait_gone 50; then cycles_ok=0; echo "  cycle $i: still running"; stop_all; fi
done
check "20 cycles, each window opened and closed" test $cycles_ok = 1
not_running() { ! running; }
check "no process is left behind" not_running
stop_all

# ---------------------------------------------------------------------------------------------------
if [ -f "$MSI" ]; then
  echo "== MSI"
  reg_ delete "$KEY" /f
  # A run that stopped half-way may have left the package installed in the reused prefix.
  wine_ msiexec /x "$(winpath "$MSI")" /qn >/dev/null 2>&1
  wine_ msiexec /i "$(winpath "$MSI")" /qn >/dev/null 2>&1
  rc=$?
  check "msiexec /i /qn succeeds (exit $rc)" test $rc = 0
  SCR_INSTALLED="$WINEPREFIX/drive_c/windows/Tillands Bildschirmschoner.scr"
  check "the saver is in the Windows directory" test -f "$SCR_INSTALLED"
  check "installer.exe and the world are under Program Files\\Tillands" bash -c "
    test -f '$WINEPREFIX/drive_c/Program Files/Tillands/installer.exe' && test -f '$WINEPREFIX/drive_c/Program Files/Tillands/data_v.dat'"
  check "GamePath names the installed world" bash -c "'$WINE' reg query '$KEY' /v GamePath 2>/dev/null | tr -d '\r' | grep -qi 'GamePath.*C:.Program Files.Tillands'"
  ("$WINE" "$SCR_INSTALLED" /s >>"$WORK/saver.log" 2>&1 &)
  check "the installed saver runs from the installed world" wait_window '^Tillands ScreenSaver$' 150
  sleep 2
  check "and keeps running" running
  xdotool key space
  wait_gone 30
  stop_all
  # Wine's shell knows no "install" verb for .scr files; installer.exe must still end quietly with 0.
  check "installer.exe hands the saver to the shell and ends with 0" \
    timeout 30 "$WINE" "$WINEPREFIX/drive_c/Program Files/Tillands/installer.exe"
  # (Without the verb Wine's shell falls back to opening the file, which shows the saver's settings:
  # closed here, or the running .scr could not be removed.)
  sleep 2
  stop_all
  cp "$WINEPREFIX/drive_c/Program Files/Tillands/installer.exe" "$WORK/installer.exe"
  wine_ msiexec /x "$(winpath "$MSI")" /qn >/dev/null 2>&1
  rc=$?
  check "msiexec /x succeeds (exit $rc)" test $rc = 0
  check "uninstalling removes the saver, the folder and GamePath" bash -c "
    ! test -e '$SCR_INSTALLED' && ! test -e '$WINEPREFIX/drive_c/Program Files/Tillands' &&
    ! '$WINE' reg query '$KEY' /v GamePath >/dev/null 2>&1"
  check "installer.exe ends with 0 without the saver too" timeout 30 "$WINE" "$WORK/installer.exe"
fi

# ---------------------------------------------------------------------------------------------------
# The drawing kernels: every kernel set the processor runs against the plain one and the reference
# renderer, in the Windows build (GCC there needs the unaligned vector moves of its AVX files).
KERNELTEST="$WINBUILD/tests/win32/tillands-kerneltest.exe"
echo "== drawing kernels"
wine_ "$KERNELTEST" --gtest_brief=1 >"$WORK/kerneltest.txt" 2>&1
rc=$?
check "the kernel tests pass under Wine ($(tr -d '\r' <"$WORK/kerneltest.txt" | grep -oE '[0-9]+ tests? from [0-9]+ test suites? ran' | head -1))" test $rc = 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
