#!/usr/bin/env bash
# Measures the built web page (dist/web, see scripts/build-web.sh) in headless chromium: start-up time,
# frame times of a long run on the simulated clock, and the frame conversion in WebAssembly against
# JavaScript. Prints the figures; not part of the tests.
#
#   scripts/bench-web.sh [MINUTES]     (simulated minutes of the long run, default 10;
#                                       TL_WEB_SIZE=WxH, default 1280x720; TL_WEB_LOADS, default 5)
set -euo pipefail
case "${1:-}" in
  -h | --help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --version) sed -n 's/^project(Tillands VERSION \([0-9.]*\).*/bench-web.sh (tillands) \1/p' "$(dirname "$0")/../CMakeLists.txt"; exit 0 ;;
esac
cd "$(dirname "$0")/.."
[ -f dist/web/index.html ] || { echo "bench-web.sh: dist/web is not built (scripts/build-web.sh)" >&2; exit 1; }
[ -d web/node_modules/puppeteer-core ] || (cd web && npm ci --no-audit --no-fund)
mkdir -p build/web-bench
TL_WEB_DIST=$PWD/dist/web TL_WEB_MINUTES=${1:-10} TL_WEB_TMP=$PWD/build/web-bench nice -n 10 node web/bench/page-bench.mjs
