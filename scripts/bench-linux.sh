#!/usr/bin/env bash
# CPU use of the full-screen Linux saver: runs it on an Xvfb of each size for SECONDS (default 60) at
# 12 frames per second and reports the process's CPU time (user + system) per second of run.
# Not part of the tests: the figures depend on the machine and its load.
#
#   scripts/bench-linux.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:-build/release}" && pwd)
T=$BUILD/shell/linux/tillands
WORLD=$BUILD/world/Tillands
SECONDS_TO_RUN=${SECONDS_TO_RUN:-60}
SIZES=${SIZES:-"1920x1080 3840x2160"}
export SDL_AUDIODRIVER=dummy
TMP=$(mktemp -d /tmp/tillands-bench.XXXXXX)
export XDG_CONFIG_HOME=$TMP/config
XVFB=
cleanup() {
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

for size in $SIZES; do
  display=
  for n in 59 58 57 56 55; do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB=$!
    for i in $(seq 50); do xdpyinfo -display :$n >/dev/null 2>&1 && { display=:$n; break; }; sleep 0.1; done
    [ -n "$display" ] && break
  done
  [ -n "$display" ] || { echo "no Xvfb display"; exit 1; }
  DISPLAY=$display "$T" --data "$WORLD" --fps 12 --sound off &
  pid=$!
  sleep 2  # start-up (static data) is not part of the steady state
  start_cpu=$(cpu_ticks $pid)
  start=$(date +%s%N)
  sleep "$SECONDS_TO_RUN"
  end_cpu=$(cpu_ticks $pid)
  end=$(date +%s%N)
  kill -TERM $pid
  wait $pid || true
  kill "$XVFB"
  wait "$XVFB" 2>/dev/null || true
  XVFB=
  awk -v c=$((end_cpu - start_cpu)) -v t="$ticks" -v ns=$((end - start)) -v size="$size" 'BEGIN {
    s = ns / 1e9; cpu = c / t;
    printf "%s: %.1f s CPU in %.1f s = %.1f ms per second (%.2f %% of one core)\n", size, cpu, s, 1000 * cpu / s, 100 * cpu / s }'
done
