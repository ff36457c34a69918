#!/usr/bin/env bash
# Checks the packages in dist/ as a player meets them: the file names carry the version,
# each holds the adapter and the guides and nothing else, the Linux adapter needs no C++
# runtime on the machine, and each adapter, taken out of its package and put beside the
# stand-in engine, answers "usi" (the Windows one under Wine).
#   tools/check_packages.sh BUILD [WINDOWS_BUILD]     (the builds that hold the stand-in)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
windows_build=${2:+$(cd "$2" && pwd)}
version=$(sed -n 's/^project(orv VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "package check: $*" >&2
  exit 1
}

# Unpacks a package and checks that it holds exactly the adapter and the guides.
unpack() {
  local package=$1 adapter=$2 folder
  [ -f "dist/$package" ] || fail "dist/$package is missing"
  folder=${package%.tar.gz}
  folder=${folder%.zip}
  (cd "$work" && cmake -E tar xf "$OLDPWD/dist/$package")
  local listed
  listed=$(cd "$work/$folder" && ls | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "CHANGELOG.md README.ja.md README.md $adapter " ] ||
    fail "$package holds: $listed"
  echo "$work/$folder"
}

# Starts the adapter beside the stand-in and asks it "usi"; its reply must end in usiok.
answers_usi() {
  local folder=$1
  shift
  local reply
  reply=$(cd "$folder" && printf 'usi\nquit\n' | timeout 60 "$@" | tr -d '\r')
  grep -qx 'id name molvara stand-in 1.0' <<<"$reply" || fail "$folder: no id name in: $reply"
  grep -qx usiok <<<"$reply" || fail "$folder: no usiok in: $reply"
}

linux=$(unpack "orv-$version-linux-x86_64.tar.gz" orv_molvara)
if ldd "$linux/orv_molvara" 2>&1 | grep -q 'libstdc++'; then
  fail "the Linux adapter needs libstdc++: $(ldd "$linux/orv_molvara" 2>&1)"
fi
[ "$("$linux/orv_molvara" --version)" = "orv $version" ] || fail "the Linux adapter's --version"
cp "$build/molvara" "$linux/"
answers_usi "$linux" ./orv_molvara
echo "orv-$version-linux-x86_64.tar.gz: adapter and guides; no C++ runtime needed; usi answered"

if [ -n "$windows_build" ]; then
  windows=$(unpack "orv-$version-windows-x64.zip" orv_molvara.exe)
  cp "$windows_build/molvara.exe" "$windows/"
  WINEDEBUG=-all answers_usi "$windows" wine orv_molvara.exe
  echo "orv-$version-windows-x64.zip: adapter and guides; usi answered under Wine"
fi
