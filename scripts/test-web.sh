#!/usr/bin/env bash
# Browser tests of the web page: builds dist/web (scripts/build-web.sh), makes the headless renderer's
# reference frames from the page's own world archive, and runs web/test/page.test.mjs in Debian's
# chromium (headless, driven by puppeteer-core; the page is served on a free loopback port by the test
# itself and the server stops with it). Screenshots land in BUILD_DIR/web-test/shots.
#
#   scripts/test-web.sh [RELEASE_BUILD]   (default build/release: its tillands --headless renders the
#                                          reference frames, its tillands-assets makes the world)
set -euo pipefail
case "${1:-}" in
  -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --version) sed -n 's/^project(Tillands VERSION \([0-9.]*\).*/test-web.sh (tillands) \1/p' "$(dirname "$0")/../CMakeLists.txt"; exit 0 ;;
esac
cd "$(dirname "$0")/.."
RELEASE=${1:-build/release}
FRAME=150
for tool in emcmake chromium node; do
  command -v $tool >/dev/null || { echo "test-web.sh: $tool not found (scripts/deps.sh installs it)" >&2; exit 1; }
done
[ -x "$RELEASE/shell/linux/tillands" ] || { echo "test-web.sh: $RELEASE/shell/linux/tillands is not built" >&2; exit 1; }

HOST_TOOLS_DIR=$RELEASE bash scripts/build-web.sh build/web
[ -d web/node_modules/puppeteer-core ] || (cd web && npm ci --no-audit --no-fund)

OUT=$PWD/build/web/web-test
rm -rf "$OUT"
mkdir -p "$OUT/reference" "$OUT/shots" "$OUT/tmp"
# Frame FRAME-1 (0-based) of the page's world, seed and size, at scale 1.
"$RELEASE/shell/linux/tillands" --headless --data dist/web --size 640x480 --seed 7 --scale 1 \
  --frames $FRAME --every $((FRAME - 1)) --ppm "$OUT/reference" --quiet

TL_WEB_DIST=$PWD/dist/web TL_WEB_REFERENCE=$OUT/reference TL_WEB_SHOTS=$OUT/shots TL_WEB_TMP=$OUT/tmp \
  TL_WEB_FRAME=$FRAME node --test --test-reporter=tap web/test/page.test.mjs
