// Plays a game between two USI engines as a GUI would: "usi", "isready", "usinewgame",
// "position startpos moves ...", "go" with the clocks, "bestmove", "gameover", "quit".
// Every move is checked with the stand-in's rules; after every move the engine's folder's
// orv.csa, when it was written anew, must hold the position the engine was given.
//
//   selfplay BLACK_FOLDER WHITE_FOLDER [--plies N] [--byoyomi MS] [--nodes N]
//            [--black-option NAME=VALUE]... [--white-option NAME=VALUE]...
//            [--record FILE.csa] [--adapter NAME] [--quiet]
//
// Exit code: 0 a game played to its end, 1 cannot start, 2 an engine stalled or went away,
// 3 an illegal move, 4 an orv.csa that does not match the game.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "standin/csa_file.h"
#include "standin/rules.h"

using namespace standin;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string folders[2];
  int plies = 256;
  int byoyomi_ms = 1000;
  long nodes = 0;
  std::vector<std::string> settings[2];
  std::string record;
  std::string adapter = "orv_molvara";
  bool quiet = false;
  int stall_ms = 30000;
};

// One engine: its process and the lines it has printed.
struct Player {
  std::string folder;
  bool flipped = false;
  platform::Child child;
  std::thread reader;
  std::mutex lock;
  std::condition_variable arrived;
  std::deque<std::string> lines;
  bool ended = false;
  std::string last_position_file;

  void read_lines() {
    std::string pending;
    char buffer[4096];
    for (;;) {
      long n = platform::read_pipe(child.from_out, buffer, sizeof buffer);
      if (n <= 0) break;
      pending.append(buffer, static_cast<std::size_t>(n));
      std::size_t lf;
      while ((lf = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending.erase(0, lf + 1);
        std::lock_guard<std::mutex> hold(lock);
        lines.push_back(line);
        arrived.notify_all();
      }
    }
    std::lock_guard<std::mutex> hold(lock);
    ended = true;
    arrived.notify_all();
  }

  void send(const std::string& line) {
    std::string text = line + "\n";
    platform::write_pipe(child.to_engine, text.data(), text.size());
  }

  // The next line; false after the timeout or when the engine has gone.
  bool next(std::string& line, int timeout_ms) {
    std::unique_lock<std::mutex> hold(lock);
    arrived.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                     [&] { return !lines.empty() || ended; });
    if (lines.empty()) return false;
    line = lines.front();
    lines.pop_front();
    return true;
  }

  bool wait_for(const std::string& wanted, int timeout_ms) {
    std::string line;
    while (next(line, timeout_ms)) {
      if (line == wanted) return true;
    }
    return false;
  }
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
      o.nodes = std::atol(value().c_str());
    else if (a == "--black-option")
      o.settings[0].push_back(value());
    else if (a == "--white-option")
      o.settings[1].push_back(value());
    else if (a == "--option")
      o.settings[0].push_back(value()), o.settings[1].push_back(o.settings[0].back());
    else if (a == "--record")
      o.record = value();
    else if (a == "--adapter")
      o.adapter = value();
    else if (a == "--quiet")
      o.quiet = true;
    else if (a == "--stall")
      o.stall_ms = std::atoi(value().c_str());
    else if (folders < 2 && a[0] != '-')
      o.folders[folders++] = a;
    else
      return false;
  }
  return folders == 2;
}

// A check option's value as the adapter reads it: anything but "false", "0" or nothing.
bool is_on(const std::string& value) {
  return value != "false" && value != "0" && !value.empty();
}

bool start(Player& p, const Options& o, int color) {
  // The adapter is started in its folder by its full path.
  p.folder = std::filesystem::absolute(o.folders[color]).string();
  platform::Path folder = platform::to_path(p.folder);
  folder += platform::path_separator();
  if (!platform::start_child(folder, platform::to_path(o.adapter), p.child)) return false;
  p.reader = std::thread(&Player::read_lines, &p);
  p.send("usi");
  // The adapter keeps its options from run to run: what it offers as default is in force.
  std::string line;
  bool ok = false;
  while (!ok && p.next(line, o.stall_ms)) {
    ok = line == "usiok";
    const std::string flip = "option name FlipHorizontal type check default ";
    if (line.rfind(flip, 0) == 0) p.flipped = is_on(line.substr(flip.size()));
  }
  if (!ok) return false;
  for (const std::string& s : o.settings[color]) {
    const std::size_t eq = s.find('=');
    p.send("setoption name " + s.substr(0, eq) + " value " + s.substr(eq + 1));
    if (s.substr(0, eq) == "FlipHorizontal") p.flipped = is_on(s.substr(eq + 1));
  }
  if (o.nodes > 0) {
    p.send("setoption name TimeControl value Nodes");
    p.send("setoption name Nodes value " + std::to_string(o.nodes));
  }
  p.send("isready");
  if (!p.wait_for("readyok", o.stall_ms)) return false;
  p.send("usinewgame");
  return true;
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
bool check_position_file(Player& p, const Board& given, int& checked) {
  const std::string path = p.folder + platform::path_separator() + "orv.csa";
  const std::string text = read_whole(path);
  if (text.empty() || text == p.last_position_file) return true;
  p.last_position_file = text;
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
                 "[--record FILE] [--adapter NAME] [--quiet]\n");
    return 1;
  }
  Player players[2];
  for (int c = 0; c < 2; ++c) {
    if (!start(players[c], o, c)) {
      std::fprintf(stderr, "cannot start %s in %s\n", o.adapter.c_str(), o.folders[c].c_str());
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
    while (bestmove.empty() && p.next(line, o.stall_ms + o.byoyomi_ms)) {
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
    if (!check_position_file(p, given, files_checked)) {
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
    players[c].send("quit");
  }
  record += result.csa_end + "\n";
  if (!o.record.empty()) {
    FILE* f = std::fopen(o.record.c_str(), "wb");
    if (f) std::fwrite(record.data(), 1, record.size(), f), std::fclose(f);
  }
  std::printf("%s after %zu moves; %d orv.csa file(s) checked against the game\n",
              result.how.c_str(),
              static_cast<std::size_t>(std::count(moves.begin(), moves.end(), ' ')), files_checked);
  for (Player& p : players) {
    platform::close_handle(p.child.to_engine);
    if (p.reader.joinable()) p.reader.join();
  }
  return result.exit_code;
}
