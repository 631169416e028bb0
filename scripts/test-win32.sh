#!/usr/bin/env bash
# Tests of the Windows screensaver under Wine on a virtual X server: the saver, its settings dialog,
# its preview, the deterministic capture against the headless renderer, and the MSI.
#
#   scripts/test-win32.sh [WINDOWS_BUILD_DIR [HOST_BUILD_DIR]]     (defaults: build/mingw build/release)
#   scripts/test-win32.sh --prepare     only makes the Wine prefix and the locales (no build needed):
#                                       the test command does it while other tests run
#
# The Windows build must have been made with -DTL_WIN32=ON; the host build has the tools, the headless
# renderer and the demo world. One Wine prefix under build/ is made once and reused; its registry is
# the saver's settings store. Prints one line per check, then "N passed, M failed"; exits non-zero on
# any failure. FRESH_PREFIX=1 makes the prefix anew first; TL_X_DISPLAY_FIRST=N looks for a free X
# display from :N on (default :40, scripts/lib-xserver.sh); TL_WINE_TIMINGS=1 also measures (does not
# check) start to first frame and the frame cost under Wine.
#
# No check sleeps for luck: each waits for the event it needs (a window, the focus, a file, a picture
# on the screen, a process's end), with a deadline after which it fails.
# Input is sent only once the window that should take it is Wine's foreground window with the keyboard
# focus inside (tillands-wintest ready): keys that arrive before Wine has activated a newly mapped
# window go nowhere. The saver runs in a German user interface unless a check asks for another
# language; the locales are compiled into build/locales (no system locale is needed or changed).
set -uo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
case "${1:-}" in --prepare) ;; -*) tl_common_option "$0" "$1" ;; esac
cd "$(dirname "$0")/.."
ROOT=$PWD
prepare_only=0
if [ "${1:-}" = --prepare ]; then
  prepare_only=1
  shift
fi
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
export LOCPATH="$ROOT/build/locales"
# The language of the saver's user interface: German; English and a Cyrillic code page where asked.
GERMAN=(env LANG=de_DE.UTF-8)
ENGLISH=(env LANG=C.UTF-8)
CYRILLIC=(env LANG=ru_RU.UTF-8 LC_MESSAGES=de_DE.UTF-8)
SAVER_ENV=("${GERMAN[@]}")
KEY='HKCU\Control Panel\Desktop\ScreenSaver.Tillands Bildschirmschoner'
DEFKEY='HKU\.DEFAULT\Control Panel\Desktop\ScreenSaver.Tillands Bildschirmschoner'
# The machine-wide "GamePath" of the MSI, read when the user has none.
MACHINE='HKLM\Software\Tillands'

passed=0
failed=0
section() { echo "== $1 (at ${SECONDS}s)"; }
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
  [ $prepare_only = 1 ] || [ -e "$f" ] || { echo "test-win32: missing $f (build the Windows and host builds first)"; exit 2; }
done

XVFB_PID=""
cleanup() {
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
# A display of our own range (40..49) that no one else holds.
# shellcheck source=scripts/lib-xserver.sh
source "$ROOT/scripts/lib-xserver.sh"
x_server_start 40 49 Xvfb -screen 0 1024x768x24 -nolisten tcp || exit 2
XVFB_PID=$X_SERVER_PID
export DISPLAY=$X_SERVER_DISPLAY

wine_() { "$WINE" "$@"; }
ready() { "$WINE" "$WINTEST" ready "$1" "${2:-15}" >/dev/null 2>&1; }  # ready TITLE [SECONDS]
reg_() { "$WINE" reg "$@" >/dev/null 2>&1; }
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

mkdir -p "$LOCPATH"
for loc in de_DE ru_RU; do
  [ -d "$LOCPATH/$loc.UTF-8" ] || localedef -i "$loc" -f UTF-8 "$LOCPATH/$loc.UTF-8" >/dev/null 2>&1 ||
    { echo "test-win32: cannot compile the locale $loc (Debian package locales)"; exit 2; }
done
[ "${FRESH_PREFIX:-0}" = 1 ] && rm -rf "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  section "making the Wine prefix (once)"
  wine_ wineboot -i >/dev/null 2>&1
  # A new prefix goes on starting its services after wineboot returns; the first dialog of a run then
  # lost its input. Wait until every process of the prefix has ended and the server has gone.
  /usr/lib/wine/wineserver -w
fi
if [ $prepare_only = 1 ]; then
  echo "test-win32: the Wine prefix and the locales are ready"
  exit 0
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
  reg_ delete "$MACHINE" /f
  reg_ add "$KEY" /v GamePath /d "$(winpath "$WORK/world")" /f
}

