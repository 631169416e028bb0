#!/usr/bin/env bash
# The long fuzz run, by hand (not part of the test command): every harness for FUZZ_RUNS executions
# (default 1,000,000), or for FUZZ_SECONDS each when FUZZ_RUNS is set empty. Run it at low priority
# on a shared machine: nice -n 19 bash scripts/fuzz-long.sh
set -euo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
tl_common_option "$0" "${1:-}"
cd "$(dirname "$0")/.."
bash scripts/deps.sh main tests
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DTL_FUZZ=ON -DTL_BENCH=OFF -DTL_WORLD=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target fuzzers
FUZZ_RUNS=${FUZZ_RUNS-1000000} FUZZ_SECONDS=${FUZZ_SECONDS:-600} bash scripts/fuzz.sh build/fuzz
