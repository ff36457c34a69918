#!/usr/bin/env bash
# Checks the packages in dist/ as a player meets them: the file names carry the version,
# each holds the adapter, the guides, the changes (this version's dated), the licence and
# the notices of what the adapter carries, with the toolchain's releases, and nothing else
# (the zip also the text files for Notepad, made from the Markdown ones: no marks, no
# developer sections); the Linux adapter needs the C library alone, no newer than the guides
# say; the Japanese of the guide and of the adapters is spelt one way; and each adapter,
# taken out of its package and put beside the stand-in engine, answers "usi" (the Windows
# one under Wine).
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

# Unpacks a package and checks that it holds exactly the files listed and the licence.
unpack() {
  local package=$1 files=$2 folder
  [ -f "dist/$package" ] || fail "dist/$package is missing"
  folder=${package%.tar.gz}
  folder=${folder%.zip}
  (cd "$work" && cmake -E tar xf "$OLDPWD/dist/$package")
  local listed
  listed=$(cd "$work/$folder" && ls | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "$files " ] || fail "$package holds: $listed"
  cmp -s LICENSE "$work/$folder/LICENSE" || fail "$package: LICENSE differs from the project's"
  echo "$work/$folder"
}

# A text file for Notepad: a byte order mark, every line ended by CR LF (as many CRs as LFs,
# each before its LF), made from its source as the build makes it.
text_file_of() {
  local text=$1 source=$2 mode=$3
  [ "$(head -c 3 "$text" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$text: no byte order mark"
  [ "$(tr -cd '\n' <"$text" | wc -c)" = "$(tr -cd '\r' <"$text" | wc -c)" ] ||
    fail "$text: a line without CR LF"
  [ "$(grep -c $'[^\r]$' "$text")" = 0 ] || fail "$text: a line without CR LF"
  cmake -DIN="$source" -DOUT="$work/made.txt" -DMODE="$mode" -P cmake/text_guide.cmake
  cmp -s "$work/made.txt" "$text" || fail "$text is not made from $source"
}

# A guide for Notepad: no Markdown marks, no table wider than the window, nothing for
# developers, links named as the text files beside it (those named after it at least).
plain_guide() {
  local text=$1 folder named
  shift
  folder=$(dirname "$text")
  ! grep -nE '`|\*\*|\]\(|^ *\||^#|<!--' "$text" || fail "$text: Markdown marks above"
  ! grep -nE 'For developers|What orv costs|orv_bench|tools/|開発者向けの説明' "$text" || fail "$text: for developers"
  [ "$(LC_ALL=C.UTF-8 wc -L <"$text")" -le 100 ] || fail "$text: a line wider than 100 columns"
  grep -oE '\((README[.a-z]*|CHANGELOG|LICENSE|NOTICES)\.txt\)' "$text" | tr -d '()' | sort -u |
    while read -r named; do
      [ -f "$folder/$named" ] || fail "$text names $named, which is not beside it"
    done
  for named in "$@"; do
    grep -qF "($named)" "$text" || fail "$text: no link to $named"
  done
}

# GCC's release as GCC names it, else as the package that holds it names it (Debian's
# MinGW-w64 GCC names itself "12-posix").
gcc_release() {
  local release
  release=$("$1" -dumpfullversion)
  if ! [[ $release =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
    release=$(dpkg-query -W -f='${Version}' \
      "$(dpkg-query -S "$(readlink -f "$(command -v "$1")")" | cut -d: -f1)")
    release=${release%%[-+~]*}
  fi
  echo "$release"
}

# The notices name the libraries and the release of the compiler that built the adapter.
notices_of() {
  local notices=$1 compiler=$2 release
  shift 2
  ! grep -n '@ORV_' "$notices" || fail "$notices: a version left unfilled"
  release=$(gcc_release "$compiler")
  [[ $release =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$compiler: no release to be told"
  grep -qE "GCC ${release//./\\.}[,):]" "$notices" || fail "$notices: not the release of $compiler"
  for library in "$@"; do
    grep -q "$library" "$notices" || fail "$notices: no notice of $library"
  done
}

# A word's bytes in an encoding, as grep -P takes them.
bytes_of() {
  printf %s "$1" | iconv -f UTF-8 -t "$2" | od -An -v -tx1 | tr -d ' \n' | sed 's/../\\x&/g'
}

# One spelling of the Japanese words, in the file's texts of that encoding: フォルダー and
# アダプター with their long mark, 名前を変更 rather than リネーム, but for the one start-up
# message kept as orv has always written it. Blanks and line ends are taken out first: a text
# guide wraps a table's lines between any two characters.
japanese_spelling() {
  local file=$1 encoding=$2 word renames kept
  tr -d ' \r\n' <"$file" >"$work/spelling"
  for word in フォルダ アダプタ; do
    ! LC_ALL=C grep -qaP "$(bytes_of "$word" "$encoding")(?!$(bytes_of ー "$encoding"))" \
      "$work/spelling" || fail "$file: $word without its long mark ($encoding)"
  done
  renames=$({ LC_ALL=C grep -aoP "$(bytes_of リネーム "$encoding")" "$work/spelling" || true; } |
    wc -l)
  kept=$({ LC_ALL=C grep -aoP "$(bytes_of のようにリネームしてください。 "$encoding")" \
    "$work/spelling" || true; } | wc -l)
  [ "$renames" = "$kept" ] || fail "$file: リネーム for 名前を変更 ($encoding)"
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
  "CHANGELOG.md LICENSE NOTICES.txt README.ja.md README.md orv_molvara")
notices_of "$linux/NOTICES.txt" g++ "GCC Runtime Library Exception" "the system's own C library"
# The C library is the system's, shared; the C++ runtime is inside.
needed=$(objdump -p "$linux/orv_molvara" | awk '/NEEDED/ {print $2}' | sort | tr '\n' ' ')
[ "$needed" = "ld-linux-x86-64.so.2 libc.so.6 " ] || fail "the Linux adapter needs: $needed"
# The oldest C library it runs with, as both guides give it.
glibc=$(objdump -T "$linux/orv_molvara" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -1)
glibc=${glibc#GLIBC_}
for guide in README.md README.ja.md; do
  grep -q "GNU C Library) $glibc or later\|GNU C Library）$glibc 以降" "$linux/$guide" ||
    fail "$guide does not give $glibc as the oldest C library the adapter runs with"
done
for guide in README.md README.ja.md; do
  grep -q NOTICES.txt "$linux/$guide" || fail "$guide does not name NOTICES.txt"
done
# The changes of this version carry the day it was released.
grep -qE "^## ${version//./\\.} \([0-9]{4}-[0-9]{2}-[0-9]{2}\)$" "$linux/CHANGELOG.md" ||
  fail "CHANGELOG.md gives $version no date"
! grep -n unreleased "$linux/CHANGELOG.md" || fail "CHANGELOG.md: a release without its date"
japanese_spelling "$linux/README.ja.md" UTF-8
japanese_spelling "$linux/orv_molvara" UTF-8
[ "$("$linux/orv_molvara" --version)" = "orv $version" ] || fail "the Linux adapter's --version"
cp "$build/molvara" "$linux/"
answers_usi "$linux" ./orv_molvara
echo "orv-$version-linux-x86_64.tar.gz: adapter, guides, licence and notices; needs the C" \
  "library $glibc or later, nothing else; usi answered"

if [ -n "$windows_build" ]; then
  windows=$(unpack "orv-$version-windows-x64.zip" \
    "CHANGELOG.md CHANGELOG.txt LICENSE LICENSE.txt NOTICES.txt README.ja.md README.ja.txt README.md README.txt orv_molvara.exe")
  text_file_of "$windows/README.txt" "$windows/README.md" markdown
  text_file_of "$windows/README.ja.txt" "$windows/README.ja.md" markdown
  text_file_of "$windows/CHANGELOG.txt" "$windows/CHANGELOG.md" markdown
  text_file_of "$windows/LICENSE.txt" "$windows/LICENSE" plain
  plain_guide "$windows/README.txt" README.ja.txt CHANGELOG.txt LICENSE.txt
  plain_guide "$windows/README.ja.txt" README.txt CHANGELOG.txt LICENSE.txt
  plain_guide "$windows/CHANGELOG.txt"
  [ "$(head -c 3 "$windows/NOTICES.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] &&
    [ "$(grep -c $'[^\r]$' "$windows/NOTICES.txt")" = 0 ] || fail "NOTICES.txt is not for Notepad"
  notices_of "$windows/NOTICES.txt" x86_64-w64-mingw32-g++-posix winpthreads MinGW-w64 \
    "GCC Runtime Library Exception"
  japanese_spelling "$windows/README.ja.txt" UTF-8
  japanese_spelling "$windows/orv_molvara.exe" UTF-8
  japanese_spelling "$windows/orv_molvara.exe" CP932
  # What the adapter carries of the runtime's number conversion is named with its notices.
  if x86_64-w64-mingw32-nm "$windows_build/orv_molvara.exe" | grep -q ' __gdtoa$'; then
    notices_of "$windows/NOTICES.txt" x86_64-w64-mingw32-g++-posix "David M. Gay" \
      "Lucent Technologies"
  fi
  cp "$windows_build/molvara.exe" "$windows/"
  WINEDEBUG=-all answers_usi "$windows" wine orv_molvara.exe
  echo "orv-$version-windows-x64.zip: adapter, guides, changes and licence (also as text for" \
    "Notepad), notices; usi answered under Wine"
fi
