#!/usr/bin/env bash
# Builds and runs every test: the plain build, then AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

run() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --timeout 120 --output-on-failure
}

echo "== plain build"
run build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
run build-asan -DORV_SANITIZE=address,undefined
echo "== ThreadSanitizer"
run build-tsan -DORV_SANITIZE=thread
