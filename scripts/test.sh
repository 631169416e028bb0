#!/usr/bin/env bash
# The test command: format check, libFuzzer harnesses for a short bounded time, the unit tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the unit tests of the release build, the Linux front
# end under Xvfb, then the Windows build (MinGW-w64) with its tests under Wine. Exits non-zero on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-5}
GEN=(-G Ninja)
# A compiler cache lets the several builds below (and later runs on the same machine) share objects.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  GEN+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
status=0

echo "== format"
bash scripts/check-format.sh || status=1

echo "== fuzz harnesses (${FUZZ_SECONDS}s each)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz "${GEN[@]}" -DTL_FUZZ=ON -DTL_BENCH=OFF -DTL_WORLD=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j"$JOBS" --target fuzzers || status=1
FUZZ_SECONDS=$FUZZ_SECONDS bash scripts/fuzz.sh build/fuzz || status=1

# Each build serves several checks: both compilers and every build type build under -Werror without
# a build of its own. The sanitizer build (and the fuzz build) use clang; the release build uses GCC
# at the Release build type (-O3, where GCC's flow-based warnings appear); the Windows build is GCC
# again (MinGW-w64). Frames of the GCC builds are compared with each other byte for byte below.
echo "== unit tests under AddressSanitizer + UndefinedBehaviorSanitizer (clang)"
CC=clang CXX=clang++ cmake -S . -B build/asan "${GEN[@]}" -DTL_SANITIZE=ON -DTL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
cmake --build build/asan -j"$JOBS" -- -k 0 || status=1
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$JOBS" || status=1

echo "== unit tests (release build, GCC, Release build type)"
cmake -S . -B build/release "${GEN[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$JOBS" -- -k 0 || status=1
ctest --test-dir build/release --output-on-failure -j"$JOBS" || status=1

echo "== Linux front end under Xvfb (window, full screen, XScreenSaver hack, capture, package)"
bash scripts/test-linux.sh build/release || status=1

# The Windows build reuses the release build's host tools for its resources and the MSI's world.
echo "== Windows build (MinGW-w64): the .scr, installer.exe and the MSI"
cmake -S . -B build/mingw "${GEN[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTL_WIN32=ON \
  -DTL_HOST_TOOLS_DIR="$PWD/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
win32_built=1
cmake --build build/mingw -j"$JOBS" -- -k 0 || { status=1; win32_built=0; }
for f in "build/mingw/shell/win32/Tillands Bildschirmschoner.scr" build/mingw/installer/installer.exe; do
  if x86_64-w64-mingw32-objdump -p "$f" 2>/dev/null | grep 'DLL Name' |
    grep -viE 'kernel32|user32|gdi32|advapi32|winmm|comctl32|shell32|msvcrt' ; then
    echo "$f imports a DLL that is not the system's"; status=1
  fi
done

echo "== Windows front end under Wine"
if [ $win32_built = 1 ]; then bash scripts/test-win32.sh build/mingw build/release || status=1; else status=1; fi

echo "== web page (WebAssembly) in headless chromium"; bash scripts/test-web.sh build/release || status=1
if [ $status -ne 0 ]; then echo "== FAILED (see above)"; fi
exit $status
