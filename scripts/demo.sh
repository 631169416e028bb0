#!/usr/bin/env bash
# The main job: installs what it needs, builds the tools, the Linux program and the demo world (in the
# release build that the test command later reuses), renders the demo with the headless front end and
# writes into out/:
#   out/demo.gif          the first 90 simulated seconds at 640x480 (intro, big logo, first scenes)
#   out/demo-sheet.png    a contact sheet of frames from 20 simulated minutes at 1280x720
#   out/packed-bobs.png   a contact sheet of the screensaver's packed bob library
#   out/creatures/creatures-<library>.png
#                         every creature animation in every direction, one row of frames each
#   out/sizes/sheet-<W>x<H>[-scale<N>].png
#                         frames every 50 simulated seconds at the sizes people run the saver at
#                         (1280x720 at full size, 1920x1080 halved, 3840x2160 quartered, and
#                         3840x2160 with the scale factor 2 halved)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/script-options.sh
source scripts/script-options.sh
tl_common_option "$0" "${1:-}"
# shellcheck source=scripts/build-config.sh
source scripts/build-config.sh
step() { echo "== [${SECONDS} s] $*"; }

step "installing the packages the main job needs (scripts/deps.sh main)"
bash scripts/deps.sh main
step "configuring the release build in build/release"
cmake -S . -B build/release "${RELEASE_CONFIG[@]}" >/dev/null
step "building the toolkit, the Linux program and the demo world"
cmake --build build/release -j"$(nproc)" --target "${MAIN_TARGETS[@]}"

tillands=build/release/shell/linux/tillands
assets=build/release/tools/tillands-assets
world=build/release/world/Tillands
mkdir -p out
rm -rf out/frames && mkdir -p out/frames

step "rendering out/demo.gif"
"$tillands" --headless --data "$world" --seed 7 --size 640x480 --seconds 90 --every 2 --gif out/demo.gif

step "rendering frames for out/demo-sheet.png"
# One frame every 100 s of simulated time (1200 frames at 12 fps), from a 20-minute run.
"$tillands" --headless --data "$world" --seed 7 --size 1280x720 --seconds 1200 --every 1200 --png out/frames
"$assets" frame-sheet out/demo-sheet.png out/frames/*.png --columns 4 --shrink 4

step "contact sheet of the packed bob library"
"$assets" contact-sheet "$world/DATA_V/VE_Graphics/BobManager/Screensaver_Packed.bmd" out/packed-bobs.png

step "contact sheets of every creature's animations"
rm -rf out/creatures && mkdir -p out/creatures
"$assets" creature-sheet out/creatures --scale 2 >/dev/null

step "frame sheets per screen size"
rm -rf out/sizes && mkdir -p out/sizes
# size:scale:shrink:seconds; one frame every 50 s of simulated time (the 4K runs are shorter, as every
# frame is rendered whether written or not).
for run in 1280x720:1:1:300 1920x1080:1:2:300 3840x2160:1:4:150 3840x2160:2:2:150; do
  IFS=: read -r size scale shrink seconds <<<"$run"
  name=$size$([ "$scale" = 1 ] || echo "-scale$scale")
  mkdir -p "out/sizes/$name"
  "$tillands" --headless --data "$world" --seed 7 --size "$size" --scale "$scale" --seconds "$seconds" \
    --every 600 --png "out/sizes/$name" --quiet 2>/dev/null
  "$assets" frame-sheet "out/sizes/sheet-$name.png" "out/sizes/$name"/*.png --columns 2 --shrink "$shrink"
  rm -rf "out/sizes/$name"
done

step "done: out/demo.gif, out/demo-sheet.png, out/packed-bobs.png, out/creatures/, out/sizes/"

# With a display, the saver itself: a window that Escape or q closes (it keeps running after this
# script ends; its messages, also why it could not open, go to out/saver-window.log).
if [ -n "${DISPLAY:-}" ]; then
  nohup "$tillands" --window 1280x720 --data "$world" >out/saver-window.log 2>&1 &
  step "the saver runs in a window (pid $!); Escape or q closes it"
fi
