# Sourced by test-linux.sh and test-monitors.sh, after lib-checks.sh: the real XScreenSaver daemon
# running our installed hack for a test user. XScreenSaver refuses to run hacks as root, so it runs as
# $XSS_USER with a home of its own; the hack is found through PATH in the installed tree's
# libexec/xscreensaver, as on a system.
# Sound is observed through SDL's disk driver: every hack that opens its audio device holds
# $XSS_HOME/audio.raw open.
#
#   xss_ready                  the user exists (made when we are root) and xscreensaver is installed
#   xss_home DIR ROOT          DIR becomes the user's home; ROOT is the installed tree (ROOT/usr/bin/...)
#   xss_as_user CMD...         runs CMD as the user, in that home, on $DISPLAY
#   xss_choose OPTIONS...      the user's choices as the settings window writes them: our hack only, its
#                              command line given OPTIONS, no locking, fading or splash
#   xss_start LOG              starts the daemon (its output in LOG) and waits until it answers; XSS_PID
#   xss_hacks                  the process ids of the running hacks (an ended one waiting to be reaped
#                              is not running)
#   xss_running                some hack runs
#   xss_wait_gone              waits up to 30 s for no hack to run, waking xscreensaver-gfx if need be
#   xss_window PID             the window XScreenSaver gave that hack ($XSCREENSAVER_WINDOW)
#   xss_plays PID              the hack has its audio device open
#   xss_stop                   ends the daemon
# shellcheck shell=bash

XSS_USER=tillandstest

xss_ready() {
  if [ "$(id -u)" = 0 ] && ! id "$XSS_USER" >/dev/null 2>&1; then
    useradd -M -s /usr/sbin/nologin "$XSS_USER" 2>/dev/null
  fi
  id "$XSS_USER" >/dev/null 2>&1 && command -v xscreensaver >/dev/null
}

xss_home() {
  XSS_HOME=$1
  XSS_ROOT=$2
  mkdir -p "$XSS_HOME"
  chown -R "$XSS_USER" "$XSS_HOME"
}

xss_as_user() {
  runuser -u "$XSS_USER" -- env DISPLAY="$DISPLAY" HOME="$XSS_HOME" \
    PATH="$XSS_ROOT/usr/libexec/xscreensaver:/usr/bin:/bin" SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE="$XSS_HOME/audio.raw" XDG_CONFIG_HOME="$XSS_HOME/.config" "$@"
}

xss_choose() {
  local file=$XSS_HOME/.xscreensaver index
  # The entries end in "\n"; ours, added last, is the last one.
  index=$(($(grep -c '\\n' "$file") - 1))
  [ $# -gt 0 ] && sed -i "s/tillands --root/tillands --root $*/" "$file"
  printf '%s\n' 'mode:		one' "selected:	$index" 'lock:		False' 'fade:		False' 'unfade:		False' \
    'splash:		False' 'timeout:	0:30:00' >>"$file"
  chown "$XSS_USER" "$file"
}

xss_start() {
  xss_as_user xscreensaver -no-splash >"$1" 2>&1 &
  XSS_PID=$!
  wait_until 30 xss_as_user xscreensaver-command -time >/dev/null 2>&1
}

# xscreensaver-gfx kills its hacks and exits without waiting for them, so an ended hack can stay a
# zombie until whoever adopts it reaps it (in a container, perhaps never): it has ended all the same.
xss_hacks() { ps -u "$XSS_USER" -o pid=,stat=,comm= | awk '$3 == "tillands" && $2 !~ /^Z/ { print $1 }'; }
xss_running() { [ -n "$(xss_hacks)" ]; }
xss_none() { [ -z "$(xss_hacks)" ]; }
# On deactivation the daemon sends SIGTERM to xscreensaver-gfx, which kills the hacks. xscreensaver-gfx
# hears of the signal through Xt (XtNoticeSignal), which acts on it when its event loop next wakes for
# an X event or a timer: now and then (one deactivation in some tens on a busy machine) the signal lands
# as the loop goes to sleep, and with no timer due for minutes it is only acted on 5 s later or not at
# all, our hack left running. On a desk the user's own input wakes it; here, after 2 s, a property
# change on the daemon's window does (xscreensaver-gfx listens there for the daemon's replies).
xss_nudge() {
  local w
  for w in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
    xprop -id "$w" _SCREENSAVER_VERSION 2>/dev/null | grep -q ' = ' &&
      xprop -id "$w" -f _TILLANDS_NUDGE 32c -set _TILLANDS_NUDGE 1
  done
}
xss_wait_gone() {
  wait_until 2 xss_none && return 0
  if pgrep -u "$XSS_USER" -f '^xscreensaver-gfx' >/dev/null; then
    echo "   (xscreensaver-gfx had not acted on its SIGTERM after 2 s: woken by a property change)"
    xss_nudge
  fi
  wait_until 28 xss_none
}
xss_window() { tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | sed -n 's/^XSCREENSAVER_WINDOW=//p'; }
xss_plays() {
  local fd
  for fd in /proc/"$1"/fd/*; do [ "$(readlink "$fd")" = "$XSS_HOME/audio.raw" ] && return 0; done
  return 1
}

xss_stop() {
  local _
  xss_as_user xscreensaver-command -exit >/dev/null 2>&1
  for _ in $(seq 30); do kill -0 "$XSS_PID" 2>/dev/null || break; sleep 0.1; done
  wait "$XSS_PID" 2>/dev/null
}
