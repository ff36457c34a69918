// molvara, the stand-in engine: reads the engine commands that orv sends on standard input
// and answers on standard output (search reports, candidate lists, its move) and standard
// error (what it cannot do).
//
// With MOLVARA_QUIRKS=<seed> in its environment it behaves as real engines may, chosen by
// the seed: blank lines, lines ending in LF or CR LF, lines written in pieces (CR and LF
// apart), short delays, remarks and floods on standard error (before its banner too), and
// an analysis (an unlimited search) that ends by itself, as when a mate is found. With
// MOLVARA_STRAY set as well, it also strays beyond the engine's contract, as some engines do: a
// search refused (on standard error, or with a line that is no move), a search ended by "s" without
// its move, a move line written twice, a move line right after the banner, a flood of complaints.
// What leaves a search unanswered is noted in quirks.log, one line each, for the tools that check
// the dialogue.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "standin/book.h"
#include "standin/csa_file.h"
#include "standin/rules.h"
#include "standin/search.h"

namespace standin {
namespace {

constexpr const char* kBanner = "molvara stand-in 1.0 - The Computer Shogi Engine";
constexpr std::int64_t kUnlimitedByoyomiMs = 86400LL * 1000;
constexpr std::int64_t kDefaultMoveMs = 1000;
constexpr std::int64_t kMinimumMoveMs = 30;

std::mutex output_lock;

struct Quirks {
  bool on = false;
  std::mt19937 random;
  bool chance(int percent) { return on && static_cast<int>(random() % 100) < percent; }
  int between(int low, int high) { return low + static_cast<int>(random() % (high - low + 1)); }
};
Quirks quirks;       // under output_lock
bool stray = false;  // quirks beyond the engine's contract too (MOLVARA_STRAY)

// One chance of the seeded quirks, from any thread.
bool quirk(int percent) {
  std::lock_guard<std::mutex> hold(output_lock);
  return quirks.chance(percent);
}

// A quirk beyond the engine's contract.
bool stray_quirk(int percent) {
  return stray && quirk(percent);
}

// A search left unanswered, for the tools that check the dialogue.
void note_unanswered(const char* what) {
  if (FILE* file = std::fopen("quirks.log", "ab")) {
    std::fprintf(file, "%s\n", what);
    std::fclose(file);
  }
}

// Bytes in one write, as a pipe takes them whole.
void put_whole(FILE* stream, const std::string& bytes) {
  std::lock_guard<std::mutex> hold(output_lock);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

void pause_ms(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Bytes written as a pipe may take them: whole, or in pieces a few milliseconds apart.
void put(FILE* stream, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t n = bytes.size() - at;
    if (quirks.chance(20)) n = static_cast<std::size_t>(quirks.between(1, static_cast<int>(n)));
    std::fwrite(bytes.data() + at, 1, n, stream);
    std::fflush(stream);
    at += n;
    if (at < bytes.size()) pause_ms(quirks.between(0, 3));
  }
}

// A remark on standard error, or a flood of them, as engines report their loading.
void remark(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "info: table " + std::to_string(quirks.random() % 1000) + " loaded, " +
            std::to_string(quirks.random()) + " entries\r\n";
  }
  put(stderr, text);
}

void say(FILE* stream, const std::string& line) {
  std::lock_guard<std::mutex> hold(output_lock);
  if (!quirks.on) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    return;
  }
  if (quirks.chance(10)) pause_ms(quirks.between(1, 30));
  std::string bytes = line + (quirks.chance(50) ? "\r\n" : "\n");
  if (quirks.chance(10)) bytes += quirks.chance(50) ? "\r\n" : "\n";  // a blank line
  put(stream, bytes);
  if (stream == stdout && quirks.chance(3)) remark(quirks.chance(10) ? 2000 : 1);
}

// Centipawns as pawns with two decimals: -35 is "-0.35".
std::string pawns(int centipawns) {
  char text[32];
  const int v = centipawns < 0 ? -centipawns : centipawns;
  std::snprintf(text, sizeof text, "%c%d.%02d", centipawns < 0 ? '-' : '+', v / 100, v % 100);
  return text;
}

bool starts_with(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

bool is_csa_move(const std::string& s) {
  if (s.size() != 6) return false;
  for (int i = 0; i < 4; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return s[4] >= 'A' && s[4] <= 'Z' && s[5] >= 'A' && s[5] <= 'Z';
}

struct Engine {
  Board board;
  bool game_over = false;
  bool time_set = false, extendable = false;
  std::int64_t main_left_ms = 0, byoyomi_ms = 0;
  std::uint64_t nodes_limit = 0;
  int depth_limit = 0;
  int resign_threshold = 32596;
  bool book_on = true, book_narrow = false;
  std::mt19937 random{std::random_device{}()};
  std::thread searcher;
  std::atomic<bool> stop{false};
  std::mutex ending;       // the searcher's end against a "s" that silences it
  bool searching = false;  // under ending
  bool silenced = false;   // under ending: the search ends without its move

  Engine() { set_start(board); }

  void wait_for_search() {
    if (searcher.joinable()) searcher.join();
  }

  Limits limits() const {
    Limits l;
    l.nodes = nodes_limit;
    l.depth = depth_limit;
    if (!time_set) {
      l.time_ms = (nodes_limit || depth_limit) ? -1 : kDefaultMoveMs;
    } else if (byoyomi_ms >= kUnlimitedByoyomiMs) {
      l.time_ms = -1;
    } else {
      std::int64_t budget = main_left_ms / 40 + byoyomi_ms * 9 / 10;
      if (extendable) budget += budget / 4;
      l.time_ms = budget > kMinimumMoveMs ? budget : kMinimumMoveMs;
    }
    return l;
  }

  void report(const Board& root, const Iteration& it) {
    const int black_view = root.side == 0 ? it.score : -it.score;
    std::string line = "info" + pawns(black_view);
    int side = root.side;
    for (const Move& m : it.pv) {
      line += side == 0 ? " +" : " -";
      line += csa_of(m);
      side = 1 - side;
    }
    say(stdout, line);
    const std::int64_t nps =
        it.elapsed_ms > 0 ? static_cast<std::int64_t>(it.nodes) * 1000 / it.elapsed_ms : 0;
    say(stdout, "statsatu=" + std::to_string(it.hash_use) + " nodes=" + std::to_string(it.nodes) +
                    " nps=" + std::to_string(nps / 10));
  }

  void play(const Move& m) {
    Undo u;
    const std::string csa = csa_of(m);
    make_move(board, m, u);
    if (stray_quirk(3)) return put_whole(stdout, "move" + csa + "\r\nmove" + csa + "\r\n");
    say(stdout, "move" + csa);
  }

  // A refusal: no move will follow.
  bool refused() {
    if (stray_quirk(2)) {
      note_unanswered("refused");
      say(stderr, "cannot search: hash table allocation failed");
      return true;
    }
    if (stray_quirk(1)) {
      note_unanswered("refused");
      say(stdout, "error: no search");
      return true;
    }
    if (stray_quirk(1)) {  // the complaint that answers the search, over and over
      std::string flood;
      for (int i = quirk(50) ? 50 : 20; i > 0; --i) flood += "No legal moves to search\r\n";
      put_whole(stderr, flood);
      return true;
    }
    return false;
  }

  std::vector<Move> restraint() {
    std::vector<Move> excluded;
    FILE* file = std::fopen("restraint.dat", "rb");
    if (!file) return excluded;
    char record[8];
    while (std::fread(record, 1, 7, file) == 7) {
      Move m;
      if (move_from_csa(board, std::string(record, 6), m)) excluded.push_back(m);
    }
    std::fclose(file);
    return excluded;
  }

  void start_search(const std::vector<Move>& excluded) {
    if (game_over) return say(stderr, "move after a game was concluded");
    if (refused()) return;
    MoveList list;
    legal_moves(board, list);
    if (list.size == 0) {
      game_over = true;
      return say(stderr, "No legal moves to search");
    }
    if (book_on && excluded.empty()) {
      std::vector<BookMove> candidates = book_moves(board);
      if (!candidates.empty()) {
        std::string line = "info";
        for (const BookMove& c : candidates) {
          line += " " + csa_of(c.move) + "(" + std::to_string(c.percent) + "%)";
        }
        say(stdout, line);
        return play(choose_book_move(candidates, book_narrow, random));
      }
    }
    stop = false;
    const Board root = board;
    Limits l = limits();
    if (l.time_ms < 0 && !nodes_limit && !depth_limit) {  // an analysis: until "s"
      std::lock_guard<std::mutex> hold(output_lock);
      if (quirks.chance(30)) l.time_ms = quirks.between(20, 600);  // a mate found, say
    }
    {
      std::lock_guard<std::mutex> hold(ending);
      searching = true, silenced = false;
    }
    searcher = std::thread([this, root, l, excluded] {
      const auto started = std::chrono::steady_clock::now();
      SearchResult r =
          search(root, l, excluded, stop, [&](const Iteration& it) { report(root, it); });
      const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
      if (time_set) main_left_ms = main_left_ms > used ? main_left_ms - used : 0;
      {
        std::lock_guard<std::mutex> hold(ending);
        searching = false;
        if (silenced) return note_unanswered("silent stop");
      }
      if (r.score <= -resign_threshold) {
        game_over = true;
        return say(stdout, "resign");
      }
      play(r.best);
    });
  }

  void limit(const std::string& args) {
    if (args == "time extendable" || args == "time strict") {
      extendable = args == "time extendable";
      return;
    }
    long long a = 0, b = 0;
    if (std::sscanf(args.c_str(), "time %lld %lld", &a, &b) == 2) {
      time_set = true, main_left_ms = a * 60000, byoyomi_ms = b * 1000;
    } else if (std::sscanf(args.c_str(), "time %lld", &a) == 1) {
      time_set = true, main_left_ms = 0, byoyomi_ms = a * 1000;
    } else if (std::sscanf(args.c_str(), "nodes %lld", &a) == 1) {
      nodes_limit = static_cast<std::uint64_t>(a);
    } else if (std::sscanf(args.c_str(), "depth %lld", &a) == 1) {
      depth_limit = static_cast<int>(a);
    } else {
      say(stderr, "unknown limit: " + args);
    }
  }

  void command(const std::string& c) {
    if (c == "s") {
      std::lock_guard<std::mutex> hold(ending);
      if (searching && stray_quirk(5)) silenced = true;
      stop = true;
      return;
    }
    wait_for_search();
    if (starts_with(c, "read ")) {
      CsaGame game;
      if (!read_csa_file(c.substr(5), game))
        return say(stderr, "cannot read " + c.substr(5) + ": " + game.error);
      board = game.board;
      game_over = false;
    } else if (c == "move") {
      start_search({});
    } else if (c == "move restraint") {
      start_search(restraint());
    } else if (is_csa_move(c)) {
      Move m;
      if (game_over) return say(stderr, "move after a game was concluded");
      if (!move_from_csa(board, c, m)) return say(stderr, "illegal move " + c);
      Undo u;
      make_move(board, m, u);
      start_search({});
    } else if (starts_with(c, "limit ")) {
      limit(c.substr(6));
    } else if (starts_with(c, "resign ")) {
      resign_threshold = std::atoi(c.c_str() + 7);
    } else if (starts_with(c, "book ")) {
      const std::string mode = c.substr(5);
      if (mode == "on" || mode == "off") book_on = mode == "on";
      if (mode == "narrow" || mode == "wide") book_narrow = mode == "narrow";
    } else if (starts_with(c, "ponder ") || starts_with(c, "tlp num ")) {
      // Accepted: the stand-in neither ponders nor searches with more than one thread.
    } else {
      say(stderr, "unknown command: " + c);
    }
  }
};

}  // namespace
}  // namespace standin

int main() {
  if (const char* seed = std::getenv("MOLVARA_QUIRKS")) {
    standin::quirks.on = true;
    standin::quirks.random.seed(static_cast<unsigned>(std::strtoul(seed, nullptr, 10)));
    standin::stray = std::getenv("MOLVARA_STRAY") != nullptr;
    // Some engines say much before their banner: more than a pipe holds.
    if (standin::quirks.chance(30)) standin::remark(standin::quirks.between(1, 2000));
  }
  standin::Engine engine;
  standin::say(stdout, standin::kBanner);
  if (standin::stray_quirk(10)) standin::say(stdout, "move7776FU");  // a move nobody asked for
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) engine.command(line);
  }
  engine.stop = true;
  engine.wait_for_search();
  return 0;
}
