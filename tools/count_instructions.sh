#!/usr/bin/env bash
# Counts the instructions of the property calls over the benchmark grid
# (250-350 K x 1-12 MPa, 132 states) under Valgrind and prints them per state,
# with the ratio of each stability-checked call to the single-phase state of
# the same gas. The counts do not depend on the load of the machine, so they
# follow a change of the solvers where the timed benchmarks in bench/ need a
# quiet host; the time of an instruction differs between the calls, so the
# ratios track the timed ones closely but not exactly.
# Usage: tools/count_instructions.sh            Environment: COUNT_BUILD build folder
#                                               (default build-counts)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${COUNT_BUILD:-build-counts}"

tools/setup.sh valgrind
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DNGTHERM_BENCH=ON -DNGTHERM_TESTS=OFF -DNGTHERM_CLI=OFF \
  -DNGTHERM_PYTHON=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target ngtherm_instruction_counts >/dev/null
program="$build/ngtherm_instruction_counts"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

# Instructions per state of one call over the grid (the program prints the
# number of states it counted).
count() {
  local states total
  states="$(valgrind --tool=callgrind --callgrind-out-file="$out/$1-$2" --collect-atstart=no \
    --toggle-collect='*counted_pass*' "$program" "$1" "$2" 2>/dev/null)"
  total="$(awk '/^(summary|totals):/ {print $2; exit}' "$out/$1-$2")"
  echo $((total / states))
}

printf '%-14s %-6s %16s %8s\n' call gas "instr. per state" ratio
for gas in 11 21; do
  single="$(count single_phase "$gas")"
  printf '%-14s %-6s %16s %8s\n' single_phase "$gas" "$single" 1
  for call in gerg2008 gerg2008_z; do
    n="$(count "$call" "$gas")"
    printf '%-14s %-6s %16s %8s\n' "$call" "$gas" "$n" "$(awk -v a="$n" -v b="$single" 'BEGIN {printf "%.1f", a / b}')"
  done
done
