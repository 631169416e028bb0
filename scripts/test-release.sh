#!/usr/bin/env bash
# Checks that every artefact carries the one version (the project() line of CMakeLists.txt) and the
# licence: the programs' --version, the .deb's fields, copyright file and changelog, the version
# resources and PE headers of the .scr and installer.exe, the MSI's ProductVersion and licence file.
#
#   scripts/test-release.sh [RELEASE_BUILD] [WINDOWS_BUILD]   (default build/release build/mingw)
#
# Prints one line per check and "N passed, N failed" at the end; exits non-zero on a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --version) echo "test-release.sh (tillands) $(sed -n 's/^project(Tillands VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)"; exit 0 ;;
esac
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh
release=${1:-build/release}
windows=${2:-build/mingw}
version=$(sed -n 's/^project(Tillands VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
maintainer=$(sed -n 's/^TL_MAINTAINER:STRING=//p' "$release/CMakeCache.txt")
passed=0
failed=0
# expect NAME ACTUAL WANTED
expect() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1)); echo "ok: $1"
  else
    failed=$((failed + 1)); echo "FAILED: $1: got '$2', expected '$3'"
  fi
}
has() {  # has NAME TEXT NEEDLE
  if [[ "$2" == *"$3"* ]]; then
    passed=$((passed + 1)); echo "ok: $1"
  else
    failed=$((failed + 1)); echo "FAILED: $1: '$3' not found"
  fi
}
tmp=$(mktemp -d "$PWD/build/test-release.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

echo "== the version $version and the licence in every artefact"
expect "tillands --version" "$("$release/shell/linux/tillands" --version)" "tillands $version"
expect "tillands --headless --version" "$("$release/shell/linux/tillands" --headless --version)" "tillands $version"
expect "tillands-assets --version" "$("$release/tools/tillands-assets" --version)" "tillands-assets $version"
expect "LICENSE is the MIT licence" "$(head -1 LICENSE)" "MIT License"
# Every script a user runs answers --version and --help (the sourced helpers are not run).
for script in scripts/*.sh; do
  name=$(basename "$script")
  case $name in lib-*.sh | build-config.sh | script-options.sh) continue ;; esac
  # (A script that did not know the options would start its work: cut short.)
  version_line=$(timeout 10 bash "$script" --version </dev/null 2>&1)
  expect "$name --version" "$version_line" "$name (tillands) $version"
  help_lines=$(timeout 10 bash "$script" --help </dev/null 2>/dev/null | wc -l)
  expect "$name --help prints its usage" "$([ "$help_lines" -ge 1 ] && echo yes || echo "no ($help_lines lines)")" yes
done

(cd "$release" && cpack -G DEB -B "$tmp/deb" >/dev/null)
deb=$(ls "$tmp"/deb/tillands_*.deb)
datadeb=$(ls "$tmp"/deb/tillands-data_*.deb)
for d in "$deb" "$datadeb"; do
  expect "$(basename "$d"): Version" "$(dpkg-deb -f "$d" Version)" "$version"
  expect "$(basename "$d"): Maintainer (TL_MAINTAINER)" "$(dpkg-deb -f "$d" Maintainer)" "$maintainer"
done
expect ".deb file names" "$(basename "$deb") $(basename "$datadeb")" \
  "tillands_${version}_amd64.deb tillands-data_${version}_all.deb"
dpkg-deb -x "$deb" "$tmp/pkg"
dpkg-deb -x "$datadeb" "$tmp/pkg"
copyright=$(cat "$tmp/pkg/usr/share/doc/tillands/copyright")
has ".deb copyright: machine-readable" "$copyright" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
has ".deb copyright: the code under Expat (MIT)" "$copyright" $'Files: *\nCopyright: 2026 The Tillands developers\nLicense: Expat'
has ".deb copyright: the world and its DejaVu glyphs" "$copyright" "License: Expat and bitstream-vera"
has ".deb copyright: the font's licence text" "$copyright" $'License: bitstream-vera\n Permission is hereby granted'
changelog=$(gzip -dc "$tmp/pkg/usr/share/doc/tillands/changelog.gz")
has ".deb changelog signed by TL_MAINTAINER" "$changelog" " -- $maintainer  "

for exe in "shell/win32/Tillands Bildschirmschoner.scr" installer/installer.exe; do
  name=$(basename "$exe")
  rc=$(x86_64-w64-mingw32-windres -i "$windows/$exe" -O rc)
  has "$name: FILEVERSION" "$rc" "FILEVERSION ${version//./, }, 0"
  has "$name: FileVersion" "$rc" "VALUE \"FileVersion\", \"$version\""
  has "$name: ProductVersion" "$rc" "VALUE \"ProductVersion\", \"$version\""
  has "$name: the licence" "$rc" "MIT License."
  expect "$name: no link time stamp" "$(x86_64-w64-mingw32-objdump -p "$windows/$exe" | sed -n 's/^Time\/Date[[:space:]]*//p')" \
    "Thu Jan  1 00:00:00 1970"
done

msi=$windows/installer/Tillands.msi
if [ -f "$msi" ]; then
  msiinfo export "$msi" Property >"$tmp/property.idt"
  expect "MSI ProductVersion" "$(awk -F'\t' '$1 == "ProductVersion" { print $2 }' "$tmp/property.idt" | tr -d '\r')" "$version"
  msiinfo export "$msi" File >"$tmp/file.idt"
  has "MSI installs LICENSE.txt" "$(cat "$tmp/file.idt")" "LICENSE.txt"
  has "MSI summary names the licence" "$(msiinfo suminfo "$msi")" "MIT-Lizenz"
else
  failed=$((failed + 1)); echo "FAILED: no MSI at $msi"
fi

echo "$passed passed, $failed failed"
[ $failed = 0 ]
