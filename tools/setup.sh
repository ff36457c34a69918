#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for one of the jobs: demo, test or fuzz.
# Without root's rights it only says what is missing.
set -euo pipefail
case "${1:-test}" in
  demo) packages=(cmake g++ make) ;;
  test) packages=(cmake g++ make libgtest-dev googletest g++-mingw-w64-x86-64-posix wine
                  wine64) ;;
  fuzz) packages=(cmake clang libclang-rt-14-dev make) ;;
  *) echo "usage: setup.sh demo|test|fuzz" >&2; exit 2 ;;
esac
missing=()
for pkg in "${packages[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
  echo "missing packages: ${missing[*]} (apt-get install them as root)" >&2
  exit 0
fi
echo "installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
