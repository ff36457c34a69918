#!/usr/bin/env bash
# Builds orv and the stand-in engine, and plays a short game between two orv adapters, each
# in its own folder beside its own engine, driven as a GUI drives two USI engines.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh demo
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

demo=$(pwd)/build/demo
for side in black white; do
  rm -rf "${demo:?}/$side" && mkdir -p "$demo/$side"
  ln -s ../../orv_molvara "$demo/$side/orv_molvara"
  ln -s ../../molvara "$demo/$side/molvara"
done

echo "orv_molvara (black) against orv_molvara (white), each beside the stand-in engine:"
echo " ply  side   move    time     score (the mover's view, centipawns)"
build/selfplay "$demo/black" "$demo/white" --byoyomi 100 --plies 200 --record "$demo/game.csa"
echo "The game record: $demo/game.csa"
