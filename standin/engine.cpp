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
// its move, or answered up to 3 s after it, a move line written twice (in one write, or up to
// 100 ms apart), a move its board allows but the rules do not, a resign or a complaint that it
// has no legal move for no reason, a move line right after the banner, a flood of complaints.
// Each search, its answer and each surprise are noted in quirks.log (see standin/quirks.h).
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
#include "standin/quirks.h"
#include "standin/rules.h"
#include "standin/search.h"
#include "standin/wrong_moves.h"

namespace standin {
namespace {

constexpr const char* kBanner = "molvara stand-in 1.0 - The Computer Shogi Engine";
constexpr std::int64_t kUnlimitedByoyomiMs = 86400LL * 1000;
constexpr std::int64_t kDefaultMoveMs = 1000;
constexpr std::int64_t kMinimumMoveMs = 30;
// The longest an answer to "s" comes after it.
constexpr int kLateMs = 3000;

using Clock = std::chrono::steady_clock;

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
  std::mutex ending;       // the searcher's end against a "s" that silences or delays it
  bool searching = false;  // under ending
  bool silenced = false;   // under ending: the search ends without its move
  bool late = false;       // under ending: its move comes at answer_at
  Clock::time_point answer_at;
  // This run of the engine and its searches, for the ids of quirks.log.
  const std::string run = std::to_string(
      std::random_device{}() ^ static_cast<unsigned>(Clock::now().time_since_epoch().count()));
  int searches = 0;
  std::string search_id;  // the search under way, or the last one

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

  void begin_search() {
    search_id = run + "." + std::to_string(++searches);
    char key[24];
    std::snprintf(key, sizeof key, "%llx", static_cast<unsigned long long>(compute_key(board)));
    note("search", search_id, key);
  }

  // A complaint that answers the search: it has nothing to search.
  void complain(const std::string& id, const char* what) {
    note("answer", id, "complaint");
    say(stderr, what);
  }

  // Sometimes a move the rules do not allow instead of m, of a kind the seed chooses.
  Move maybe_wrong(const Move& m, const std::string& id) {
    if (!stray_quirk(4, "illegal")) return m;
    const int first = quirk_between(0, kWrongMoveKinds - 1);
    for (int i = 0; i < kWrongMoveKinds; ++i) {
      Move wrong;
      if (wrong_move(board, static_cast<WrongMove>((first + i) % kWrongMoveKinds), wrong)) {
        note("quirk", id, "illegal");
        return wrong;
      }
    }
    return m;
  }

  void play(const Move& best, const std::string& id) {
    const Move m = maybe_wrong(best, id);
    Undo u;
    const std::string csa = csa_of(m);
    make_move(board, m, u);
    note("answer", id, csa);
    if (stray_quirk(3, "twice")) {
      note("quirk", id, "twice");
      return put_whole(stdout, "move" + csa + "\r\nmove" + csa + "\r\n");
    }
    if (stray_quirk(4, "copy")) {  // twice, a moment apart: the GUI may have asked the next search
      say(stdout, "move" + csa);
      pause_ms(quirk_between(0, 100));
      note("quirk", id, "copy");  // the surprise is the copy
    }
    say(stdout, "move" + csa);
  }

  // A refusal, or an answer that is no move, for no reason: no move follows.
  bool refused() {
    if (stray_quirk(2, "refuse")) {
      note("unanswered", search_id, "refused");
      say(stderr, "cannot search: hash table allocation failed");
      return true;
    }
    if (stray_quirk(1, "refuse")) {
      note("unanswered", search_id, "refused");
      say(stdout, "error: no search");
      return true;
    }
    if (stray_quirk(1, "flood")) {  // the complaint that answers the search, over and over
      note("quirk", search_id, "flood");
      note("answer", search_id, "complaint");
      std::string flood;
      for (int i = quirk(50) ? 50 : 20; i > 0; --i) flood += "No legal moves to search\r\n";
      put_whole(stderr, flood);
      return true;
    }
    if (stray_quirk(1, "resign")) {
      note("quirk", search_id, "resign");
      note("answer", search_id, "resign");
      game_over = true;
      say(stdout, "resign");
      return true;
    }
    if (stray_quirk(1, "complain")) {
      note("quirk", search_id, "complaint");
      game_over = true;
      complain(search_id, "No legal moves to search");
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
    begin_search();
    if (game_over) return complain(search_id, "move after a game was concluded");
    if (refused()) return;
    MoveList list;
    legal_moves(board, list);
    if (list.size == 0) {
      game_over = true;
      return complain(search_id, "No legal moves to search");
    }
    if (book_on && excluded.empty()) {
      std::vector<BookMove> candidates = book_moves(board);
      if (!candidates.empty()) {
        std::string line = "info";
        for (const BookMove& c : candidates) {
          line += " " + csa_of(c.move) + "(" + std::to_string(c.percent) + "%)";
        }
        say(stdout, line);
        return play(choose_book_move(candidates, book_narrow, random), search_id);
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
      searching = true, silenced = false, late = false;
    }
    searcher = std::thread([this, root, l, excluded, id = search_id] {
      const auto started = std::chrono::steady_clock::now();
      SearchResult r =
          search(root, l, excluded, stop, [&](const Iteration& it) { report(root, it); });
      const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
      if (time_set) main_left_ms = main_left_ms > used ? main_left_ms - used : 0;
      bool delayed;
      {
        std::lock_guard<std::mutex> hold(ending);
        searching = false;
        if (silenced) return note("unanswered", id, "silent stop");
        delayed = late;
      }
      if (delayed) std::this_thread::sleep_until(answer_at);
      if (r.score <= -resign_threshold) {
        game_over = true;
        note("answer", id, "resign");
        return say(stdout, "resign");
      }
      play(r.best, id);
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
      if (searching && stray_quirk(5, "silent")) {
        silenced = true;
      } else if (searching && stray_quirk(10, "late")) {  // much to unwind: the move comes late
        const int ms = quirk_between(0, kLateMs);
        late = true;
        answer_at = Clock::now() + std::chrono::milliseconds(ms);
        note("quirk", search_id, "late " + std::to_string(ms));
      }
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
      if (game_over) {
        begin_search();
        return complain(search_id, "move after a game was concluded");
      }
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
    standin::start_quirks(seed, std::getenv("MOLVARA_STRAY"));
    // Some engines say much before their banner: more than a pipe holds.
    if (standin::quirk(30)) standin::remark(standin::quirk_between(1, 2000));
  }
  standin::Engine engine;
  standin::note("start", engine.run, "-");
  standin::say(stdout, standin::kBanner);
  if (standin::stray_quirk(10, "banner")) {  // a move nobody asked for
    standin::note("quirk", "banner", "move");
    standin::note("answer", "banner", "7776FU");
    standin::say(stdout, "move7776FU");
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) engine.command(line);
  }
  engine.stop = true;
  engine.wait_for_search();
  return 0;
}
