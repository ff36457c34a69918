// Plays a game between two USI engines as a GUI would: "usi", "isready", "usinewgame",
// "position startpos moves ...", "go" with the clocks, "bestmove", "gameover", "quit".
// Every move is checked with the stand-in's rules; after every move the engine's folder's
// orv.csa, when it was written anew, must hold the position the engine was given.
//
//   selfplay BLACK_FOLDER WHITE_FOLDER [--plies N] [--byoyomi MS] [--nodes N]
//            [--black-option NAME=VALUE]... [--white-option NAME=VALUE]...
//            [--record FILE.csa] [--adapter NAME] [--games N] [--chaos SEED | --at-once]
//            [--quirks SEED] [--quiet]
//
// --quirks has each stand-in engine behave as real engines may (blank lines, lines in
// pieces, remarks on standard error, delays), chosen by the seed.
//
// --games plays that many games in one run, with "usinewgame" between them. --chaos has the
// GUI behave as impatient GUIs do (a take-back and the position again, an analysis inside
// the game, "isready", "setoption" and "stop" while the engine thinks, a game left while it
// thinks), chosen by the seed, and checks every rule of the dialogue. --at-once has a GUI
// that asks each search as soon as the other engine's bestmove came, with nothing between,
// and checks the same rules. With either, the engines of --quirks also stray beyond the
// engine's contract (answers late, twice, illegal, refused) and note their searches, so that
// every bestmove is traced to the engine's own answer to the search asked.
//
// Exit code: 0 the games played to their end, 1 cannot start, 2 an engine stalled or went
// away, 3 an illegal move, 4 an orv.csa that does not match the game, 5 a broken rule of the
// dialogue (--chaos, --at-once), 6 an adapter that did not end with 0 after "quit".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "standin/csa_file.h"
#include "standin/rules.h"
#include "tools/chaos.h"
#include "tools/usi_player.h"

using namespace standin;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string folders[2];
  int plies = 256;
  int byoyomi_ms = 1000;
  PlayerSetup setups[2];
  std::string record;
  bool quiet = false;
  int games = 1;
  unsigned chaos = 0;  // the seed of an impatient GUI, 0 for a patient one
  bool at_once = false;
};

bool parse_options(int argc, char** argv, Options& o) {
  int folders = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--plies")
      o.plies = std::atoi(value().c_str());
    else if (a == "--byoyomi")
      o.byoyomi_ms = std::atoi(value().c_str());
    else if (a == "--nodes")
      o.setups[0].nodes = o.setups[1].nodes = std::atol(value().c_str());
    else if (a == "--black-option")
      o.setups[0].settings.push_back(value());
    else if (a == "--white-option")
      o.setups[1].settings.push_back(value());
    else if (a == "--option")
      o.setups[0].settings.push_back(value()), o.setups[1].settings.push_back(argv[i]);
    else if (a == "--record")
      o.record = value();
    else if (a == "--adapter")
      o.setups[0].adapter = o.setups[1].adapter = value();
    else if (a == "--quiet")
      o.quiet = true;
    else if (a == "--games")
      o.games = std::atoi(value().c_str());
    else if (a == "--chaos")
      o.chaos = static_cast<unsigned>(std::atol(value().c_str()));
    else if (a == "--at-once")
      o.at_once = true;
    else if (a == "--leave-out")
      o.setups[0].left_out = o.setups[1].left_out = value();
    else if (a == "--quirks")
      o.setups[0].quirks = static_cast<unsigned>(std::atol(value().c_str())),
      o.setups[1].quirks = o.setups[0].quirks + 1;
    else if (a == "--stall")
      o.setups[0].stall_ms = o.setups[1].stall_ms = std::atoi(value().c_str());
    else if (folders < 2 && a[0] != '-')
      o.folders[folders++] = a;
    else
      return false;
  }
  return folders == 2;
}

Board mirrored(const Board& b) {
  Board m = b;
  for (int sq = 0; sq < 81; ++sq) m.sq[square(10 - file_of(sq), rank_of(sq))] = b.sq[sq];
  return m;
}

bool same_position(const Board& a, const Board& b) {
  return std::memcmp(a.sq, b.sq, sizeof a.sq) == 0 &&
         std::memcmp(a.hand, b.hand, sizeof a.hand) == 0 && a.side == b.side;
}

