#!/usr/bin/env bash
# Builds orv and shows a short USI dialogue with it, as a GUI would hold it, against the
# scripted test engine standing in for molvara.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

demo=$(pwd)/build/demo
rm -rf "$demo" && mkdir -p "$demo"
ln -s ../orv_molvara "$demo/orv_molvara"
ln -s ../tests/fake_engine "$demo/molvara"
cat > "$demo/fake_script.txt" <<'SCRIPT'
@start|out|Molvara Version 2.0 - The Computer Shogi Engine
move|out|info-0.35 +7776FU -3334FU
move|out|statsatu=12 nodes=34 nps=56
move|out|move7776FU
SCRIPT

coproc ORV { cd "$demo" && exec ./orv_molvara; }
orv_pid=$ORV_PID
gui() {
  printf 'GUI > %s\n' "$1"
  printf '%s\n' "$1" >&"${ORV[1]}"
}
# Shows orv's lines until one equal to $1 (or a quiet second).
orv_until() {
  local line
  while IFS= read -r -t 1 line <&"${ORV[0]}"; do
    printf 'orv < %s\n' "$line"
    [[ $line == "$1" ]] && return 0
  done
  return 0
}

gui "usi";                   orv_until "usiok"
gui "setoption name Debug value true"
gui "isready";               orv_until "readyok"
gui "usinewgame"
gui "position startpos"
gui "go btime 600000 wtime 600000 byoyomi 10000"
orv_until "never"
gui "quit"
wait "$orv_pid" || true
echo
echo "The engine received:"
sed 's/^/  /' "$demo/commands.log"
