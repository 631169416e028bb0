#!/usr/bin/env bash
# Builds every Windows artefact with MinGW-w64 and puts them into dist/:
#   dist/Tillands Bildschirmschoner.scr   the screensaver
#   dist/installer.exe                    hands the installed .scr to the shell's "install" verb
#   dist/Tillands.msi                     both, with the demo world, for Windows Installer
#
#   scripts/build-windows.sh [BUILD_DIR]          (default build/mingw)
#
# The resources and the demo world come from the native tillands-assets: with HOST_TOOLS_DIR set to a
# native build directory that has it (e.g. build/release) that one is used; otherwise the build makes
# its own in BUILD_DIR/host-tools first. Needs g++-mingw-w64-x86-64 and wixl (scripts/deps.sh).
set -euo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
case "${1:-}" in -*) tl_common_option "$0" "$1" ;; esac
cd "$(dirname "$0")/.."
BUILD=${1:-build/mingw}
JOBS=${JOBS:-$(nproc)}
args=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTL_WIN32=ON -DCMAKE_BUILD_TYPE=Release)
[ -n "${HOST_TOOLS_DIR:-}" ] && args+=(-DTL_HOST_TOOLS_DIR="$(realpath "$HOST_TOOLS_DIR")")
command -v ccache >/dev/null && args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD" -G Ninja "${args[@]}" >/dev/null
cmake --build "$BUILD" -j"$JOBS"
mkdir -p dist
for f in "shell/win32/Tillands Bildschirmschoner.scr" installer/installer.exe installer/Tillands.msi; do
  name=$(basename "$f")
  cp "$BUILD/$f" "dist/.$name.tmp"
  mv "dist/.$name.tmp" "dist/$name"
done
ls -l dist
