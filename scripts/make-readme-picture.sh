#!/usr/bin/env bash
# Makes docs/tillands.gif, the README's picture, with the project's own headless renderer: seconds 72
# to 80 of a run with seed 7 at 400x300 (workers put up a house while villagers walk by), every
# second frame. The same commit always gives the same picture. Builds what it needs in the release
# build (scripts/build-config.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/script-options.sh
source scripts/script-options.sh
tl_common_option "$0" "${1:-}"
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh
echo "== building the Linux program and the demo world in build/release"
cmake -S . -B build/release "${RELEASE_CONFIG[@]}" >/dev/null
cmake --build build/release -j"$(nproc)" --target tillands tl_world_data >/dev/null
echo "== rendering docs/tillands.gif"
mkdir -p docs
tmp=docs/.tillands.gif.tmp
rm -f "$tmp"
build/release/shell/linux/tillands --headless --data build/release/world/Tillands --seed 7 --size 400x300 \
  --from 72 --seconds 80 --every 2 --gif "$PWD/$tmp" --quiet 2>/dev/null
size=$(stat -c %s "$tmp")
if [ "$size" -ge 1000000 ]; then
  echo "make-readme-picture.sh: the picture has $size bytes, more than the README's 1 MB" >&2
  rm -f "$tmp"
  exit 1
fi
mv "$tmp" docs/tillands.gif
echo "== docs/tillands.gif: $size bytes"
