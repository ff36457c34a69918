// Drives one adapter through a GUI's analysis window: at each step of a game "position",
// "go infinite", a pause, "stop", and then the player follows the engine's suggestion and
// answers it with a move of its own, as players explore a line. Every move of every
// variation shown and every bestmove is checked with the stand-in's rules against the
// position that was sent.
//
//   analysis FOLDER [--steps N] [--think MS] [--seed N] [--option NAME=VALUE]...
//            [--adapter NAME] [--quirks SEED] [--quiet]
//
// Every third step is stopped at once, as a player stepping quickly through a game does.
// Exit code: 0 every move shown was legal, 1 cannot start, 2 the adapter stalled or went
// away, 3 a move shown was illegal in the position sent.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "standin/rules.h"
#include "tools/usi_player.h"

using namespace standin;

namespace {

struct Options {
  std::string folder;
  int steps = 30;
  int think_ms = 100;
  unsigned seed = 1;
  PlayerSetup setup;
  bool quiet = false;
};

bool parse_options(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--steps")
      o.steps = std::atoi(value().c_str());
    else if (a == "--think")
      o.think_ms = std::atoi(value().c_str());
    else if (a == "--seed")
      o.seed = static_cast<unsigned>(std::atoi(value().c_str()));
    else if (a == "--option")
      o.setup.settings.push_back(value());
    else if (a == "--quirks")
      o.setup.quirks = static_cast<unsigned>(std::atol(value().c_str()));
    else if (a == "--adapter")
      o.setup.adapter = value();
    else if (a == "--quiet")
      o.quiet = true;
    else if (o.folder.empty() && a[0] != '-')
      o.folder = a;
    else
      return false;
  }
  return !o.folder.empty();
}

struct Tally {
  int variations = 0, moves = 0, bestmoves = 0;
};

// The moves of a variation ("... pv m1 m2 ...", up to a "[" tail), each played on a copy of
// the position sent. False, with the move named, when one is not legal there.
bool variation_is_legal(const std::string& line, Board board, Tally& tally, std::string& bad) {
  const std::size_t pv = line.find(" pv ");
  if (line.rfind("info ", 0) != 0 || pv == std::string::npos) return true;
  ++tally.variations;
  std::size_t at = pv + 4;
  while (at < line.size()) {
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    const std::string token = line.substr(at, end - at);
    at = end + 1;
    if (token.empty()) continue;
    if (token[0] == '[') break;
    Move m;
    if (!move_from_usi(board, token, m)) {
      bad = token;
      return false;
    }
    Undo u;
    make_move(board, m, u);
    ++tally.moves;
  }
  return true;
}

enum class StepEnd { kShown, kStalled, kIllegal };

// One analysis: every line up to the bestmove checked; the pause before "stop" may end
// early, for an engine that answers from its book.
StepEnd analyse(Player& p, const Board& sent, int pause_ms, int stall_ms, Tally& tally,
                std::string& bestmove, std::string& bad) {
  using Clock = std::chrono::steady_clock;
  bestmove.clear();
  p.send("go infinite");
  const Clock::time_point stop_at = Clock::now() + std::chrono::milliseconds(pause_ms);
  bool stopped = false;
  std::string line;
  while (bestmove.empty()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(stop_at - Clock::now()).count();
    if (!p.next(line, stopped ? stall_ms : static_cast<int>(left > 0 ? left : 0))) {
      if (stopped) return StepEnd::kStalled;
      p.send("stop");
      stopped = true;
      continue;
    }
    if (line.rfind("bestmove ", 0) == 0) {
      bestmove = line.substr(9);
    } else if (!variation_is_legal(line, sent, tally, bad)) {
      bad = "variation move " + bad + " in \"" + line + "\"";
      return StepEnd::kIllegal;
    }
  }
  if (!stopped) p.send("stop");  // the GUI's stop comes all the same
  ++tally.bestmoves;
  return StepEnd::kShown;
}

// The player follows the engine's suggestion (any move where it resigned) and answers it.
// False when the line has reached its mate.
bool follow(Board& board, std::string& moves, const std::string& bestmove, std::mt19937& random) {
  MoveList list;
  for (int turn = 0; turn < 2; ++turn) {
    legal_moves(board, list);
    if (list.size == 0) return false;
    Move m = list.moves[random() % list.size];
    if (turn == 0 && bestmove != "resign") move_from_usi(board, bestmove, m);
    Undo u;
    make_move(board, m, u);
    moves += " " + usi_of(m);
  }
  legal_moves(board, list);
  return list.size > 0;
}

}  // namespace

int main(int argc, char** argv) {
  platform::init_process();
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: analysis FOLDER [--steps N] [--think MS] [--seed N] "
                 "[--option NAME=VALUE]... [--adapter NAME] [--quirks SEED] [--quiet]\n");
    return 1;
  }
  Player player;
  if (!start_player(player, o.folder, o.setup)) {
    std::fprintf(stderr, "cannot start %s in %s\n", o.setup.adapter.c_str(), o.folder.c_str());
    return 1;
  }
  std::mt19937 random(o.seed);
  Board board;
  set_start(board);
  std::string moves, bestmove, bad;
  Tally tally;
  int code = 0, plies = 0;
  for (int step = 1; step <= o.steps; ++step) {
    player.send("position startpos" + (moves.empty() ? "" : " moves" + moves));
    const int pause = step % 3 == 0 ? 0 : o.think_ms;
    const StepEnd end = analyse(player, board, pause, o.setup.stall_ms, tally, bestmove, bad);
    if (end == StepEnd::kStalled) {
      std::fprintf(stderr, "step %d: no bestmove after stop\n", step);
      code = 2;
      break;
    }
    Move m;  // the check alone: the board moves in follow()
    if (end == StepEnd::kIllegal || (bestmove != "resign" && !move_from_usi(board, bestmove, m))) {
      if (end != StepEnd::kIllegal) bad = "bestmove " + bestmove;
      std::fprintf(stderr, "step %d: %s is illegal after \"startpos moves%s\"\n", step, bad.c_str(),
                   moves.c_str());
      code = 3;
      break;
    }
    if (!o.quiet) std::printf("%3d  after ply %3d  bestmove %s\n", step, plies, bestmove.c_str());
    plies += 2;
    if (!follow(board, moves, bestmove, random)) {
      set_start(board), moves.clear(), plies = 0;
    }
  }
  stop_player(player);
  std::printf("%d position(s) analysed: %d variation(s) of %d move(s) and %d bestmove(s) %s\n",
              tally.bestmoves, tally.variations, tally.moves, tally.bestmoves,
              code == 0 ? "checked, all legal" : "checked before the fault");
  return code;
}
