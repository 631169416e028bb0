#!/usr/bin/env bash
# The main job: builds the release tree (which generates the demo world), renders the demo with the
# headless front end and writes into out/:
#   out/demo.gif          the first 90 simulated seconds at 640x480 (intro, big logo, first scenes)
#   out/demo-sheet.png    a contact sheet of frames from 20 simulated minutes at 1280x720
#   out/packed-bobs.png   a contact sheet of the screensaver's packed bob library
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$(nproc)"

tillands=build/release/shell/linux/tillands
assets=build/release/tools/tillands-assets
world=build/release/world/Tillands
mkdir -p out
rm -rf out/frames && mkdir -p out/frames

echo "== rendering out/demo.gif"
"$tillands" --headless --data "$world" --seed 7 --size 640x480 --seconds 90 --every 2 --gif out/demo.gif

echo "== rendering frames for out/demo-sheet.png"
# One frame every 100 s of simulated time (1200 frames at 12 fps), from a 20-minute run.
"$tillands" --headless --data "$world" --seed 7 --size 1280x720 --seconds 1200 --every 1200 --png out/frames
"$assets" frame-sheet out/demo-sheet.png out/frames/*.png --columns 4 --shrink 4

echo "== contact sheet of the packed bob library"
"$assets" contact-sheet "$world/DATA_V/VE_Graphics/BobManager/Screensaver_Packed.bmd" out/packed-bobs.png

echo "== done: out/demo.gif, out/demo-sheet.png, out/packed-bobs.png"
