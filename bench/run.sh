#!/usr/bin/env bash
# Builds the benchmarks optimised (the "bench" preset) and runs them three times over, since
# timings that include fsync vary from run to run. Further arguments go to the benchmark
# program and win over these (e.g. --benchmark_filter=Save --benchmark_repetitions=1).
# The ratio table comes last; a missed target is reported, not failed.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench
cmake --build --preset bench --parallel "$(nproc)"
build/bench/bench/params_bench --benchmark_repetitions=3 "$@"
