#!/usr/bin/env bash
# Makes the packages a player downloads, in dist/: orv-<version>-linux-x86_64.tar.gz and,
# cross-built with MinGW-w64, orv-<version>-windows-x64.zip; each holds the adapter (the
# Windows one statically linked, the Linux one carrying its C++ runtime), the guides in
# English and Japanese, the changes, the licence and the notices.
#   tools/package.sh [linux] [windows]      (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p dist

package() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DORV_TESTS=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON --no-warn-unused-cli "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target orv_molvara >/dev/null
  (cd "$dir" && cpack -B "$(pwd)/../dist" >/dev/null)
}

systems=("$@")
[ ${#systems[@]} -gt 0 ] || systems=(linux windows)
for system in "${systems[@]}"; do
  case $system in
    linux) package build-package ;;
    windows) package build-package-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ;;
    *) echo "usage: package.sh [linux] [windows]" >&2; exit 2 ;;
  esac
done
rm -rf dist/_CPack_Packages