# Savers of this prefix only: another Wine prefix on the machine may run one of its own.
saver_pids() {
  local p
  for p in $(pgrep -f "Bildschirmschoner.scr"); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$p"
  done
  return 0
}
running() { [ -n "$(saver_pids)" ]; }
not_running() { ! running; }
wait_gone() {  # wait_gone TENTHS
  for _ in $(seq "$1"); do running || return 0; sleep 0.1; done
  ! running
}
wait_window() {  # wait_window NAME TENTHS
  for _ in $(seq "$2"); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
shot() { import -display "$DISPLAY" -window root "$1" 2>/dev/null; }
# screen_shows IMAGE TENTHS: takes screenshots (into $WORK/shown.png) until one equals IMAGE.
screen_shows() {
  for _ in $(seq "$2"); do
    shot "$WORK/shown.png" && same_image "$WORK/shown.png" "$1" && return 0
    sleep 0.1
  done
  return 1
}
# screen_leaves IMAGE TENTHS: takes screenshots until one differs from IMAGE.
screen_leaves() {
  for _ in $(seq "$2"); do
    shot "$WORK/shown.png" && ! same_image "$WORK/shown.png" "$1" && return 0
    sleep 0.1
  done
  return 1
}
# Returns once the saver window has handled all input sent so far (and what it set off); fails when
# the window has gone.
synced() { "$WINE" "$WINTEST" sync "${1:-Tillands ScreenSaver}" >/dev/null 2>&1; }
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null; }
same_image() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }
start_saver() { ("${SAVER_ENV[@]}" "$WINE" "$SCR" "$@" >>"$WORK/saver.log" 2>&1 &); }
# The same, keeping the exit status in $WORK/status when the program ends.
start_saver_status() {
  rm -f "$WORK/status"
  ( ("${SAVER_ENV[@]}" "$WINE" "$SCR" "$@" >>"$WORK/saver.log" 2>&1; echo $? >"$WORK/status.tmp") &&
    mv "$WORK/status.tmp" "$WORK/status" &)
}
status_is() {  # status_is CODE: waits up to 20 s for the program's end
  for _ in $(seq 200); do [ -f "$WORK/status" ] && break; sleep 0.1; done
  [ "$(cat "$WORK/status" 2>/dev/null)" = "$1" ]
}
stop_all() {
  for p in $(saver_pids); do kill "$p" 2>/dev/null; done
  wait_gone 100 >/dev/null
  mutex_free
}
# A saver's mutex is released a moment after its process has gone; the next /s waits for that.
mutex_free() { "$WINE" "$WINTEST" mutex-free 10 >/dev/null 2>&1; }
ms_now() { date +%s%3N; }

# ---------------------------------------------------------------------------------------------------
section "saver mode"
reset_settings
# The intro page as the headless renderer draws it; it stays as it is from the second frame on.
"$HEADLESS" --headless --data "$WORK/world" --size 1024x768 --seed 1 --frames 2 --ppm "$WORK/intro" --quiet 2>/dev/null
# Wine reports the pointer where it last saw it: start from the screen's centre, where it begins.
# (No --sync here: it waits for a move, and the pointer may already be there.)
xdotool mousemove 512 384
t0=$(ms_now)
export TILLANDS_SEED=1
start_saver /s
unset TILLANDS_SEED
ready 'Tillands ScreenSaver'
check "the screen shows the intro page as the headless renderer draws it" screen_shows "$WORK/intro/frame_000001.ppm" 300
cp "$WORK/shown.png" "$WORK/s1.png"
check "a window covers the screen" bash -c "xdotool search --name '^Tillands ScreenSaver\$' getwindowgeometry | grep -q 'Geometry: 1024x768'"
# The intro page: a pixel of its panel against the headless frame, and that colour in the PALETTE.
ref_panel=$(pixel "$WORK/intro/frame_000001.ppm" 250 160)
check "the intro panel shows its PALETTE colour ($ref_panel)" test "$(pixel "$WORK/s1.png" 250 160)" = "$ref_panel"
check "the colour is an entry of the PALETTE resource" python3 -c "
import sys; p=open('$WINBUILD/shell/win32/resources/palette104.pal','rb').read()
c=bytes(int(v) for v in '$ref_panel'.split(','))
sys.exit(0 if any(p[3*i:3*i+3]==c for i in range(1,255)) and c!=b'\0\0\0' else 1)"
# Mouse: the first position is remembered; 3 pixels from it keep the saver, 10 end it.
"$WINE" "$WINTEST" window 'Tillands ScreenSaver' "$SCR" 2>/dev/null | tr -d '\r' >"$WORK/window.txt"
check "the window: popup, topmost, over the virtual screen" bash -c "
  grep -q 'popup=1 child=0 caption=0 visible=1 topmost=1' '$WORK/window.txt' &&
  grep -q 'rect=0,0,1024,768 virtual=0,0,1024,768' '$WORK/window.txt'"
