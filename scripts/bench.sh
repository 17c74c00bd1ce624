#!/usr/bin/env bash
# Builds the optimised preset and runs every benchmark; each prints the ratios
# of our figures against references measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
for benchmark in build/release/benchmarks/bench_*; do
  echo "== $(basename "$benchmark")"
  "$benchmark" "$@" 2>&1 | grep -E '^(ratio|cached|[a-z].*median)' || true
done
