// Plays a game between two USI engines as a GUI would: "usi", "isready", "usinewgame",
// "position startpos moves ...", "go" with the clocks, "bestmove", "gameover", "quit".
// Every move is checked with the stand-in's rules; after every move the engine's folder's
// orv.csa, when it was written anew, must hold the position the engine was given.
//
//   selfplay BLACK_FOLDER WHITE_FOLDER [--plies N] [--byoyomi MS] [--nodes N]
//            [--black-option NAME=VALUE]... [--white-option NAME=VALUE]...
//            [--record FILE.csa] [--adapter NAME] [--quirks SEED] [--quiet]
//
// --quirks has each stand-in engine behave as real engines may (blank lines, lines in
// pieces, remarks on standard error, delays), chosen by the seed.
//
// Exit code: 0 a game played to its end, 1 cannot start, 2 an engine stalled or went away,
// 3 an illegal move, 4 an orv.csa that does not match the game.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "standin/csa_file.h"
#include "standin/rules.h"
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

std::string read_whole(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  return text;
}

// When the engine's orv.csa was written anew, it must hold the position it was given.
// Returns false on a mismatch; counts the files checked.
bool check_position_file(const Player& p, std::string& last_file, const Board& given,
                         int& checked) {
  const std::string path = p.folder + platform::path_separator() + "orv.csa";
  const std::string text = read_whole(path);
  if (text.empty() || text == last_file) return true;
  last_file = text;
  CsaGame game;
  if (!read_csa(text, game)) {
    std::fprintf(stderr, "orv.csa in %s does not read: %s\n", p.folder.c_str(), game.error.c_str());
    return false;
  }
  ++checked;
  const Board expected = p.flipped ? mirrored(given) : given;
  if (!same_position(game.board, expected)) {
    std::fprintf(stderr, "orv.csa in %s differs from the game\n", p.folder.c_str());
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

}  // namespace

int main(int argc, char** argv) {
  platform::init_process();
  Options o;
  if (!parse_options(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: selfplay BLACK_FOLDER WHITE_FOLDER [--plies N] [--byoyomi MS] "
                 "[--nodes N] [--option|--black-option|--white-option NAME=VALUE] "
                 "[--record FILE] [--adapter NAME] [--quirks SEED] [--quiet]\n");
    return 1;
  }
  Player players[2];
  std::string position_files[2];  // each engine's orv.csa as last checked
  for (int c = 0; c < 2; ++c) {
    if (!start_player(players[c], o.folders[c], o.setups[c])) {
      std::fprintf(stderr, "cannot start %s in %s\n", o.setups[c].adapter.c_str(),
                   o.folders[c].c_str());
      if (c == 1) stop_player(players[0]);
      return 1;
    }
  }

  Board board;
  set_start(board);
  std::map<std::uint64_t, int> seen{{board.key, 1}};
  std::string moves, record = "V2.2\nN+orv black\nN-orv white\nPI\n+\n";
  Result result;
  int files_checked = 0;
  for (int ply = 1;; ++ply) {
    if (ply > o.plies) {
      result = {0, "ply limit reached: a draw", "%CHUDAN", -1};
      break;
    }
    Player& p = players[board.side];
    const Board given = board;
    p.send("position startpos" + (moves.empty() ? "" : " moves" + moves));
    p.send("go btime 0 wtime 0 byoyomi " + std::to_string(o.byoyomi_ms));
    const auto asked = Clock::now();
    std::string line, bestmove, score = "-";
    while (bestmove.empty() && p.next(line, o.setups[board.side].stall_ms + o.byoyomi_ms)) {
      if (line.rfind("bestmove ", 0) == 0) bestmove = line.substr(9);
      const std::size_t cp = line.find(" score cp ");
      if (line.rfind("info time ", 0) == 0 && cp != std::string::npos) {
        score = line.substr(cp + 10, line.find(' ', cp + 10) - cp - 10);
      }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    const char* mover = board.side == 0 ? "black" : "white";
    if (bestmove.empty()) {
      result = {2, std::string(mover) + " gave no move: stalled or gone", "%CHUDAN", -1};
      break;
    }
    if (!check_position_file(p, position_files[board.side], given, files_checked)) {
      result = {4, "orv.csa does not match the game", "%CHUDAN", -1};
      break;
    }
    if (bestmove == "resign") {
      result = {0, std::string(mover) + " resigns", "%TORYO", 1 - board.side};
      break;
    }
    Move m;
    if (!move_from_usi(board, bestmove, m)) {
      result = {3, std::string(mover) + " played an illegal move: " + bestmove, "%ILLEGAL_MOVE",
                1 - board.side};
      break;
    }
    record += std::string(board.side == 0 ? "+" : "-") + csa_of(m) + "\nT" +
              std::to_string(static_cast<int>(seconds)) + "\n";
    Undo u;
    make_move(board, m, u);
    moves += " " + bestmove;
    if (!o.quiet) {
      std::printf("%4d  %-5s  %-6s %6.2f s   score %s\n", ply, mover, bestmove.c_str(), seconds,
                  score.c_str());
      std::fflush(stdout);
    }
    MoveList replies;
    legal_moves(board, replies);
    if (replies.size == 0) {
      result = {0, std::string(mover) + " mates", "%TSUMI", 1 - board.side};
      break;
    }
    if (++seen[board.key] >= 4) {
      result = {0, "fourfold repetition: a draw", "%SENNICHITE", -1};
      break;
    }
  }

  for (int c = 0; c < 2; ++c) {
    const char* outcome = result.winner < 0 ? "draw" : result.winner == c ? "win" : "lose";
    players[c].send(std::string("gameover ") + outcome);
  }
  record += result.csa_end + "\n";
  if (!o.record.empty()) {
    FILE* f = std::fopen(o.record.c_str(), "wb");
    if (f) std::fwrite(record.data(), 1, record.size(), f), std::fclose(f);
  }
  std::printf("%s after %zu moves; %d orv.csa file(s) checked against the game\n",
              result.how.c_str(),
              static_cast<std::size_t>(std::count(moves.begin(), moves.end(), ' ')), files_checked);
  for (Player& p : players) stop_player(p);
  return result.exit_code;
}