check "the saver has the mouse captured" grep -q 'capture=1' "$WORK/window.txt"
xdotool mousemove --sync 513 384
xdotool mousemove --sync 515 384
check "a 3-pixel mouse move does not end the saver" bash -c "'$WINE' '$WINTEST' sync 'Tillands ScreenSaver' >/dev/null 2>&1"
check "a second /s ends at once while one runs" timeout 15 "$WINE" "$SCR" /s
check "and the first one runs on" running
# The intro lasts 10 seconds from the saver's own start (which a loaded machine delays); the scene
# after it moves. Screens are taken until one differs from the intro, for at most 30 seconds.
changed=0
screen_leaves "$WORK/s1.png" 300 && changed=1
check "frames change over time (after $(($(ms_now) - t0)) ms)" test $changed = 1
xdotool mousemove 522 384
check "a 10-pixel mouse move ends it" wait_gone 20
stop_all

start_saver /s
ready 'Tillands ScreenSaver'
k0=$(ms_now)
xdotool key space
wait_gone 100
k1=$(ms_now)
echo "  (measured: the key ended it after $((k1 - k0)) ms)"
check "a key ends it" not_running
stop_all

# ---------------------------------------------------------------------------------------------------
section "no GamePath"
reg_ delete "$KEY" /v GamePath /f
start_saver /s
check "the German message box appears" bash -c "'$WINE' '$WINTEST' dump 'Tillands Bildschirmschoner' 15 2>/dev/null | tr -d '\r' > '$WORK/box.txt'; grep -q 'text=Datenpfad nicht gefunden. Bitte installieren Sie den Bildschirmschoner noch einmal neu.' '$WORK/box.txt'"
check "no saver window opens" bash -c "! xdotool search --name '^Tillands ScreenSaver\$' >/dev/null 2>&1"
xdotool search --sync --name '^Tillands Bildschirmschoner$' windowfocus --sync >/dev/null 2>&1
ready 'Tillands Bildschirmschoner'
xdotool key Return
check "OK ends the program" wait_gone 100
stop_all
SAVER_ENV=("${ENGLISH[@]}")
start_saver /s
check "in English elsewhere" bash -c "'$WINE' '$WINTEST' dump 'Tillands Bildschirmschoner' 15 2>/dev/null | tr -d '\r' > '$WORK/box-en.txt'; grep -q 'text=Data path not found. Please install the screensaver again.' '$WORK/box-en.txt'"
"$WINE" "$WINTEST" close 'Tillands Bildschirmschoner' >/dev/null 2>&1
wait_gone 100
stop_all
SAVER_ENV=("${GERMAN[@]}")

