#!/usr/bin/env bash
# Checks the packages in dist/ as a player meets them: the file names carry the version,
# each holds the adapter, the guides, the changes, the licence and the notices of what the
# adapter carries, and nothing else (the zip also the text guides, made from the Markdown
# ones for Notepad), the Linux adapter needs no C++ runtime on the machine, and each
# adapter, taken out of its package and put beside the stand-in engine, answers "usi" (the
# Windows one under Wine).
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

# Unpacks a package and checks that it holds exactly the files listed, the licence and the
# notices of the libraries named.
unpack() {
  local package=$1 files=$2 folder library
  shift 2
  [ -f "dist/$package" ] || fail "dist/$package is missing"
  folder=${package%.tar.gz}
  folder=${folder%.zip}
  (cd "$work" && cmake -E tar xf "$OLDPWD/dist/$package")
  local listed
  listed=$(cd "$work/$folder" && ls | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "$files " ] || fail "$package holds: $listed"
  cmp -s LICENSE "$work/$folder/LICENSE" || fail "$package: LICENSE differs from the project's"
  for library in "$@"; do
    grep -q "$library" "$work/$folder/NOTICES.txt" || fail "$package: no notice of $library"
  done
  echo "$work/$folder"
}

# A text file for Notepad: a byte order mark, then its source's text with every line ended
# by CR LF (as many CRs as LFs, each before its LF).
text_file_of() {
  local text=$1 source=$2
  [ "$(head -c 3 "$text" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$text: no byte order mark"
  tail -c +4 "$text" | sed 's/\r$//' | cmp -s - "$source" || fail "$text differs from $source"
  [ "$(tr -cd '\n' <"$text" | wc -c)" = "$(tr -cd '\r' <"$text" | wc -c)" ] ||
    fail "$text: a line without CR LF"
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

linux=$(unpack "orv-$version-linux-x86_64.tar.gz" \
  "CHANGELOG.md LICENSE NOTICES.txt README.ja.md README.md orv_molvara" \
  "GNU C Library" "GCC Runtime Library Exception")
if ldd "$linux/orv_molvara" 2>&1 | grep -q 'libstdc++'; then
  fail "the Linux adapter needs libstdc++: $(ldd "$linux/orv_molvara" 2>&1)"
fi
[ "$("$linux/orv_molvara" --version)" = "orv $version" ] || fail "the Linux adapter's --version"
cp "$build/molvara" "$linux/"
answers_usi "$linux" ./orv_molvara
echo "orv-$version-linux-x86_64.tar.gz: adapter, guides, licence and notices; no C++ runtime" \
  "needed; usi answered"

if [ -n "$windows_build" ]; then
  windows=$(unpack "orv-$version-windows-x64.zip" \
    "CHANGELOG.md LICENSE NOTICES.txt README.ja.md README.ja.txt README.md README.txt orv_molvara.exe" \
    winpthreads MinGW-w64 "GCC Runtime Library Exception")
  text_file_of "$windows/README.txt" "$windows/README.md"
  text_file_of "$windows/README.ja.txt" "$windows/README.ja.md"
  text_file_of "$windows/NOTICES.txt" packaging/NOTICES-windows.txt
  cp "$windows_build/molvara.exe" "$windows/"
  WINEDEBUG=-all answers_usi "$windows" wine orv_molvara.exe
  echo "orv-$version-windows-x64.zip: adapter, guides (also as text for Notepad), licence and" \
    "notices; usi answered under Wine"
fi
