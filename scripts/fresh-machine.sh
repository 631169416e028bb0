#!/usr/bin/env bash
# Times the main job (and, with --tests, the test command after it) as a new user meets them: on a
# fresh Debian 12 made with debootstrap (minbase) in build/fresh/, as root in a chroot, from `git clone`
# of the current commit to out/demo.gif. Needs root and debootstrap; downloads Debian packages.
#
#   scripts/fresh-machine.sh [--tests | --command 'COMMAND'] [--keep]
#
# The base system is made once (build/fresh/base) and copied for every run; each run goes into
# build/fresh/run-<time>/ and its log into build/fresh/run-<time>.log. --keep keeps the run's system.
# --command runs COMMAND (bash, in the clone) instead of the main job and the test command: a look at
# the set-up, or one section of the tests on a fresh machine (e.g. --command 'bash scripts/deps.sh
# main tests && bash scripts/test-win32.sh' after the main job's build). The
# chroot gets what the test command's X servers, Wine and chromium need: /proc, /sys, /dev with
# /dev/pts and a /dev/shm of its own, a /run and a /tmp of its own, and the machine's X socket folder
# (so that a display number in use outside is seen as taken inside). They are unmounted at the end,
# also after a failure, once the processes left in the chroot are ended.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tests=0
keep=0
command=""
while [ $# -gt 0 ]; do
  arg=$1
  shift
  case $arg in
    --tests) tests=1 ;;
    --keep) keep=1 ;;
    --command)
      [ $# -gt 0 ] || { echo "fresh-machine.sh: --command needs a command" >&2; exit 1; }
      command=$1
      shift
      ;;
    -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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

# The mounts, in the order they are made; unmounted in the opposite order.
mounted=()
mount_in() {  # mount_in TARGET MOUNT-ARGUMENTS...
  local target=$run$1
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
}
# The processes still running in the chroot (an X server or a wineserver a failed test left behind):
# those this run started, found by their root directory.
chroot_pids() {
  local d
  for d in /proc/[0-9]*; do
    [ "$(readlink "$d/root" 2>/dev/null)" = "$run" ] && echo "${d#/proc/}"
  done
  return 0
}
cleanup() {
  local pids i
  set +e
  pids=$(chroot_pids)
  if [ -n "$pids" ]; then
    # shellcheck disable=SC2086
    kill $pids 2>/dev/null
    for _ in $(seq 50); do [ -z "$(chroot_pids)" ] && break; sleep 0.1; done
    pids=$(chroot_pids)
    # shellcheck disable=SC2086
    [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
  fi
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"
  done
  # The run's folder is removed only when nothing is mounted below it any more: a bound /dev or X
  # socket folder would otherwise lose the machine's own files.
  if grep -qF " $run/" /proc/mounts; then
    echo "fresh-machine.sh: something is still mounted below $run: it is left as it is" >&2
  elif [ $keep = 0 ]; then
    rm -rf "$run"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
mount_in /proc -t proc proc
mount_in /sys -t sysfs -o ro sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs -o mode=1777,nosuid,nodev shm
mount_in /run -t tmpfs -o mode=0755,nosuid,nodev run
mount_in /tmp -t tmpfs -o mode=1777,nosuid,nodev tmp
if [ -d /tmp/.X11-unix ]; then mount_in /tmp/.X11-unix --bind /tmp/.X11-unix; fi

# Where this machine reaches the network through a proxy that signs with a certificate of its own
# (named by NODE_EXTRA_CA_CERTS), node in the chroot trusts it too: npm fetches the browser tests'
# puppeteer-core over HTTPS. The chroot's own trust list is Debian's, as on a new machine.
extra_ca=()
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
  cp "$NODE_EXTRA_CA_CERTS" "$run/root/host-ca.crt"
  extra_ca=(NODE_EXTRA_CA_CERTS=/root/host-ca.crt)
fi

echo "== running in the chroot (log: $log)"
chroot "$run" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 TESTS=$tests COMMAND="$command" \
  "${extra_ca[@]}" \
  bash -c '
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# What the new user has before the clone: git.
apt-get update -qq && apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null
dpkg-query -W -f="\${binary:Package}\n" | sort >/tmp/packages-before
t0=$(date +%s)
git clone -q /root/tillands.bundle /root/tillands
cd /root/tillands
if [ -n "$COMMAND" ]; then
  echo "== running: $COMMAND"
  status=0
  bash -c "$COMMAND" || status=$?
  echo "== the command ended with status $status"
  exit "$status"
fi
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
