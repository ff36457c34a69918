#!/usr/bin/env bash
# A long soak: rounds of self-play and of the analysis walk, each with the stand-in's quirks
# (an engine as real ones may be, and beyond its contract: answers late, twice, illegal,
# refused, resigns and complaints for no reason) and a GUI that checks every rule of the
# dialogue: impatient (--chaos) in the walk and in odd rounds' games, one that plays on at once
# (--at-once) in even rounds' games; every seed its own. The rules: one bestmove per search,
# after "stop" for an analysis, every move legal in the position sent, every bestmove the
# engine's own answer to its search, a resign a surprise explains, or a copy of the answer to
# the search before of the same position (written twice, it cannot be told from an answer),
# nothing due later than its bound, "quit" ending orv with 0.
#   tools/soak.sh [ROUNDS] [QUIRKS_LEFT_OUT]
# ROUNDS defaults to 10; each round plays 10 games and walks 50 steps. QUIRKS_LEFT_OUT names
# stray quirks of the stand-in to leave out, as "copy,banner" (standin/quirks.h).
# A round that breaks a rule is named with the folder of its logs; the soak goes on, and ends
# with the rules broken in all, exiting 1 if any.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
left_out=()
[ -n "${2:-}" ] && left_out=(--leave-out "$2")
tools/setup.sh demo
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" \
  --target orv_molvara molvara selfplay analysis >/dev/null

work=$(pwd)/build/soak
rm -rf "$work"
games=0 steps=0 failed=0
started=$(date +%s)
for round in $(seq 1 "$rounds"); do
  dir=$work/$round
  mkdir -p "$dir/black" "$dir/white"
  for side in black white; do
    ln -s ../../../orv_molvara "$dir/$side/orv_molvara"
    ln -s ../../../molvara "$dir/$side/molvara"
  done
  gui=(--chaos "$round")
  [ $((round % 2)) = 0 ] && gui=(--at-once)
  if ! build/selfplay "$dir/black" "$dir/white" --byoyomi 100 --plies 80 --games 10 "${gui[@]}" \
    --quirks $((1000 + round)) "${left_out[@]}" --quiet >"$dir/selfplay.txt" 2>&1; then
    echo "round $round: self-play broke a rule; see $dir/selfplay.txt" >&2
    failed=$((failed + 1))
  fi
  inf_book=$([ $((round % 2)) = 0 ] && echo "--option InfBook=true" || true)
  # shellcheck disable=SC2086  # inf_book is empty or two words
  if ! build/analysis "$dir/black" --steps 50 --chaos $((2000 + round)) \
    --quirks $((3000 + round)) --seed "$round" $inf_book "${left_out[@]}" --quiet \
    >"$dir/analysis.txt" 2>&1; then
    echo "round $round: the analysis walk broke a rule; see $dir/analysis.txt" >&2
    failed=$((failed + 1))
  fi
  played=$(tail -n 1 "$dir/selfplay.txt" | grep -o '^[0-9]* game(s)' | grep -o '^[0-9]*' || echo 0)
  walked=$(tail -n 1 "$dir/analysis.txt" | grep -o '^[0-9]* position(s)' | grep -o '^[0-9]*' ||
    echo 0)
  games=$((games + played))
  steps=$((steps + walked))
  echo "round $round: $played games ($(echo "${gui[@]}")), $walked analysis steps"
done
# The tools' last lines: "N bestmove(s) (R resign) checked: ...; rules broken: A ..., B ...".
tally=$(tail -q -n 1 "$work"/*/selfplay.txt "$work"/*/analysis.txt |
  grep -o '[0-9]* bestmove(s) (.*' | sed 's/[^0-9]\+/ /g' | awk '
    { for (i = 1; i <= NF; ++i) sum[i] += $i; n = NF }
    END { printf "%d bestmoves (%d resign): %d the engine'"'"'s own answer, %d its resign or complaint, %d resign(s) a surprise explains, %d a copy of the answer to the search before of the same position; rules broken: %d a line for no search, %d an answer to an earlier search of the same position, %d an answer to a search of another position, %d resign(s) nothing explains, %d no line of the engine", sum[1], sum[2], sum[3], sum[4], sum[5], sum[6], sum[7], sum[8], sum[9], sum[10], sum[11] }')
variations=$(tail -q -n 1 "$work"/*/selfplay.txt "$work"/*/analysis.txt |
  grep -o '([0-9]* of them illegal' | grep -o '[0-9]*' | awk '{ n += $1 } END { print n + 0 }')
echo "soak: $games games and $steps analysis steps in $(($(date +%s) - started)) s; $tally;" \
  "$variations variation(s) illegal in the position sent"
if [ "$failed" -gt 0 ]; then
  echo "soak: $failed run(s) broke a rule" >&2
  exit 1
fi
echo "soak: no rule broken"
