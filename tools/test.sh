#!/usr/bin/env bash
# Builds and runs every test: the plain build (with the Windows build under Wine when
# MinGW-w64 and Wine are installed), then AddressSanitizer with UndefinedBehaviorSanitizer,
# then ThreadSanitizer; then makes the packages and checks them. ORV_REQUIRE_WINDOWS=1
# makes missing Windows tools an error.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh test
jobs=$(nproc 2>/dev/null || echo 2)

configure_and_test() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --timeout 180 --output-on-failure
}

windows=()
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  echo "== Windows build (MinGW-w64), unit tests under Wine"
  export WINEDEBUG=-all
  timeout 300 wineboot --init >/dev/null 2>&1 || true  # the Wine prefix, made once
  configure_and_test build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
  windows=(-DORV_WINDOWS_BUILD="$(pwd)/build-win")
elif [ "${ORV_REQUIRE_WINDOWS:-0}" = 1 ]; then
  echo "The Windows build needs MinGW-w64 and Wine: apt-get install g++-mingw-w64-x86-64-posix wine wine64" >&2
  exit 1
else
  echo "== Windows build SKIPPED: MinGW-w64 or Wine is not installed"
  echo "   (apt-get install g++-mingw-w64-x86-64-posix wine wine64 to run it)"
fi

if [ ${#windows[@]} -gt 0 ]; then
  echo "== plain build, and the integration tests of the Windows build under Wine"
else
  echo "== plain build"
fi
configure_and_test build "${windows[@]}"
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_test build-asan -DORV_SANITIZE=address,undefined -DORV_WINDOWS_BUILD=
echo "== ThreadSanitizer"
configure_and_test build-tsan -DORV_SANITIZE=thread -DORV_WINDOWS_BUILD=
echo "== packages"
if [ ${#windows[@]} -gt 0 ]; then
  tools/package.sh linux windows
  tools/check_packages.sh build build-win
else
  tools/package.sh linux
  tools/check_packages.sh build
fi
