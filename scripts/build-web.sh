#!/usr/bin/env bash
# Builds the saver's web page into dist/web: index.html, page.js, page.css, tillands.js,
# tillands.wasm and the demo world data_v.dat. It is a static site: any web server can serve the
# folder, e.g.  python3 -m http.server -d dist/web  and open http://localhost:8000/
#
#   scripts/build-web.sh [BUILD_DIR [OUT_DIR]]   (default build/web dist/web)
#
# Needs Debian's emscripten (scripts/deps.sh). The sounds and the world are made by the native
# tillands-assets: HOST_TOOLS_DIR names a native build directory that has it (default build/release,
# whose tillands-assets is built first when it is missing).
set -euo pipefail
case "${1:-}" in
  -h | --help)
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  --version)
    sed -n 's/^project(Tillands VERSION \([0-9.]*\).*/build-web.sh (tillands) \1/p' "$(dirname "$0")/../CMakeLists.txt"
    exit 0
    ;;
  -*)
    echo "build-web.sh: unknown option '$1' (see --help)" >&2
    exit 1
    ;;
esac
cd "$(dirname "$0")/.."
BUILD=${1:-build/web}
OUT=${2:-dist/web}
HOST=${HOST_TOOLS_DIR:-build/release}
JOBS=${JOBS:-$(nproc)}
command -v emcmake >/dev/null || { echo "build-web.sh: emcmake not found (install emscripten: scripts/deps.sh)" >&2; exit 1; }
# Debian's emscripten finds its JavaScript helpers (acorn) only through NODE_PATH when node is not Debian's.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

if [ ! -x "$HOST/tools/tillands-assets" ]; then
  echo "== native tools in $HOST (tillands-assets)"
  [ -f "$HOST/CMakeCache.txt" ] || cmake -S . -B "$HOST" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
  cmake --build "$HOST" -j"$JOBS" --target tillands-assets
fi

echo "== WebAssembly build in $BUILD"
emcmake cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_HOST_TOOLS_DIR="$(realpath "$HOST")" \
  "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target tl_web_page

# OUT_DIR is replaced whole: assembled beside it, then renamed into place.
mkdir -p "$(dirname "$OUT")"
new="$(dirname "$OUT")/.$(basename "$OUT").new" old="$(dirname "$OUT")/.$(basename "$OUT").old"
rm -rf "$new" "$old"
cp -r "$BUILD/web/page" "$new"
[ -d "$OUT" ] && mv "$OUT" "$old"
mv "$new" "$OUT"
rm -rf "$old"
for f in tillands.js tillands.wasm; do
  printf '%-14s %8d bytes, %8d gzip -9\n' "$f" "$(stat -c %s "$OUT/$f")" "$(gzip -9c "$OUT/$f" | wc -c)"
done
echo "$OUT is ready: python3 -m http.server -d $OUT   (then open http://localhost:8000/)"
