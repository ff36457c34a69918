// Drives one adapter through a GUI's analysis window: at each step of a game "position",
// "go infinite", a pause, "stop", and then the player follows the engine's suggestion and
// answers it with a move of its own, as players explore a line. Every move of every
// variation shown and every bestmove is checked with the stand-in's rules against the
// position that was sent, and the one bestmove of each analysis must come after its "stop".
//
//   analysis FOLDER [--steps N] [--think MS] [--seed N] [--option NAME=VALUE]...
//            [--adapter NAME] [--chaos SEED | --at-once] [--quirks SEED] [--quiet]
//
// Every third step is stopped at once, as a player stepping quickly through a game does.
// --chaos has the GUI behave as impatient GUIs do (another position first, bursts of
// analyses stopped at once, "isready" and "setoption" during the analysis, a timed search
// asked in between), chosen by the seed. --at-once has the GUI analyse the next position as
// soon as the bestmove came, nothing between. With either, the engine of --quirks also strays
// beyond the engine's contract and notes its searches, so that every bestmove is traced to its
// own answer to the analysis asked.
// Exit code: 0 every rule kept, 1 cannot start, 5 a broken rule (a move shown illegal, a
// bestmove before "stop" or none within the bound after it), 6 an adapter that did not end
// with exit code 0 after "quit".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "standin/rules.h"
#include "tools/chaos.h"
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
  unsigned chaos = 0;
  bool at_once = false;
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
    else if (a == "--chaos")
      o.chaos = static_cast<unsigned>(std::atol(value().c_str()));
    else if (a == "--at-once")
      o.at_once = true;
    else if (a == "--leave-out")
      o.setup.left_out = value();
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
                 "[--option NAME=VALUE]... [--adapter NAME] [--chaos SEED | --at-once] "
                 "[--quirks SEED] "
                 "[--quiet]\n");
    return 1;
  }
  Player player;
  // Only a GUI that checks every rule meets a straying engine.
  const bool checks = o.chaos != 0 || o.at_once;
  o.setup.stray = checks;
  if (!start_player(player, o.folder, o.setup)) {
    std::fprintf(stderr, "cannot start %s in %s\n", o.setup.adapter.c_str(), o.folder.c_str());
    return 1;
  }
  std::mt19937 random(o.seed);
  Chaos chaos;
  chaos.on = o.chaos != 0;
  chaos.checks = checks;
  chaos.noted = checks && o.setup.quirks != 0;
  chaos.random.seed(o.chaos);
  Board board, start;
  set_start(board);
  set_start(start);
  Sent sent{board, board, "position startpos"};
  std::string moves, bestmove;
  int code = 0, plies = 0, analysed = 0;
  for (int step = 1; step <= o.steps; ++step) {
    sent = {board, sent.now, "position startpos" + (moves.empty() ? "" : " moves" + moves)};
    if (!moves.empty() && chaos.chance(15)) {  // another position first, then this one
      player.send("position startpos");
      sent.before = start;
    }
    std::string hint;
    if (chaos.chance(10) && !chaos_timed_search(player, chaos, sent, 200, hint)) code = 5;
    const int pause = step % 3 == 0 ? 0 : o.think_ms;
    if (code == 0 && !chaos_analysis(player, chaos, sent, pause, bestmove)) code = 5;
    if (code == 0 && chaos.on && !barrier(player, chaos, sent)) code = 5;
    if (code != 0) {
      std::fprintf(stderr, "step %d, after \"startpos moves%s\": %s; the last lines:\n%s", step,
                   moves.c_str(), chaos.fault.c_str(), player.dialogue().c_str());
      break;
    }
    ++analysed;
    if (!o.quiet) std::printf("%3d  after ply %3d  bestmove %s\n", step, plies, bestmove.c_str());
    plies += 2;
    if (!follow(board, moves, bestmove, random)) {
      set_start(board), moves.clear(), plies = 0;
    }
  }
  if (chaos.broken > 0 && code == 0) code = 5;
  const long peak = peak_memory_kib(player);
  if (checks && peak > kPeakMemoryKib && code == 0) {
    std::fprintf(stderr, "orv took %ld KiB at its peak\n", peak);
    code = 5;
  }
  if (!stop_player(player)) {
    std::fprintf(stderr, "the adapter did not end with exit code 0 after quit\n");
    if (code == 0) code = 6;
  }
  std::printf(
      "%d position(s) analysed: %ld variation(s) of %ld move(s) and %d bestmove(s) %s%s%s\n",
      analysed, chaos.variations, chaos.variation_moves, analysed,
      code == 0 ? "checked, all legal" : "checked before the fault", checks ? "; " : "",
      checks ? chaos_summary(chaos).c_str() : "");
  return code;
}