# ---------------------------------------------------------------------------------------------------
section "settings dialog (/c)"
dump_dialog() {  # dump_dialog TITLE FILE
  wine_ "$WINTEST" dump "$1" 15 2>/dev/null | tr -d '\r' >"$2"
}
reset_settings
reg_ add "$KEY" /v FrameRate /t REG_DWORD /d 25 /f
reg_ add "$KEY" /v "Num Animations" /t REG_DWORD /d 40 /f
reg_ add "$KEY" /v Sound /t REG_DWORD /d 0 /f
reg_ add "$KEY" /v Monitors /t REG_DWORD /d 1 /f
# The key is missing only when reg says so: a reg that failed to run proves nothing either way.
no_default_key() {
  local out
  out=$("$WINE" reg query "$DEFKEY" 2>&1)
  [[ $out == *"Unable to find the specified registry key"* ]]
}
check "(set-up) no default-user key before the dialog" no_default_key
start_saver /c
TITLE='Tillands Bildschirmschoner Einstellungen'
dump_dialog "$TITLE" "$WORK/dialog.txt"
has() { grep -qF -- "$1" "$WORK/dialog.txt"; }
check "the dialog's title" has "window text=$TITLE"
check "the caption text" has "control id=1004 class=Static text=Mindestanzahl Animationen"
check "the sound box" has "control id=1032 class=Button text=&Geräusche checked=0"
check "the trackbar: 10..100, ticks every 10, at the loaded 40" has "min=10 max=100 pos=40 tics=10"
check "OK and Cancel" bash -c "grep -qF 'id=1 class=Button text=&OK' '$WORK/dialog.txt' && grep -qF 'id=2 class=Button text=&Cancel' '$WORK/dialog.txt'"
check "the scale control" bash -c "grep -qF 'id=1040 class=Static text=Vergrößerung' '$WORK/dialog.txt' && grep -qF 'id=1041 class=ComboBox text= count=4 sel=0 items=Automatisch|1×|2×|3×' '$WORK/dialog.txt'"
check "the monitors control, at the loaded 1" bash -c "grep -qF 'id=1042 class=Static text=Monitore' '$WORK/dialog.txt' && grep -qF 'id=1043 class=ComboBox text= count=2 sel=1 items=Jeder eine eigene Szene|Eine Szene über alle' '$WORK/dialog.txt'"
# Cancel after moving the trackbar writes nothing.
xdotool search --name "$TITLE" windowfocus --sync >/dev/null 2>&1
ready "$TITLE"
xdotool key End Escape
check "Escape closes the dialog (Cancel)" wait_gone 100
check "Cancel keeps the stored value" bash -c "'$WINE' reg query '$KEY' /v 'Num Animations' 2>/dev/null | tr -d '\r' | grep -q '0x28'"
check "Cancel creates no default-user key" no_default_key
# OK: the trackbar to its end, the box checked, written to both keys with the loaded frame rate.
start_saver /c
xdotool search --sync --name "$TITLE" windowfocus --sync >/dev/null 2>&1
ready "$TITLE"
xdotool key End Tab space Return
check "Return closes the dialog (OK)" wait_gone 100
for k in "$KEY" "$DEFKEY"; do
  wine_ reg query "$k" 2>/dev/null | tr -d '\r' >"$WORK/reg.txt"
  check "OK writes ${k%%\\*}: FrameRate 25, Num Animations 100, Sound 1, Scale 0, Monitors 1" bash -c "
    grep -Eq 'FrameRate +REG_DWORD +0x19' '$WORK/reg.txt' && grep -Eq 'Num Animations +REG_DWORD +0x64' '$WORK/reg.txt' &&
    grep -Eq 'Sound +REG_DWORD +0x1' '$WORK/reg.txt' && grep -Eq 'Scale +REG_DWORD +0x0' '$WORK/reg.txt' &&
    grep -Eq 'Monitors +REG_DWORD +0x1' '$WORK/reg.txt'"
done
stop_all
# The same dialog in English (same ids, same geometry), and the German one under a Cyrillic code page.
SAVER_ENV=("${ENGLISH[@]}")
start_saver /c
dump_dialog 'Tillands Screensaver Settings' "$WORK/dialog-en.txt"
check "in English: title, texts and choices" bash -c "f='$WORK/dialog-en.txt'
  grep -qF 'window text=Tillands Screensaver Settings' \$f && grep -qF 'id=1004 class=Static text=Minimum number of animations' \$f &&
  grep -qF 'id=1032 class=Button text=&Sounds' \$f && grep -qF 'id=1040 class=Static text=Enlargement' \$f &&
  grep -qF 'items=Automatic|1×|2×|3×' \$f && grep -qF 'id=1042 class=Static text=Monitors' \$f &&
  grep -qF 'items=A scene on each|One scene across all' \$f"
check "the English dialog has the German one's geometry" bash -c "
  diff <(tail -n +2 '$WORK/dialog.txt' | sed 's/.*size=/size=/') <(tail -n +2 '$WORK/dialog-en.txt' | sed 's/.*size=/size=/')"
"$WINE" "$WINTEST" close 'Tillands Screensaver Settings' >/dev/null 2>&1
wait_gone 100
stop_all
SAVER_ENV=("${CYRILLIC[@]}")
start_saver /c
# (The helper runs in the same environment, so the code page it reports is the saver's.)
"${CYRILLIC[@]}" "$WINE" "$WINTEST" dump "$TITLE" 15 2>/dev/null | tr -d '\r' >"$WORK/dialog-1251.txt"
check "German texts stay right under code page 1251" bash -c "f='$WORK/dialog-1251.txt'
  grep -qF 'acp=1251' \$f && grep -qF 'text=&Geräusche' \$f && grep -qF 'text=Vergrößerung' \$f &&
  grep -qF 'Eine Szene über alle' \$f"
"$WINE" "$WINTEST" close "$TITLE" >/dev/null 2>&1
wait_gone 100
stop_all
SAVER_ENV=("${GERMAN[@]}")

# ---------------------------------------------------------------------------------------------------
section "preview (/p)"
reset_settings
rm -f "$WORK/host.txt"
(wine_ "$WINTEST" host 152 112 6 >"$WORK/host.txt" 2>/dev/null &)
for _ in $(seq 100); do [ -s "$WORK/host.txt" ] && break; sleep 0.1; done
HWND=$(tr -d '\r\n' <"$WORK/host.txt")
start_saver /p "$HWND"
for _ in $(seq 30); do
  wine_ "$WINTEST" dump "Tillands Preview Host" 5 2>/dev/null | tr -d '\r' >"$WORK/host-dump.txt"
  grep -q 'class=Tillands ScreenSaver' "$WORK/host-dump.txt" && break
  sleep 0.2
