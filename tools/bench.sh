#!/usr/bin/env bash
# Builds orv optimised and prints what it costs beside the limits, measured in one run on
# this machine: orv_bench (processes and pipes) and orv_notation_bench (in-process).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DORV_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
build-bench/bench/orv_bench "$(pwd)/build-bench" "${1:-2000}"
build-bench/bench/orv_notation_bench --benchmark_counters_tabular=true
