#!/usr/bin/env bash
# The test command: format check; one clang build with AddressSanitizer + UndefinedBehaviorSanitizer
# that serves both the libFuzzer harnesses (each replays its corpus and fuzzes briefly) and the unit
# tests; the release build (the main job's, reused: same directory, same configuration) with its unit
# tests; the Linux front end under Xvfb; the Windows build (MinGW-w64) with its tests under Wine; and
# the reproducibility check (a second build of the .deb, data_v.dat, the .scr and installer.exe in
# other directories gives the same bytes). Every section prints its time at its end. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/script-options.sh
source scripts/script-options.sh
tl_common_option "$0" "${1:-}"
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh

JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-4}
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

section "packages (scripts/deps.sh main tests)"
bash scripts/deps.sh main tests

section "format"
bash scripts/check-format.sh || status=1

# Each build serves several checks: both compilers and every build type build under -Werror without
# a build of its own. The sanitizer build uses clang (and carries the fuzz harnesses); the release
# build uses GCC at the Release build type (-O3, where GCC's flow-based warnings appear); the Windows
# build is GCC again (MinGW-w64). Frames of the GCC builds are compared with each other byte for byte
# below.
section "sanitizer build (clang, ASan + UBSan, unit tests and fuzz harnesses)"
CC=clang CXX=clang++ cmake -S . -B build/asan -G Ninja -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DTL_SANITIZE=ON -DTL_FUZZ=ON -DTL_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
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

section "Linux front end under Xvfb (window, full screen, XScreenSaver hack, capture, package)"
bash scripts/test-linux.sh build/release || status=1

section "several monitors on Xorg's dummy driver"
bash scripts/test-monitors.sh build/release || status=1

# The Windows build reuses the release build's host tools for its resources and the MSI's world.
section "Windows build (MinGW-w64): the .scr, installer.exe and the MSI"
cmake -S . -B build/mingw "${RELEASE_CONFIG[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTL_WIN32=ON -DTL_HOST_TOOLS_DIR="$PWD/build/release" >/dev/null
win32_built=1
cmake --build build/mingw -j"$JOBS" -- -k 0 || { status=1; win32_built=0; }
for f in "build/mingw/shell/win32/Tillands Bildschirmschoner.scr" build/mingw/installer/installer.exe; do
  if x86_64-w64-mingw32-objdump -p "$f" 2>/dev/null | grep 'DLL Name' |
    grep -viE 'kernel32|user32|gdi32|advapi32|winmm|comctl32|shell32|msvcrt' ; then
    echo "$f imports a DLL that is not the system's"; status=1
  fi
done

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