done
# Wine does not show the GDI drawing of a child window that belongs to another process, so the
# picture itself is not compared here; the window, its place and size are.
check "the preview window lives in the host's client area" grep -q 'class=Tillands ScreenSaver text=Tillands ScreenSaver size=152x112 at=0,0' "$WORK/host-dump.txt"
check "the preview runs while its host lives" running
check "closing the host ends the preview" wait_gone 80
stop_all

# ---------------------------------------------------------------------------------------------------
section "deterministic capture against the headless renderer"
reset_settings
rm -rf "$WORK/cap" "$WORK/ref"
mkdir -p "$WORK/cap"
export TILLANDS_CAPTURE_DIR="$WORK/cap" TILLANDS_CAPTURE_FRAMES=6 TILLANDS_SEED=7
start_saver /s
unset TILLANDS_CAPTURE_DIR TILLANDS_CAPTURE_FRAMES TILLANDS_SEED
for _ in $(seq 200); do [ "$(ls "$WORK/cap" | grep -c '\.ppm$')" -ge 6 ] && break; sleep 0.1; done
xdotool key space
wait_gone 100
stop_all
"$HEADLESS" --headless --data "$WORK/world" --size 1024x768 --seed 7 --frames 6 --ppm "$WORK/ref" --quiet 2>/dev/null
check "six frames captured" test "$(ls "$WORK/cap" | grep -c '\.ppm$')" = 6
check "the captured frames are byte-identical to the headless frames" diff -r "$WORK/cap" "$WORK/ref"

# ---------------------------------------------------------------------------------------------------
section "a warning box during the first tick"
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
# A nested tick would come from the frame timer inside the box's message loop. No event marks a tick
# that does not happen: the box stays up for 12 periods of the 12-per-second timer, then a round trip
# through that loop waits for any tick in progress, which would have written a frame.
sleep 1
synced 'Warning!'
check "no tick runs while the box is up (ticks never nest)" test "$(ls "$WORK/capw" | grep -c '\.ppm$')" = 0
check "the box is visible above the saver window" bash -c "xdotool search --onlyvisible --name '^Warning!\$' >/dev/null"
# Answered with OK. (Without a window manager Wine may hand keys to the disabled saver window; the
# destruction a key asks for during the box waits for the tick, so the box is answered directly.)
wine_ "$WINTEST" close 'Warning!' >/dev/null 2>&1
for _ in $(seq 100); do [ "$(ls "$WORK/capw" | grep -c '\.ppm$')" -ge 5 ] && break; sleep 0.1; done
check "after the box the saver draws on" test "$(ls "$WORK/capw" | grep -c '\.ppm$')" = 5
check "and runs on" running
xdotool key space
check "and a key ends it" wait_gone 100
stop_all
# A close from outside while the box is up waits for the tick: the box stays, and the saver ends by
# itself once it is answered.
find "$WORK/warnworld" \( -iname '*.cif' -o -iname '*.cdf' \) -delete  # the warning comes while compiling
start_saver_status /s
ready 'Warning!' 30
check "WM_CLOSE to the saver window during the box is handled" \
  "$WINE" "$WINTEST" send-close 'Tillands ScreenSaver'
check "and the box stays up" wine_ "$WINTEST" dump 'Warning!' 1
check "the saver running" running
wine_ "$WINTEST" close 'Warning!' >/dev/null 2>&1
check "answered, the saver ends cleanly (status 0)" status_is 0
check "leaving no window" bash -c "! xdotool search --name '^Tillands ScreenSaver\$' >/dev/null 2>&1"
stop_all

# ---------------------------------------------------------------------------------------------------
section "a fatal data error"
reset_settings
cp -r "$WORK/world" "$WORK/badworld"
truncate -s 100 "$(find "$WORK/badworld" -iname Screensaver_Masked.bmd)"
reg_ add "$KEY" /v GamePath /d "$(winpath "$WORK/badworld")" /f
start_saver_status /s
"$WINE" "$WINTEST" dump 'Tillands Bildschirmschoner' 20 2>/dev/null | tr -d '\r' >"$WORK/fatal.txt"
check "the saver's own box shows the error's text" grep -qF \
  'text=XB_BOB_MANAGER - file Data_V\VE_Graphics\BobManager\Screensaver_Masked.bmd - corrupt data' "$WORK/fatal.txt"
check "the box is visible, the saver window is not" bash -c "
  xdotool search --onlyvisible --name '^Tillands Bildschirmschoner\$' >/dev/null &&
  ! xdotool search --onlyvisible --name '^Tillands ScreenSaver\$' >/dev/null"
