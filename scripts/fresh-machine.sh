#!/usr/bin/env bash
# Times the main job (and, with --tests, the test command after it) as a new user meets them: on a
# fresh Debian 12 made with debootstrap (minbase) in build/fresh/, as root in a chroot, from `git clone`
# of the current commit to out/demo.gif. Needs root and debootstrap; downloads Debian packages.
#
#   scripts/fresh-machine.sh [--tests] [--keep]
#
# The base system is made once (build/fresh/base) and copied for every run; each run goes into
# build/fresh/run-<time>/ and its log into build/fresh/run-<time>.log. --keep keeps the run's system.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tests=0
keep=0
for arg in "$@"; do
  case $arg in
    --tests) tests=1 ;;
    --keep) keep=1 ;;
    -h | --help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    --version) echo "fresh-machine.sh (tillands) $(sed -n 's/^project(Tillands VERSION \([^ ]*\).*/\1/p' "$root/CMakeLists.txt")"; exit 0 ;;
    *) echo "fresh-machine.sh: unknown option '$arg' (see --help)" >&2; exit 1 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine.sh: needs root (debootstrap, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "fresh-machine.sh: needs debootstrap (apt-get install debootstrap)" >&2; exit 1; }

work=$root/build/fresh
mkdir -p "$work"
if [ ! -x "$work/base/bin/bash" ]; then
  echo "== making the base system (debootstrap --variant=minbase bookworm)"
  rm -rf "$work/base.tmp"
  debootstrap --variant=minbase bookworm "$work/base.tmp" >"$work/debootstrap.log" 2>&1
  mv "$work/base.tmp" "$work/base"
fi

stamp=$(date +%Y%m%d-%H%M%S)
run=$work/run-$stamp
log=$work/run-$stamp.log
echo "== copying the base system to $run"
cp -a "$work/base" "$run"
git -C "$root" bundle create "$run/root/tillands.bundle" HEAD 2>/dev/null
mount -t proc proc "$run/proc"
cleanup() {
  umount "$run/proc" 2>/dev/null || true
  [ $keep = 1 ] || rm -rf "$run"
}
trap cleanup EXIT

echo "== running in the chroot (log: $log)"
chroot "$run" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 TESTS=$tests \
  bash -c '
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# What the new user has before the clone: git.
apt-get update -qq && apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null
dpkg-query -W -f="\${binary:Package}\n" | sort >/tmp/packages-before
t0=$(date +%s)
git clone -q /root/tillands.bundle /root/tillands
cd /root/tillands
# Every line of the main job with the seconds since the clone began.
bash scripts/demo.sh 2>&1 | while IFS= read -r line; do printf "[%4d s] %s\n" $(($(date +%s) - t0)) "$line"; done
t1=$(date +%s)
echo "== fresh machine: clone to out/demo.gif: $(($(stat -c %Y out/demo.gif) - t0)) s"
echo "== fresh machine: clone to the end of the main job: $((t1 - t0)) s"
dpkg-query -W -f="\${binary:Package}\n" | sort >/tmp/packages-after
echo "== packages the main job installed (with their dependencies): $(comm -13 /tmp/packages-before /tmp/packages-after | wc -l)"
if [ "$TESTS" = 1 ]; then
  bash scripts/test.sh || echo "== test command failed"
  t2=$(date +%s)
  echo "== fresh machine: test command after the main job: $((t2 - t1)) s"
fi
' 2>&1 | tee "$log" | grep -E '^(\[ *[0-9]+ s\] )?==' || true
echo "== log: $log"
