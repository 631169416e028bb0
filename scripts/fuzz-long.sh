#!/usr/bin/env bash
# The long fuzz run: every harness for FUZZ_SECONDS (default 600) each. Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DTL_FUZZ=ON -DTL_BENCH=OFF -DTL_WORLD=OFF >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target fuzzers
FUZZ_SECONDS=${FUZZ_SECONDS:-600} bash scripts/fuzz.sh build/fuzz
