#!/usr/bin/env bash
# Builds the artefacts a second time in other directories and compares them byte for byte with the
# first build: two builds of one commit must give the same bytes. A difference is explained by
# diffoscope when it is installed (scripts/deps.sh release), else by cmp; the report lies in
# build/repro/.
#
#   scripts/reproducible.sh --quick   (the test command) the first build is build/release and
#                                     build/mingw as they stand; the second (build/second-*) is made
#                                     with the compiler cache; compared: the .debs, data_v.dat, the
#                                     .scr, installer.exe
#   scripts/reproducible.sh --full    (release.sh --check) both builds from scratch, without the
#                                     compiler cache, one after the other in two differently named
#                                     directories; compared: every artefact of dist/, the web page's
#                                     files included
#
# Either way no artefact may hold the path of the directory it was built in.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=""
case "${1:-}" in
  --quick | --full) mode=${1#--} ;;
  -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --version) echo "reproducible.sh (tillands) $(sed -n 's/^project(Tillands VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)"; exit 0 ;;
  *) echo "reproducible.sh: give --quick or --full (see --help)" >&2; exit 1 ;;
esac
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh
JOBS=${JOBS:-$(nproc)}
work=$PWD/build/repro
mkdir -p "$work"

# quiet COMMAND...: runs it with its output in build/repro/last.log, shown only when it fails.
quiet() {
  "$@" >"$work/last.log" 2>&1 || { tail -30 "$work/last.log"; echo "reproducible: failed: $*"; return 1; }
}

# build LINUX_DIR MINGW_DIR OUT_DIR FULL: the artefacts of one build, copied into OUT_DIR; with FULL
# the web page too, built in LINUX_DIR/../web into OUT_DIR/web.
build() {
  local linux=$1 mingw=$2 out=$3 full=$4
  local extra=(-DTL_TESTS=OFF -DTL_BENCH=OFF)
  local win_targets=(tillands_scr installer)
  [ "$full" = 1 ] && win_targets=(all)
  echo "reproducible: building in $linux and $mingw"
  cmake -S . -B "$linux" "${RELEASE_CONFIG[@]}" "${extra[@]}" >/dev/null
  quiet cmake --build "$linux" -j"$JOBS" --target tillands tillands-assets tl_world_archive tl_linux_docs
  rm -f "$linux"/tillands*.deb
  (cd "$linux" && cpack -G DEB >/dev/null)
  cmake -S . -B "$mingw" "${RELEASE_CONFIG[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DTL_WIN32=ON -DTL_HOST_TOOLS_DIR="$linux" >/dev/null
  quiet cmake --build "$mingw" -j"$JOBS" --target "${win_targets[@]}"
  collect "$linux" "$mingw" "$out" "$full"
  if [ "$full" = 1 ]; then
    echo "reproducible: building the web page in $(dirname "$linux")/web"
    HOST_TOOLS_DIR=$linux quiet bash scripts/build-web.sh "$(dirname "$linux")/web" "$out/web"
  fi
}

# collect LINUX_DIR MINGW_DIR OUT_DIR FULL: copies the artefacts of a build into OUT_DIR.
collect() {
  local linux=$1 mingw=$2 out=$3 full=$4
  rm -rf "$out" && mkdir -p "$out"
  cp "$linux"/tillands_*.deb "$linux"/tillands-data_*.deb "$out/"
  cp "$linux/world-archive/tillands/data_v.dat" "$out/"
  cp "$mingw/shell/win32/Tillands Bildschirmschoner.scr" "$mingw/installer/installer.exe" "$out/"
  if [ "$full" = 1 ]; then cp "$mingw/installer/Tillands.msi" "$out/"; fi
}

if [ "$mode" = quick ]; then
  # The first build is the test command's; its package is made again here with the same time stamp.
  rm -f build/release/tillands*.deb
  (cd build/release && cpack -G DEB >/dev/null)
  collect "$PWD/build/release" "$PWD/build/mingw" "$work/first" 0
  # Other names at the same depth as build/release and build/mingw: the compiler cache, which keys
  # on paths relative to the build directory, serves the second build too.
  build "$PWD/build/second-release" "$PWD/build/second-mingw" "$work/second" 0
  dirs=("$PWD/build/release" "$PWD/build/mingw" "$PWD/build/second-release" "$PWD/build/second-mingw")
else
  # From scratch: nothing of an earlier run's trees, and no compiler cache that could hand the second
  # build the first one's objects (and with them hide a build path compiled into one).
  export CCACHE_DISABLE=1
  rm -rf "$work/a" "$work/second-build"
  build "$work/a/linux" "$work/a/mingw" "$work/first" 1
  build "$work/second-build/linux" "$work/second-build/mingw" "$work/second" 1
  dirs=("$work/a" "$work/second-build")
fi

status=0
shopt -s nullglob
for first in "$work/first"/* "$work/first"/web/*; do
  [ -f "$first" ] || continue
  name=${first#"$work/first/"}
  second="$work/second/$name"
  if cmp -s "$first" "$second"; then
    echo "reproducible: $name: the same bytes ($(stat -c %s "$first") bytes)"
  else
    status=1
    report="$work/diff-${name//[ \/]/_}.txt"
    if command -v diffoscope >/dev/null; then
      diffoscope --text "$report" "$first" "$second" >/dev/null 2>&1 || true
    else
      cmp -l "$first" "$second" 2>&1 | head -50 >"$report" || true
    fi
    echo "reproducible: $name: DIFFERS (report: $report)"
    head -30 "$report"
  fi
done

# No build path inside: the Linux program (unpacked from the package) and the Windows programs.
unpacked=$work/unpacked
rm -rf "$unpacked" && mkdir -p "$unpacked"
dpkg-deb -x "$work"/first/tillands_*.deb "$unpacked"
for dir in "${dirs[@]}" "$PWD"; do
  if found=$(grep -rlaF "$dir" "$unpacked" "$work/first"/*.exe "$work/first"/*.scr "$work/first"/web 2>/dev/null); then
    echo "reproducible: the path $dir lies inside: $found"
    status=1
  fi
done
[ $status = 0 ] && echo "reproducible: every artefact the same in both builds, no build path inside"
exit $status
