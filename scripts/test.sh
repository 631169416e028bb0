#!/usr/bin/env bash
# The test command: format check; one clang build with AddressSanitizer + UndefinedBehaviorSanitizer
# that serves both the libFuzzer harnesses (each replays its corpus and fuzzes briefly) and the unit
# tests; the release build (the main job's, reused: same directory, same configuration) with its unit
# tests; the Linux front end under Xvfb; the Windows build (MinGW-w64) with its tests under Wine; and
# the reproducibility check (a second build of the .deb, data_v.dat, the .scr and installer.exe in
# other directories gives the same bytes). Every section prints its time at its end. On two cores the
# time goes to the builds: what needs a core but no screen (the test packages, the Windows build, the
# Wine prefix) runs beside sections that mostly wait, and its section is printed when it is joined.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/script-options.sh
source scripts/script-options.sh
tl_common_option "$0" "${1:-}"
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh

JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-2}
status=0
section_name=""
section_start=$SECONDS
# Ends the running section with its time and starts the next one.
section() {
  [ -n "$section_name" ] && echo "== $section_name: $((SECONDS - section_start)) s"
  section_name=$1
  section_start=$SECONDS
  [ -n "$section_name" ] && echo "== $section_name"
  return 0
}

# Work beside the tests: a build or a set-up that needs a core while tests that mostly wait (the X
# servers, the package manager, Wine) run. Its output goes to a log under build/, printed with its
# time when it is joined, where its section would have stood.
declare -A beside_pid beside_log beside_title
beside() {  # beside KEY TITLE COMMAND...: starts COMMAND in the background
  local key=$1 title=$2
  shift 2
  mkdir -p build
  beside_log[$key]=build/test-$key.log
  beside_title[$key]=$title
  ( start=$SECONDS; rc=0; "$@" || rc=$?; echo "(${title}: $((SECONDS - start)) s, beside the sections above)"; exit $rc ) \
    >"${beside_log[$key]}" 2>&1 &
  beside_pid[$key]=$!
}
join_beside() {  # join_beside KEY: waits for it in a section of its own, prints its output
  local key=$1
  section "${beside_title[$key]}"
  beside_status=0
  wait "${beside_pid[$key]}" || beside_status=$?
  cat "${beside_log[$key]}"
  return $beside_status
}
# Nothing started here outlives the test command.
trap 'wait 2>/dev/null' EXIT

section "packages for the builds (scripts/deps.sh main tests-build)"
bash scripts/deps.sh main tests-build
# The rest (X servers, Wine, MinGW-w64, emscripten, chromium, …) downloads and unpacks while the
# sanitizer and release builds run.
beside packages "packages for the other tests (scripts/deps.sh tests)" bash scripts/deps.sh main tests

section "format"
bash scripts/check-format.sh || status=1

# Each build serves several checks: both compilers and every build type build under -Werror without
# a build of its own. The sanitizer build uses clang (and carries the fuzz harnesses); the release
# build uses GCC at the Release build type (-O3, where GCC's flow-based warnings appear); the Windows
# build is GCC again (MinGW-w64). Frames of the GCC builds are compared with each other byte for byte
# below.
section "sanitizer build (clang, ASan + UBSan, unit tests and fuzz harnesses)"
# Line tables are all the sanitizers' reports need (file, line, function, inlined frames); full
# debug information made every object a fifth slower to compile. The libraries and the tools compile
# in batches of files here (the tests do everywhere): instrumented, each file's share of common inline
# code cost more than its own code. The shipped builds keep one object per file. Only the code the
# fuzzers run carries their coverage instrumentation, and the suites' own code compiles unoptimised.
CC=clang CXX=clang++ cmake -S . -B build/asan -G Ninja -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DTL_SANITIZE=ON -DTL_FUZZ=ON -DTL_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-gline-tables-only -O1" -DCMAKE_UNITY_BUILD=ON >/dev/null
# Without the cache's precompiled-header sloppiness here: clang records the times of the headers in
# its precompiled header and refuses it once they differ, as they would for one the cache restored
# into a fresh build directory.
env -u CCACHE_SLOPPINESS cmake --build build/asan -j"$JOBS" -- -k 0 || status=1

section "fuzz harnesses (corpus replayed, then ${FUZZ_SECONDS} s of fuzzing each)"
FUZZ_SECONDS=$FUZZ_SECONDS bash scripts/fuzz.sh build/asan || status=1

section "unit tests under AddressSanitizer + UndefinedBehaviorSanitizer (clang)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$JOBS" || status=1

section "release build (GCC, Release build type; the main job's build, reused)"
cmake -S . -B build/release "${RELEASE_CONFIG[@]}" >/dev/null
cmake --build build/release -j"$JOBS" -- -k 0 || status=1

section "unit tests (release build)"
ctest --test-dir build/release --output-on-failure -j"$JOBS" || status=1

join_beside packages || status=1

# The Windows build and the Wine prefix need cores while the Linux tests mostly wait for their X
# servers. The Windows build reuses the release build's host tools for its resources and the MSI's
# world.
windows_build() {
  local rc=0 f
  cmake -S . -B build/mingw "${RELEASE_CONFIG[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DTL_WIN32=ON -DTL_HOST_TOOLS_DIR="$PWD/build/release" >/dev/null || return 1
  cmake --build build/mingw -j"$JOBS" -- -k 0 || return 1
  # 2 from here on: built, but not as it should be.
  for f in "build/mingw/shell/win32/Tillands Bildschirmschoner.scr" build/mingw/installer/installer.exe; do
    if x86_64-w64-mingw32-objdump -p "$f" 2>/dev/null | grep 'DLL Name' |
      grep -viE 'kernel32|user32|gdi32|advapi32|winmm|comctl32|shell32|msvcrt'; then
      echo "$f imports a DLL that is not the system's"
      rc=2
    fi
  done
  return $rc
}
beside windows "Windows build (MinGW-w64): the .scr, installer.exe and the MSI" windows_build
beside wineprefix "the Wine prefix and the locales of the Windows tests" bash scripts/test-win32.sh --prepare
# The web page's build (emscripten builds its own system libraries on a new machine); its tests below
# find it built.
beside web "web page build (WebAssembly)" env HOST_TOOLS_DIR=build/release bash scripts/build-web.sh build/web

section "Linux front end under Xvfb (window, full screen, XScreenSaver hack, capture, package)"
bash scripts/test-linux.sh build/release || status=1

section "several monitors on Xorg's dummy driver"
bash scripts/test-monitors.sh build/release || status=1

win32_built=1
join_beside windows || { status=1; [ $beside_status = 2 ] || win32_built=0; }
join_beside wineprefix || status=1
# Joined before the Windows tests, which measure the saver's frame rate.
join_beside web || status=1

section "Windows front end under Wine"
if [ $win32_built = 1 ]; then bash scripts/test-win32.sh build/mingw build/release || status=1; else status=1; fi

section "web page (WebAssembly) in headless chromium"
bash scripts/test-web.sh build/release || status=1

section "the version and the licence in every artefact"
bash scripts/test-release.sh build/release build/mingw || status=1

section "reproducible artefacts (a second build in other directories: .debs, data_v.dat, .scr, installer.exe)"
bash scripts/reproducible.sh --quick || status=1

section ""
echo "== total: $SECONDS s"
if [ $status -ne 0 ]; then echo "== FAILED (see above)"; fi
exit $status
