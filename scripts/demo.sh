#!/usr/bin/env bash
# The main job: builds the release tree and shows what the toolkit can do. As the renderer and the
# demo world land this grows into rendering the demo (an animated GIF and a contact sheet in out/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$(nproc)"
mkdir -p out
if [ -x build/release/shell/headless/tillands ] && [ -f build/release/world/Tillands/DATA_V/VE_Graphics/BobManager/Screensaver_Packed.bmd ]; then
  build/release/shell/headless/tillands --headless --data build/release/world/Tillands --seed 7 \
    --size 640x480 --seconds 40 --gif out/demo.gif --every 2
  echo "wrote out/demo.gif"
else
  build/release/tools/tillands-assets --help
fi
