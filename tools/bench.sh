#!/usr/bin/env bash
# Builds orv optimised and prints what it costs beside the limits, measured in one run on
# this machine: orv_bench (processes and pipes) and, where Google Benchmark is installed,
# orv_notation_bench (in-process).
#
#   tools/bench.sh [rounds] [--judge]
#
# rounds: the moves timed (2000). Without --judge the exit code says only whether every
# phase ended (2 when one did not); with it, also 1 when a figure is above its limit.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DORV_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
status=0
build-bench/bench/orv_bench "$(pwd)/build-bench" "$@" || status=$?
if [ -x build-bench/bench/orv_notation_bench ]; then
  build-bench/bench/orv_notation_bench --benchmark_counters_tabular=true
fi
exit "$status"
