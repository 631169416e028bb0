#!/usr/bin/env bash
# Installs the Debian packages of one or more purposes (Debian 12, as root or through sudo):
#
#   scripts/deps.sh main           the main job (scripts/demo.sh): compiler, CMake, Ninja, the compiler
#                                  cache, the libraries of the tools and of the Linux saver
#   scripts/deps.sh main tests     and everything the test command (scripts/test.sh) needs besides
#   scripts/deps.sh tests-build    of those, only what the test command's builds need
#   scripts/deps.sh release        what scripts/release.sh needs besides (it asks for main and tests too)
#   scripts/deps.sh wayland        weston and XWayland for scripts/try-wayland.sh
#
# Without an argument: main and tests. Only what is missing is installed; nothing is removed.
set -euo pipefail

case "${1:-}" in
  -h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  --version) echo "deps.sh (tillands) $(sed -n 's/^project(Tillands VERSION \([^ ]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")"; exit 0 ;;
esac

# The main job. The test command configures the release build the same way, compiler cache included.
MAIN=(
  g++ cmake ninja-build ccache # compiler, build system, compiler cache
  libpng-dev libgif-dev        # PNG and GIF: the tools and the headless renderer
  libfreetype-dev              # FreeType: the demo world's font and lettering
  fonts-dejavu-core            # the font the demo world's text is drawn from
  libx11-dev libxext-dev       # the Linux saver's window (X client libraries, shared-memory images)
  libxrandr-dev                # the Linux saver: which hack window holds the primary monitor
  libsdl2-dev                  # the Linux saver's sound
)

# The test command: first what its builds need (installed before them), then the rest, which the
# test command installs while its sanitizer and release builds run.
TESTS_BUILD=(
  libgtest-dev libgmock-dev libbenchmark-dev # unit tests and benchmarks
  clang libclang-rt-14-dev clang-format      # sanitizer and fuzz build, format check
)
TESTS=(
  "${TESTS_BUILD[@]}"
  xvfb x11-utils x11-apps xdotool imagemagick # the Linux front end on virtual X servers
  xscreensaver xscreensaver-data             # the XScreenSaver hack
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils # scripts/test-monitors.sh: monitors at their places
  emscripten chromium                        # the web page: its WebAssembly build and its browser tests
  dpkg-dev lintian libxml2-utils             # the Debian package and its checks
  g++-mingw-w64-x86-64                       # the Windows build
  wine wine64                                # the Windows tests
  locales                                    # the Windows tests in German and other languages (localedef sources)
  wixl msitools                              # the MSI
  faketime                                   # the MSI's time stamps (reproducible artefacts)
)

# scripts/try-wayland.sh (not part of the tests): the saver under XWayland in weston.
WAYLAND=(
  weston xwayland
)

# scripts/release.sh --check: diffoscope explains a difference between two builds.
RELEASE=(
  diffoscope-minimal
)

purposes=("$@")
[ ${#purposes[@]} -eq 0 ] && purposes=(main tests)
wanted=()
for purpose in "${purposes[@]}"; do
  case $purpose in
    main) wanted+=("${MAIN[@]}") ;;
    tests) wanted+=("${TESTS[@]}") ;;
    tests-build) wanted+=("${TESTS_BUILD[@]}") ;;
    release) wanted+=("${RELEASE[@]}") ;;
    wayland) wanted+=("${WAYLAND[@]}") ;;
    *) echo "deps.sh: unknown purpose '$purpose' (main, tests, tests-build, release or wayland)" >&2; exit 1 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The browser tests fetch puppeteer-core with npm. Debian's nodejs comes without it (another nodejs,
# such as NodeSource's, brings its own and would clash with Debian's npm): asked for by command.
if [[ " ${purposes[*]} " == *" tests "* ]] && ! command -v npm >/dev/null; then
  missing+=(npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${#missing[@]} packages (${purposes[*]}): ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  log=$(mktemp)
  # Quiet unless it fails: then the end of apt's own report.
  if ! { $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq \
    --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    tail -20 "$log"; rm -f "$log"; exit 1
  fi
  rm -f "$log"
fi
# The web page's browser tests drive chromium with puppeteer-core (web/package-lock.json).
if [[ " ${purposes[*]} " == *" tests "* ]]; then
  [ -d "$(dirname "$0")/../web/node_modules/puppeteer-core" ] || (cd "$(dirname "$0")/../web" && npm ci --no-audit --no-fund)
fi
