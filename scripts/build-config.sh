# Sourced by the main job (demo.sh), the test command (test.sh) and release.sh: the one configuration
# of the release build, so that each reuses what another built instead of building the tree again.
# Defines RELEASE_CONFIG (the cmake arguments), exports the compiler cache's settings and
# SOURCE_DATE_EPOCH (the time of the last commit, which the packages carry instead of the build time).
# shellcheck shell=bash
TL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Paths relative to the source tree in the cache's keys: another checkout or build directory hits too.
export CCACHE_BASEDIR="$TL_ROOT" CCACHE_NOHASHDIR=1
# The unit tests compile with a precompiled header (GoogleTest's); without this sloppiness the cache
# declines every object that uses one ("could not use precompiled header") and the tests are compiled
# again in every build. No code of ours reads __DATE__ or __TIME__ (the artefacts are reproducible).
# GCC's builds only: the test command unsets it for the clang build (see there).
export CCACHE_SLOPPINESS=pch_defines,time_macros
# Packages are made from what is built (cpack does not build every target first): the main job's
# tree packs without building the tests, and the test command has built everything by then.
RELEASE_CONFIG=(-G Ninja -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$TL_ROOT" log -1 --format=%ct 2>/dev/null || echo 0)
  export SOURCE_DATE_EPOCH
fi
# The targets the main job runs: the toolkit, the Linux program (saver and headless renderer) and the
# demo world.
MAIN_TARGETS=(tillands-assets tillands tl_world_data)
