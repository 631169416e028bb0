#!/usr/bin/env bash
# Builds every artefact of a release into dist/ with a SHA256SUMS file, and prints where each lies:
#   dist/tillands_<version>_amd64.deb          the Linux saver and the XScreenSaver hack
#   dist/tillands-data_<version>_all.deb       the demo world for them
#   dist/data_v.dat                            the demo world, packed
#   dist/Tillands Bildschirmschoner.scr        the Windows screensaver
#   dist/installer.exe                         hands the installed .scr to the shell
#   dist/Tillands.msi                          both, with the demo world, for Windows Installer
#   dist/web/                                  the web page (a static site; scripts/build-web.sh)
#
#   scripts/release.sh           build into dist/ (release build directories build/dist-*)
#   scripts/release.sh --check   besides, build everything twice more from scratch, without the compiler
#                                cache, in two other directories, and compare with dist/ byte for byte
#
# Two builds of one commit give the same bytes: the packages carry the time of the last commit
# (SOURCE_DATE_EPOCH), no build path and no random identifier. Check a download with
#   sha256sum --check --ignore-missing SHA256SUMS
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/script-options.sh
source scripts/script-options.sh
check=0
case "${1:-}" in
  --check) check=1 ;;
  *) tl_common_option "$0" "${1:-}" ;;
esac
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh
JOBS=${JOBS:-$(nproc)}
step() { echo "== [${SECONDS} s] $*"; }

if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release.sh: note: the work tree has uncommitted changes; the artefacts are not those of the commit"
fi
step "packages (scripts/deps.sh main tests release)"
bash scripts/deps.sh main tests $([ $check = 1 ] && echo release)

linux=build/dist-linux
mingw=build/dist-mingw
web=build/dist-web
step "Linux build in $linux (the .debs and data_v.dat)"
cmake -S . -B "$linux" "${RELEASE_CONFIG[@]}" -DTL_TESTS=OFF -DTL_BENCH=OFF >/dev/null
cmake --build "$linux" -j"$JOBS" --target tillands tillands-assets tl_world_archive tl_linux_docs
rm -f "$linux"/tillands*.deb
(cd "$linux" && cpack -G DEB >/dev/null)
step "Windows build in $mingw (the .scr, installer.exe and the MSI)"
cmake -S . -B "$mingw" "${RELEASE_CONFIG[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTL_WIN32=ON -DTL_HOST_TOOLS_DIR="$PWD/$linux" >/dev/null
cmake --build "$mingw" -j"$JOBS"
step "web page build in $web (dist/web)"
HOST_TOOLS_DIR=$linux bash scripts/build-web.sh "$web" dist/web >/dev/null

step "dist/ and SHA256SUMS"
mkdir -p dist
files=("$(ls "$linux"/tillands_*.deb)" "$(ls "$linux"/tillands-data_*.deb)" "$linux/world-archive/tillands/data_v.dat"
  "$mingw/shell/win32/Tillands Bildschirmschoner.scr" "$mingw/installer/installer.exe"
  "$mingw/installer/Tillands.msi")
names=()
for f in "${files[@]}"; do
  name=$(basename "$f")
  cp "$f" "dist/.$name.tmp"
  mv "dist/.$name.tmp" "dist/$name"
  names+=("$name")
done
for f in dist/web/*; do names+=("web/$(basename "$f")"); done
(cd dist && sha256sum "${names[@]}" >.SHA256SUMS.tmp && mv .SHA256SUMS.tmp SHA256SUMS)
for name in "${names[@]}" SHA256SUMS; do
  printf '  %-40s %9d bytes\n' "$PWD/dist/$name" "$(stat -c %s "dist/$name")"
done
cat dist/SHA256SUMS

if [ $check = 1 ]; then
  step "two more builds from scratch, compared with each other and with dist/"
  status=0
  bash scripts/reproducible.sh --full || status=1
  for name in "${names[@]}"; do
    if ! cmp -s "dist/$name" "build/repro/first/$name"; then
      echo "release.sh: dist/$name differs from the build from scratch"
      status=1
    fi
  done
  [ $status = 0 ] && step "reproducible: every artefact of dist/ built again gives the same bytes"
  exit $status
fi
