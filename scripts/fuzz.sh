#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build, each for FUZZ_SECONDS (default 5) or, when FUZZ_RUNS
# is set, for that many executions (scripts/fuzz-long.sh). Seeds come from tests/fuzz/corpus/<harness>/
# and the dictionary from tests/fuzz/dict/<harness>.dict when present. Any crash, sanitizer report
# (all are fatal in the fuzz build), leak, timeout or out-of-memory fails the run; the input that
# caused it is kept as build/fuzz/crash-* for a test. FUZZ_ONLY="fuzz_a fuzz_b" runs just those;
# FUZZ_JOBS harnesses run at a time (default: one per core).
set -euo pipefail
# shellcheck source=scripts/script-options.sh
source "$(dirname "$0")/script-options.sh"
case "${1:-}" in -*) tl_common_option "$0" "$1" ;; esac
build=$(cd "${1:-build/fuzz}" && pwd)  # absolute: harnesses may change directory
secs=${FUZZ_SECONDS:-5}
runs=${FUZZ_RUNS:-}
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${FUZZ_JOBS:-$(nproc)}
shopt -s nullglob

# run_one HARNESS: one harness; its result line goes to <build>/<name>.result, its log to <name>.log.
run_one() {
  local fuzzer=$1 name corpus log args seeds
  name=$(basename "$fuzzer")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  args=(-rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 -print_final_stats=1
        -artifact_prefix="$build/" -max_total_time="$secs")
  if [ -n "$runs" ]; then args+=(-runs="$runs" -max_total_time=0); fi
  [ -f "$root/tests/fuzz/dict/$name.dict" ] && args+=(-dict="$root/tests/fuzz/dict/$name.dict")
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds+=("$root/tests/fuzz/corpus/$name")
  log="$build/$name.log"
  if "$fuzzer" "${args[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1 && ! grep -q "runtime error:" "$log"; then
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz $name: ok, $execs executions, $rate/s" >"$build/$name.result"
  else
    { echo "fuzz $name: FAILED"; tail -n 40 "$log"; } >"$build/$name.result"
  fi
}

# The harnesses run side by side, FUZZ_JOBS at a time (default: one per core); the results are
# printed in the harnesses' order.
names=()
for fuzzer in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  if [ -n "${FUZZ_ONLY:-}" ] && [[ " $FUZZ_ONLY " != *" $name "* ]]; then continue; fi
  names+=("$name")
  rm -f "$build/$name.result"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$fuzzer" &
done
wait
status=0
for name in "${names[@]}"; do
  if [ -f "$build/$name.result" ]; then cat "$build/$name.result"; else echo "fuzz $name: FAILED (no result)"; fi
  grep -q '^fuzz .*: ok,' "$build/$name.result" 2>/dev/null || status=1
done
exit $status
