#!/usr/bin/env bash
# Runs the exports fuzzer for a while and prints its executions and coverage.
# Usage: tools/fuzz.sh [seconds]        (default 7200)
# Environment: FUZZ_JOBS parallel fuzzing processes (default: the number of
# cores); FUZZ_BUILD build folder (default build-fuzz).
# New corpus entries go to $FUZZ_BUILD/corpus-new (scratch, not committed);
# crashes and failed checks to $FUZZ_BUILD/artifacts/. Copy an input worth
# keeping to tests/fuzz/corpus/ or tests/fuzz/regressions/ by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-7200}"
jobs="${FUZZ_JOBS:-$(nproc)}"
build="${FUZZ_BUILD:-build-fuzz}"

tools/setup.sh clang libclang-rt-14-dev libfuzzer-14-dev
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNGTHERM_FUZZ=ON \
  -DNGTHERM_TESTS=OFF -DNGTHERM_CLI=OFF -DNGTHERM_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target ngtherm_exports_fuzzer

build="$(cd "$build" && pwd)"  # absolute: the jobs run from the log folder
fuzzer="$build/ngtherm_exports_fuzzer"
scratch="$build/corpus-new"
artifacts="$build/artifacts"
logs="$build/fuzz-logs"
mkdir -p "$scratch" "$artifacts" "$logs"
rm -f "$logs"/fuzz-*.log
# The target bounds each call's time itself (and times a slow call again);
# libFuzzer's own limit only has to catch a hang. At 10 s a run starved of its
# core by other work on the machine stopped on a call that takes 0.35 s.
options=(-max_total_time="$seconds" -timeout=60 -print_final_stats=1
         -dict="$PWD/tests/fuzz/exports.dict" -artifact_prefix="$artifacts/")
seeds="$PWD/tests/fuzz/corpus"
status=0
started=$SECONDS
if [ "$jobs" -gt 1 ]; then
  (cd "$logs" && "$fuzzer" "${options[@]}" -jobs="$jobs" -workers="$jobs" \
     "$scratch" "$seeds") || status=$?
else
  "$fuzzer" "${options[@]}" "$scratch" "$seeds" 2>"$logs/fuzz-0.log" || status=$?
fi

# Executions summed over the jobs; coverage from the last report of each.
executions=0
for log in "$logs"/fuzz-*.log; do
  n="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)"
  executions=$((executions + ${n:-0}))
  echo "$(basename "$log"): $(grep -E '^#[0-9]+' "$log" | tail -1)"
done
# The time actually run: an interrupted run stops before its time is up.
elapsed=$((SECONDS - started > 0 ? SECONDS - started : 1))
echo "executions: $executions in $elapsed s, $((executions / elapsed)) per second"
echo "corpus: $(ls "$scratch" | wc -l) new entries in $scratch"
# libFuzzer exits with 72 when interrupted (Ctrl-C or SIGINT): a stop, not a failure.
if [ "$status" -eq 72 ]; then
  echo "fuzzer interrupted; the counts above are up to then"
  status=0
elif [ "$status" -ne 0 ]; then
  echo "fuzzer found a failure (exit $status); inputs in $artifacts:" >&2
  ls "$artifacts" >&2
  grep -h -A3 "ngtherm exports fuzzer:\|ERROR: \|runtime error" "$logs"/fuzz-*.log >&2 || true
fi
exit "$status"
