#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for the given number of seconds (default 60), starting from the seed inputs
# in tests/fuzz/corpus. A finding stops the run with the failing input saved in build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh fuzz
seconds=${1:-60}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DORV_FUZZ=ON -DORV_TESTS=OFF -DORV_SANITIZE=address,undefined >/dev/null
cmake --build build-fuzz -j "$(nproc 2>/dev/null || echo 2)" \
  --target gui_lines_fuzz engine_lines_fuzz position_file_fuzz
for target in gui_lines engine_lines position_file; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  echo "== $target: $seconds s"
  (cd build-fuzz && ./${target}_fuzz -max_total_time="$seconds" -print_final_stats=1 \
    -max_len=65536 "corpus/$target" "../tests/fuzz/corpus/$target" 2>&1 |
    grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Test unit written" || true)
  ls build-fuzz | grep -qE "^(crash|leak|timeout|oom)-" && {
    echo "$target: a finding, saved in build-fuzz" >&2
    exit 1
  }
done
echo "fuzzing: no findings"
