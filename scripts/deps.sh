#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (Debian 12, as root).
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64
  libsdl2-dev libpng-dev libgif-dev libfreetype-dev fonts-dejavu-core
  libx11-dev xvfb x11-utils x11-apps xdotool imagemagick xscreensaver xscreensaver-data
  dpkg-dev lintian libxml2-utils
  wine wine64 wixl msitools
  libxrandr-dev  # the Linux saver: which hack window holds the primary monitor
  weston xwayland  # scripts/try-wayland.sh: the saver under XWayland in weston (the Wayland trial)
  emscripten chromium  # the web page: its WebAssembly build and its browser tests
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The web page's browser tests drive chromium with puppeteer-core (web/package-lock.json).
[ -d "$(dirname "$0")/../web/node_modules/puppeteer-core" ] || (cd "$(dirname "$0")/../web" && npm ci --no-audit --no-fund)