wine_ "$WINTEST" close 'Tillands Bildschirmschoner' >/dev/null 2>&1
check "OK ends the process with status 3" status_is 3
check "leaving no window" bash -c "! xdotool search --name '^Tillands' >/dev/null 2>&1"
check "and no process" wait_gone 100
stop_all

# ---------------------------------------------------------------------------------------------------
section "display scale 2"
reset_settings
reg_ add "$KEY" /v Scale /t REG_DWORD /d 2 /f
rm -rf "$WORK/cap2" "$WORK/ref2"
mkdir -p "$WORK/cap2"
export TILLANDS_CAPTURE_DIR="$WORK/cap2" TILLANDS_CAPTURE_FRAMES=2 TILLANDS_SEED=3
start_saver /s
unset TILLANDS_CAPTURE_DIR TILLANDS_CAPTURE_FRAMES TILLANDS_SEED
for _ in $(seq 200); do [ "$(ls "$WORK/cap2" | grep -c '\.ppm$')" -ge 2 ] && break; sleep 0.1; done
# The second frame (the intro page, which stays) enlarged: every scene pixel as a 2x2 block.
convert "$WORK/cap2/frame_000001.ppm" -sample 200% "$WORK/cap2-enlarged.png" 2>/dev/null
check "the screen shows the scene's frame, each pixel as a 2x2 block" screen_shows "$WORK/cap2-enlarged.png" 200
cp "$WORK/shown.png" "$WORK/scaled.png"
xdotool click 1
wait_gone 100
stop_all
"$HEADLESS" --headless --data "$WORK/world" --size 512x384 --seed 3 --frames 2 --ppm "$WORK/ref2" --quiet 2>/dev/null
check "the scene runs at 512x384, frames as the headless renderer's" diff -r "$WORK/cap2" "$WORK/ref2"
check "and the screen is not all one colour" test "$(convert "$WORK/scaled.png" -format '%k' info: 2>/dev/null)" -gt 16

# ---------------------------------------------------------------------------------------------------
section "the frame timer's real rate, and the sound calls"
# The saver writes its tick count and the time they spanned (TILLANDS_STATS_FILE), and every call into
# the system's sound playback with the stage of the run it came in (TILLANDS_SOUND_LOG).
for rate in 12 25; do
  reset_settings
  reg_ add "$KEY" /v FrameRate /t REG_DWORD /d $rate /f
  reg_ add "$KEY" /v Sound /t REG_DWORD /d $((rate == 12 ? 1 : 0)) /f
  rm -f "$WORK/rate.txt" "$WORK/sound.txt"
  export TILLANDS_STATS_FILE="$WORK/rate.txt" TILLANDS_SOUND_LOG="$WORK/sound.txt" TILLANDS_SEED=1
  start_saver_status /s
  unset TILLANDS_STATS_FILE TILLANDS_SOUND_LOG TILLANDS_SEED
  ready 'Tillands ScreenSaver'
  # The measuring span is the intro page, which ends by the saver's own clock: the check reads the
  # ticks the saver itself counted in it.
  screen_shows "$WORK/intro/frame_000001.ppm" 300 && screen_leaves "$WORK/intro/frame_000001.ppm" 300
  xdotool click 1
  status_is 0
  fps=$(awk '/^ticks/ {t=$2} /^run_ms/ {r=$2} END {if (r > 0) printf "%.2f", t * 1000 / r}' "$WORK/rate.txt")
  check "FrameRate $rate: $fps frames per second, within 10 %" \
    awk -v f="${fps:-0}" -v r=$rate 'BEGIN {exit !(f >= 0.9 * r && f <= 1.1 * r)}'
  if [ $rate = 12 ]; then
    check "sound on: \"dummy\" from the resources, asynchronous, no default, no stop, before the window" \
      test "$(head -1 "$WORK/sound.txt")" = "dummy module=1 flags=0x40017 stage=before-window"
    check "and playback stopped as the window is destroyed, last" \
      test "$(tail -1 "$WORK/sound.txt")" = "(none) module=0 flags=0x0 stage=destroyed"
  else
    check "sound off: no cue reaches the system, only the stop" \
      test "$(cat "$WORK/sound.txt")" = "(none) module=0 flags=0x0 stage=destroyed"
  fi
done
stop_all

section "a scene per monitor (monitors faked through the enumeration seam)"
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
check "a key ends the saver on every monitor" wait_gone 100
stop_all


