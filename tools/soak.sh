#!/usr/bin/env bash
# A long soak: rounds of self-play and of the analysis walk, each with the stand-in's quirks
# (an engine as real ones may be) and an impatient GUI (--chaos), every seed its own, and
# every rule of the dialogue checked: one bestmove per search, after "stop" for an analysis,
# every move legal in the position sent, nothing due later than 2 s, "quit" ending orv with 0.
#   tools/soak.sh [ROUNDS]      (default 10; each round plays 10 games and walks 50 steps)
# A fault stops the soak and names the folder that holds its logs.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
tools/setup.sh demo
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" \
  --target orv_molvara molvara selfplay analysis >/dev/null

work=$(pwd)/build/soak
rm -rf "$work"
games=0 steps=0
started=$(date +%s)
for round in $(seq 1 "$rounds"); do
  dir=$work/$round
  mkdir -p "$dir/black" "$dir/white"
  for side in black white; do
    ln -s ../../../orv_molvara "$dir/$side/orv_molvara"
    ln -s ../../../molvara "$dir/$side/molvara"
  done
  if ! build/selfplay "$dir/black" "$dir/white" --byoyomi 100 --plies 80 --games 10 \
    --chaos "$round" --quirks $((1000 + round)) --quiet >"$dir/selfplay.txt" 2>&1; then
    echo "round $round: self-play broke a rule; see $dir/selfplay.txt" >&2
    tail -n 5 "$dir/selfplay.txt" >&2
    exit 1
  fi
  inf_book=$([ $((round % 2)) = 0 ] && echo "--option InfBook=true" || true)
  # shellcheck disable=SC2086  # inf_book is empty or two words
  if ! build/analysis "$dir/black" --steps 50 --chaos $((2000 + round)) \
    --quirks $((3000 + round)) --seed "$round" $inf_book --quiet >"$dir/analysis.txt" 2>&1; then
    echo "round $round: the analysis walk broke a rule; see $dir/analysis.txt" >&2
    tail -n 5 "$dir/analysis.txt" >&2
    exit 1
  fi
  games=$((games + 10))
  steps=$((steps + 50))
  echo "round $round: $(tail -n 1 "$dir/selfplay.txt" | cut -d';' -f1); 50 analysis steps"
done
echo "soak: $games games and $steps analysis steps in $(($(date +%s) - started)) s, no rule broken"
