#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for FUZZ_SECONDS each (default 8; the long run in
# scripts/fuzz-long.sh uses minutes). Seeds come from tests/fuzz/corpus/<harness>/ when present.
set -euo pipefail
build=$(cd "${1:-build/fuzz}" && pwd)  # absolute: harnesses may change directory
secs=${FUZZ_SECONDS:-8}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
shopt -s nullglob
for fuzzer in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds+=("$root/tests/fuzz/corpus/$name")
  log="$build/$name.log"
  if "$fuzzer" -max_total_time="$secs" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
       -print_final_stats=1 "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz $name: ok, $execs executions in ${secs}s"
  else
    echo "fuzz $name: FAILED"; tail -n 40 "$log"; status=1
  fi
done
exit $status