# ---------------------------------------------------------------------------------------------------
# Measured, not checked (a benchmark, not a test): start to first frame and the mean frame cost under
# Wine, with TL_WINE_TIMINGS=1.
if [ "${TL_WINE_TIMINGS:-0}" = 1 ]; then
  section "timings (measured, not checked)"
  reset_settings
  reg_ add "$KEY" /v FrameRate /t REG_DWORD /d 1000 /f
  export TILLANDS_STATS_FILE="$WORK/stats.txt" TILLANDS_SEED=1
  rm -f "$TILLANDS_STATS_FILE"
  start_saver /s
  unset TILLANDS_STATS_FILE TILLANDS_SEED
  ready 'Tillands ScreenSaver'
  # The 10-second intro page, and then the scenes for ten pictures on the screen.
  screen_shows "$WORK/intro/frame_000001.ppm" 300 && screen_leaves "$WORK/intro/frame_000001.ppm" 300
  for _ in $(seq 10); do
    cp "$WORK/shown.png" "$WORK/last.png"
    screen_leaves "$WORK/last.png" 100 || break
  done
  xdotool click 1
  wait_gone 100
  stop_all
  echo "  start to first frame: $(awk '/first_frame_ms/ {print $2}' "$WORK/stats.txt" 2>/dev/null) ms;" \
    "mean frame cost at 1024x768: $(awk '/mean_tick_ms/ {print $2}' "$WORK/stats.txt" 2>/dev/null) ms" \
    "over $(awk '/^ticks/ {print $2}' "$WORK/stats.txt" 2>/dev/null) ticks"
  reg_ delete "$KEY" /v FrameRate /f
fi

# ---------------------------------------------------------------------------------------------------
section "20 start/stop cycles"
reset_settings
cycles_ok=1
for i in $(seq 20); do
  start_saver /s
  if ! ready 'Tillands ScreenSaver'; then cycles_ok=0; echo "  cycle $i: no window"; fi
  xdotool click 1
  if ! wait_gone 100; then cycles_ok=0; echo "  cycle $i: still running"; stop_all; fi
  mutex_free
done
check "20 cycles, each window opened and closed" test $cycles_ok = 1
check "no process is left behind" not_running
stop_all

