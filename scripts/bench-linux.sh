#!/usr/bin/env bash
# CPU use of the Linux saver beside XScreenSaver's 2D hacks, counting the X server's share too, and
# the saver's start to first frame. Not part of the tests: the figures depend on the machine and its
# load.
#
# For each size (SIZES, default 1920x1080) on an Xvfb of its own (displays 90..99): our full-screen
# saver, our hack path (--root on the root window, as XScreenSaver runs it) and every installed hack
# of PEERS (run with -root), each for SECONDS (default 20) after SETTLE seconds of start-up (default
# 2). The programs take turns, REPEAT rounds (default 3), so that each sees the same load; the table
# holds the medians of the rounds: the program's CPU, the X server's CPU over the same time, and the
# total, in % of one core. The CPU times come from the scheduler (/proc/PID/task/*/schedstat, in
# nanoseconds), not from the 10 ms ticks of /proc/PID/stat.
# BASELINE, when set, names another tillands program (an older build, say) that takes its turns
# beside ours in the same rounds, full screen and as a hack, so that both see the same load.
# Then bench_startup measures start to first frame from caches, full screen and as a hack
# (STARTS runs each, default 10).
#
#   scripts/bench-linux.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib-xserver.sh
source scripts/lib-xserver.sh
case "${1:-}" in
  -h | --help)
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  --version)
    echo "bench-linux.sh (tillands) $(sed -n 's/^project(Tillands VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
    exit 0
    ;;
esac
BUILD=$(cd "${1:-build/release}" && pwd)
T=$BUILD/shell/linux/tillands
STARTUP=$BUILD/bench/bench_startup
WORLD=$BUILD/world/Tillands
SECONDS_TO_RUN=${SECONDS_TO_RUN:-20}
SETTLE=${SETTLE:-2}
REPEAT=${REPEAT:-3}
STARTS=${STARTS:-10}
SIZES=${SIZES:-"1920x1080"}
PEERS=${PEERS:-"deco popsquares shadebobs penrose swirl abstractile galaxy hexadrop fuzzyflakes binaryring"}
BASELINE=${BASELINE:-}
for f in "$T" "$STARTUP" "$WORLD" ${BASELINE:+"$BASELINE"}; do
  [ -e "$f" ] || { echo "bench-linux.sh: missing $f (build the release tree first)" >&2; exit 1; }
done
export SDL_AUDIODRIVER=dummy
TMP=$(mktemp -d /tmp/tillands-bench.XXXXXX)
export XDG_CONFIG_HOME=$TMP/config
XVFB=
RUNNING=
cleanup() {
  [ -n "$RUNNING" ] && kill "$RUNNING" 2>/dev/null
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT

HACKDIR=
for d in /usr/libexec/xscreensaver /usr/lib/xscreensaver; do [ -d "$d" ] && { HACKDIR=$d; break; }; done

# Nanoseconds on the CPU of every thread of a process so far.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'; }

# Runs one program on the display for the measured time; prints "saver% server%".
measure() {
  "$@" >/dev/null 2>&1 &
  RUNNING=$!
  sleep "$SETTLE"  # start-up (static data, the hack's set-up) is not part of the steady state
  if ! kill -0 "$RUNNING" 2>/dev/null; then
    RUNNING=
    echo "- -"
    return
  fi
  local c0 x0 t0 c1 x1 t1
  c0=$(cpu_ns "$RUNNING") x0=$(cpu_ns "$XVFB") t0=$(date +%s%N)
  sleep "$SECONDS_TO_RUN"
  c1=$(cpu_ns "$RUNNING") x1=$(cpu_ns "$XVFB") t1=$(date +%s%N)
  kill -TERM "$RUNNING" 2>/dev/null
  wait "$RUNNING" 2>/dev/null || true
  RUNNING=
  awk -v c=$((c1 - c0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.3f %.3f\n", 100 * c / t, 100 * x / t }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
for size in $SIZES; do
  x_server_start 90 99 Xvfb -screen 0 "${size}x24" -nolisten tcp || exit 1
  XVFB=$X_SERVER_PID
  export DISPLAY=$X_SERVER_DISPLAY

  # Each command is kept quoted (printf %q) and taken apart again by eval, so that a path with
  # spaces (BASELINE, the build directory) stays one argument.
  names=("tillands, full screen" "tillands --root (hack path)")
  commands=("$(printf '%q ' "$T" --data "$WORLD" --fps 12 --sound off)"
    "$(printf '%q ' "$T" --root --data "$WORLD" --fps 12 --sound off)")
  if [ -n "$BASELINE" ]; then
    names+=("baseline, full screen" "baseline --root (hack path)")
    commands+=("$(printf '%q ' "$BASELINE" --data "$WORLD" --fps 12 --sound off)"
      "$(printf '%q ' "$BASELINE" --root --data "$WORLD" --fps 12 --sound off)")
  fi
  for p in $PEERS; do
    [ -n "$HACKDIR" ] && [ -x "$HACKDIR/$p" ] || continue
    names+=("XScreenSaver $p")
    commands+=("$(printf '%q ' "$HACKDIR/$p" -root)")
  done
  : >"$TMP/rounds"
  for round in $(seq "$REPEAT"); do
    for k in "${!names[@]}"; do
      echo "  $size round $round/$REPEAT: ${names[$k]}" >&2
      echo "$k $(eval "measure ${commands[$k]}")" >>"$TMP/rounds"
    done
  done
  echo
  echo "$size, $SECONDS_TO_RUN s each, medians of $REPEAT rounds (CPU in % of one core):"
  printf '%-34s %8s %8s %8s\n' program saver "X server" total
  for k in "${!names[@]}"; do
    saver=$(awk -v k="$k" '$1 == k && $2 != "-" { print $2 }' "$TMP/rounds" | median)
    server=$(awk -v k="$k" '$1 == k && $3 != "-" { print $3 }' "$TMP/rounds" | median)
    total=$(awk -v k="$k" '$1 == k && $2 != "-" { print $2 + $3 }' "$TMP/rounds" | median)
    printf '%-34s %7s%% %7s%% %7s%%\n' "${names[$k]}" "$saver" "$server" "$total"
  done

  echo
  echo "$size, start to first frame from caches ($STARTS starts after 2 to warm up):"
  printf '  full screen: '
  "$STARTUP" --runs "$STARTS" -- "$T" --data "$WORLD" --sound off | tail -1
  printf '  hack (--root): '
  "$STARTUP" --runs "$STARTS" -- "$T" --root --data "$WORLD" --sound off | tail -1

  kill "$XVFB"
  wait "$XVFB" 2>/dev/null || true
  XVFB=
done
echo "machine: load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