std::string read_whole(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// When the engine's orv.csa was written anew, it must hold the position it was given.
// Returns false on a mismatch; counts the files checked.
bool check_position_file(const Player& p, std::string& last_file, const Board& given,
                         int& checked) {
  const std::string text = read_whole(p.folder / "orv.csa");
  if (text.empty() || text == last_file) return true;
  last_file = text;
  CsaGame game;
  if (!read_csa(text, game)) {
    std::fprintf(stderr, "orv.csa in %s does not read: %s\n", p.folder.u8string().c_str(),
                 game.error.c_str());
    return false;
  }
  ++checked;
  const Board expected = p.flipped ? mirrored(given) : given;
  if (!same_position(game.board, expected)) {
    std::fprintf(stderr, "orv.csa in %s differs from the game\n", p.folder.u8string().c_str());
    return false;
  }
  return true;
}

struct Result {
  int exit_code = 0;
  std::string how;      // the end, in words
  std::string csa_end;  // the record's last line
  int winner = -1;      // -1 for none
};

// The position of the first n moves of the game.
Board board_after(const std::vector<Move>& played, std::size_t n) {
  Board b;
  set_start(b);
  for (std::size_t i = 0; i < n; ++i) {
    Undo u;
    make_move(b, played[i], u);
  }
  return b;
}

std::string position_command(const std::string& moves) {
  return "position startpos" + (moves.empty() ? "" : " moves" + moves);
}

// The moves text of the first n moves.
std::string moves_text(const std::vector<Move>& played, std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += " " + usi_of(played[i]);
  return text;
}

struct Game {
  Board board;
  std::vector<Move> played;
  std::map<std::uint64_t, int> seen;
  std::string record = "V2.2\nN+orv black\nN-orv white\nPI\n+\n";
  Board last_sent[2];  // the position each player was last sent

  Game() {
    set_start(board);
    seen[board.key] = 1;
    last_sent[0] = last_sent[1] = board;
  }
};

// One search of the player to move, as a patient GUI asks it: the bestmove, and the score
// of the last report for the record.
bool patient_search(Player& p, const Options& o, int side, std::string& bestmove,
                    std::string& score) {
  p.send("go btime 0 wtime 0 byoyomi " + std::to_string(o.byoyomi_ms));
  std::string line;
  while (bestmove.empty() && p.next(line, o.setups[side].stall_ms + o.byoyomi_ms)) {
    if (line.rfind("bestmove ", 0) == 0) bestmove = line.substr(9);
    const std::size_t cp = line.find(" score cp ");
    if (line.rfind("info time ", 0) == 0 && cp != std::string::npos) {
      score = line.substr(cp + 10, line.find(' ', cp + 10) - cp - 10);
    }
  }
  return !bestmove.empty();
}

enum class Ply { kPlayed, kLeft, kEnded };

// A rule of the dialogue broken: said, with the dialogue that led to it.
Ply broken(Player& p, const Chaos& chaos, Result& result) {
  result = {5, "a broken rule: " + chaos.fault, "%CHUDAN", -1};
  std::fprintf(stderr, "%s in %s; the last lines:\n%s", result.how.c_str(),
               p.folder.u8string().c_str(), p.dialogue().c_str());
  return Ply::kEnded;
}

// One ply: the position sent (with chaos: sometimes a take-back first, an analysis, or a
// game left while the engine thinks), the search, the move checked and played.
Ply play_ply(Player* players, const Options& o, Chaos& chaos, Game& g, int ply, int& files,
             std::string* position_files, Result& result) {
  const int side = g.board.side;
  Player& p = players[side];
  const char* mover = side == 0 ? "black" : "white";
  const std::string moves = moves_text(g.played, g.played.size());
  Sent sent{g.board, g.last_sent[side], position_command(moves)};
  if (g.played.size() >= 2 && chaos.chance(10)) {  // back and forth: a take-back, then again
    p.send(position_command(moves_text(g.played, g.played.size() - 2)));
    sent.before = board_after(g.played, g.played.size() - 2);
  }
  if (!chaos.checks) p.send(sent.command);  // when checked, before every search
  g.last_sent[side] = g.board;
  std::string bestmove, score = "-";
  if (chaos.chance(8) && !chaos_analysis(p, chaos, sent, 200, bestmove)) {
    return broken(p, chaos, result);
  }
  if (chaos.chance(2)) {  // a game ended while the engine thinks
    if (!chaos_leave_search(p, chaos, sent, o.byoyomi_ms)) return broken(p, chaos, result);
    players[1 - side].send("gameover win");
    return Ply::kLeft;
  }
  bestmove.clear();
  const auto asked = Clock::now();
  const bool answered = chaos.checks ? chaos_timed_search(p, chaos, sent, o.byoyomi_ms, bestmove)
                                     : patient_search(p, o, side, bestmove, score);
  const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
  if (!answered) {
    if (!chaos.fault.empty()) return broken(p, chaos, result);
    result = {2, std::string(mover) + " gave no move: stalled or gone", "%CHUDAN", -1};
    return Ply::kEnded;
  }
  if (chaos.on && !barrier(p, chaos, sent)) return broken(p, chaos, result);  // a second one
  if (!check_position_file(p, position_files[side], g.board, files)) {
    result = {4, "orv.csa does not match the game", "%CHUDAN", -1};
    return Ply::kEnded;
  }
  if (bestmove == "resign") {
    result = {0, std::string(mover) + " resigns", "%TORYO", 1 - side};
    return Ply::kEnded;
  }
  Move m;
  if (!move_from_usi(g.board, bestmove, m)) {
    result = {3, std::string(mover) + " played an illegal move: " + bestmove, "%ILLEGAL_MOVE",
              1 - side};
    return Ply::kEnded;
  }
  g.record += std::string(side == 0 ? "+" : "-") + csa_of(m) + "\nT" +
              std::to_string(static_cast<int>(seconds)) + "\n";
  Undo u;
  make_move(g.board, m, u);
  g.played.push_back(m);
  if (!o.quiet) {
    std::printf("%4d  %-5s  %-6s %6.2f s   score %s\n", ply, mover, bestmove.c_str(), seconds,
                score.c_str());
    std::fflush(stdout);
  }
  MoveList replies;
  legal_moves(g.board, replies);
  if (replies.size == 0) {
    result = {0, std::string(mover) + " mates", "%TSUMI", 1 - side};
    return Ply::kEnded;
  }
  if (++g.seen[g.board.key] >= 4) {
    result = {0, "fourfold repetition: a draw", "%SENNICHITE", -1};
    return Ply::kEnded;
  }
  return Ply::kPlayed;
}

}  // namespace