# ---------------------------------------------------------------------------------------------------
if [ -f "$MSI" ]; then
  section "MSI"
  UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  SCR_INSTALLED="$WINEPREFIX/drive_c/windows/Tillands Bildschirmschoner.scr"
  PF="$WINEPREFIX/drive_c/Program Files/Tillands"
  # A newer package to upgrade to: a higher version whose installer.exe differs from this one's.
  rm -rf "$WORK/msi-new"
  cp -r "$WINBUILD/installer/msi-stage" "$WORK/msi-new"
  cp "$WINTEST" "$WORK/msi-new/installer.exe"
  # Every version is a product of its own (the build derives the code from the version): the newer
  # package gets a code of its own here.
  (cd "$WORK/msi-new" && wixl -a x64 -D Version=99.0.0 -D ProductCode=3F2A9C1E-7B4D-4E85-9A60-990000000001 \
    -o "$WORK/newer.msi" "$ROOT/installer/tillands.wxs")
  # A run that stopped half-way may have left a package installed in the reused prefix.
  wine_ msiexec /x "$(winpath "$WORK/newer.msi")" /qn >/dev/null 2>&1
  wine_ msiexec /x "$(winpath "$MSI")" /qn >/dev/null 2>&1
  reg_ delete "$KEY" /f
  # This user's "GamePath" as the game's set-up wrote it: the package must not touch it.
  reg_ add "$KEY" /v GamePath /d 'C:\Spiel' /f
  user_game_path() { "$WINE" reg query "$KEY" /v GamePath 2>/dev/null | tr -d '\r' | grep -q 'GamePath.*C:\\Spiel$'; }
  entries() { "$WINE" reg query "$UNINSTALL" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*Tillands Bildschirmschoner'; }
  wine_ msiexec /i "$(winpath "$MSI")" /qn >/dev/null 2>&1
  rc=$?
  check "msiexec /i /qn succeeds (exit $rc)" test $rc = 0
  check "the saver is in the Windows directory" test -f "$SCR_INSTALLED"
  check "installer.exe and the world are under Program Files\\Tillands" bash -c "
    test -f '$PF/installer.exe' && test -f '$PF/data_v.dat'"
  check "the machine-wide GamePath names the installed world" bash -c "
    '$WINE' reg query '$MACHINE' /v GamePath 2>/dev/null | tr -d '\r' | grep -qi 'GamePath.*C:.Program Files.Tillands'"
  check "the user's own GamePath is left as the game wrote it" user_game_path
  cp "$PF/installer.exe" "$WORK/installer.exe"
  # Any other user of the machine has no GamePath of their own: the saver takes the machine's.
  reg_ delete "$KEY" /f
  ("${SAVER_ENV[@]}" "$WINE" "$SCR_INSTALLED" /s >>"$WORK/saver.log" 2>&1 &)
  check "a user without a GamePath runs the saver from the machine-wide one" ready 'Tillands ScreenSaver' 20
  check "and it keeps running" running
  xdotool key space
  wait_gone 100
  stop_all
  # Wine's shell runs a .scr as a program whatever the verb (it registers no "install" verb), so what
  # it was handed shows in the process it started: the saver's path, and the Windows directory as the
  # working directory.
  check "installer.exe hands the saver to the shell and ends with 0" timeout 30 "$WINE" "$PF/installer.exe"
  started=""
  shell_started() {
    local p
    for p in $(saver_pids); do
      tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q '^C:.windows.Tillands Bildschirmschoner.scr' && echo "$p"
    done | head -1
  }
  for _ in $(seq 100); do started=$(shell_started); [ -n "$started" ] && break; sleep 0.1; done
  check "the shell got the installed saver's path" test -n "$started"
  check "and the Windows directory as working directory" test "$(readlink "/proc/${started:-0}/cwd")" = "$WINEPREFIX/drive_c/windows"
  stop_all
  # Repair puts back a deleted file.
  # (Wine's msiexec /f fails outright; these are the properties /f sets.)
  rm -f "$PF/data_v.dat"
  wine_ msiexec /i "$(winpath "$MSI")" REINSTALL=ALL REINSTALLMODE=omus /qn >/dev/null 2>&1
  check "a repair restores a deleted file" cmp -s "$PF/data_v.dat" "$WINBUILD/installer/msi-stage/data_v.dat"
  # A newer version replaces this one.
  wine_ msiexec /i "$(winpath "$WORK/newer.msi")" /qn >/dev/null 2>&1
  rc=$?
  check "the newer package installs over it (exit $rc)" test $rc = 0
  check "with its own files" cmp -s "$PF/installer.exe" "$WINTEST"
  newer_alone() { [ "$(entries)" = 1 ] && "$WINE" reg query "$UNINSTALL" /s 2>/dev/null | tr -d '\r' | grep -q 'DisplayVersion.*99\.0\.0'; }
  check "one entry in the installed programs, the newer version" newer_alone
  # An older version refuses to replace it, saying why.
  wine_ msiexec /i "$(winpath "$MSI")" /qn /l*v "$(winpath "$WORK/downgrade.log")" >/dev/null 2>&1
  rc=$?
  check "the older package refuses (exit $rc)" test $rc != 0
  # Wine logs the detection but not the condition's text (it shows no UI under /qn): the text is read
  # from the package, on the condition that refused.
  check "because the newer one was found" bash -c "tr -d '\\000' <'$WORK/downgrade.log' | grep -aq 'WIX_DOWNGRADE_DETECTED = {'"
  check "and its message says why" bash -c "msiinfo export '$MSI' LaunchCondition | grep -q '^NOT WIX_DOWNGRADE_DETECTED.*A newer version of Tillands Bildschirmschoner is already installed'"
  check "and the newer stays, alone" bash -c "cmp -s '$PF/installer.exe' '$WINTEST'"
  check "(one entry)" newer_alone
  reg_ add "$KEY" /v GamePath /d 'C:\Spiel' /f
  wine_ msiexec /x "$(winpath "$WORK/newer.msi")" /qn >/dev/null 2>&1
  rc=$?
  check "msiexec /x succeeds (exit $rc)" test $rc = 0
  check "uninstalling removes the saver, the folder and the machine-wide GamePath" bash -c "
    ! test -e '$SCR_INSTALLED' && ! test -e '$PF' && ! '$WINE' reg query '$MACHINE' /v GamePath >/dev/null 2>&1"
  no_entry() { [ "$(entries)" = 0 ]; }
  check "and its entry in the installed programs" no_entry
  check "but not the user's own GamePath" user_game_path
  check "installer.exe ends with 0 without the saver too" timeout 30 "$WINE" "$WORK/installer.exe"
fi

# ---------------------------------------------------------------------------------------------------
# The drawing kernels: every kernel set the processor runs against the plain one and the reference
# renderer, in the Windows build (GCC there needs the unaligned vector moves of its AVX files).
KERNELTEST="$WINBUILD/tests/win32/tillands-kerneltest.exe"
section "drawing kernels"
wine_ "$KERNELTEST" --gtest_brief=1 >"$WORK/kerneltest.txt" 2>&1
rc=$?
check "the kernel tests pass under Wine ($(tr -d '\r' <"$WORK/kerneltest.txt" | grep -oE '[0-9]+ tests? from [0-9]+ test suites? ran' | head -1))" test $rc = 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