int main(int argc, char** argv) {
  platform::init_process();
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: selfplay BLACK_FOLDER WHITE_FOLDER [--plies N] [--byoyomi MS] "
                 "[--nodes N] [--option|--black-option|--white-option NAME=VALUE] "
                 "[--record FILE] [--adapter NAME] [--games N] [--chaos SEED | --at-once] "
                 "[--quirks SEED] [--quiet]\n");
    return 1;
  }
  Player players[2];
  // Only a GUI that checks every rule meets an engine that strays beyond the engine's rules.
  const bool checks = o.chaos != 0 || o.at_once;
  o.setups[0].stray = o.setups[1].stray = checks;
  std::string position_files[2];  // each engine's orv.csa as last checked
  for (int c = 0; c < 2; ++c) {
    if (!start_player(players[c], o.folders[c], o.setups[c])) {
      std::fprintf(stderr, "cannot start %s in %s\n", o.setups[c].adapter.c_str(),
                   o.folders[c].c_str());
      if (c == 1) stop_player(players[0]);
      return 1;
    }
  }
  Chaos chaos;
  chaos.on = o.chaos != 0;
  chaos.checks = checks;
  chaos.noted = checks && o.setups[0].quirks != 0;
  chaos.random.seed(o.chaos);

  Result result;
  int files_checked = 0, games = 0, left = 0;
  std::size_t moves_played = 0;
  Game game;
  for (int ply = 1; games < o.games; ++ply) {
    Ply end = Ply::kEnded;
    if (ply > o.plies) {
      result = {0, "ply limit reached: a draw", "%CHUDAN", -1};
    } else {
      end = play_ply(players, o, chaos, game, ply, files_checked, position_files, result);
    }
    if (end == Ply::kPlayed) continue;
    ++games;
    moves_played += game.played.size();
    if (end == Ply::kLeft) {
      ++left;
    } else {
      for (int c = 0; c < 2; ++c) {
        const char* outcome = result.winner < 0 ? "draw" : result.winner == c ? "win" : "lose";
        players[c].send(std::string("gameover ") + outcome);
      }
      if (result.exit_code != 0) break;
    }
    game.record += (end == Ply::kLeft ? "%CHUDAN" : result.csa_end) + "\n";
    if (!o.record.empty()) {
      FILE* f = std::fopen(o.record.c_str(), "wb");
      if (f) std::fwrite(game.record.data(), 1, game.record.size(), f), std::fclose(f);
    }
    if (games < o.games) {
      for (Player& p : players) p.send("usinewgame");
      game = Game();
      ply = 0;
    }
  }
  if (chaos.broken > 0 && result.exit_code == 0) {
    result = {5, "a broken rule: " + std::to_string(chaos.broken) + " bestmove(s)", "", -1};
  }
  if (o.games == 1 && left == 0) {
    std::printf("%s after %zu moves; %d orv.csa file(s) checked against the game\n",
                result.how.c_str(), moves_played, files_checked);
  } else {
    std::printf(
        "%d game(s) (%d left while the engine thought) of %zu moves; %s; %d orv.csa "
        "file(s) checked against the game%s%s\n",
        games, left, moves_played, result.exit_code == 0 ? "no fault" : result.how.c_str(),
        files_checked, checks ? "; " : "", checks ? chaos_summary(chaos).c_str() : "");
  }
  for (Player& p : players) {
    const long peak = peak_memory_kib(p);
    if (checks && peak > kPeakMemoryKib && result.exit_code == 0) {
      std::fprintf(stderr, "orv in %s took %ld KiB at its peak\n", p.folder.u8string().c_str(),
                   peak);
      result.exit_code = 5;
    }
    if (!stop_player(p)) {
      std::fprintf(stderr, "%s did not end with exit code 0 after quit\n",
                   p.folder.u8string().c_str());
      if (result.exit_code == 0) result.exit_code = 6;
    }
  }
  return result.exit_code;
}
