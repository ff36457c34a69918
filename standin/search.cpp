#include "standin/search.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace standin {
namespace {

// Centipawns by kind; a piece in hand is worth a little more than on the board.
constexpr int kValue[15] = {0, 100, 300, 350, 500, 550,  800, 950,
                            0, 520, 520, 520, 520, 1050, 1200};
constexpr int kInHandBonus = 10;
constexpr int kMaxPly = 64;
constexpr int kTableBits = 16;

using Clock = std::chrono::steady_clock;

struct Entry {
  std::uint64_t key = 0;
  Move best;
  bool used = false;
};

struct Searcher {
  Board board;
  Limits limits;
  const std::atomic<bool>* stop;
  Clock::time_point started;
  std::uint64_t nodes = 0;
  bool aborted = false;
  Move pv[kMaxPly][kMaxPly];
  int pv_length[kMaxPly] = {};
  std::vector<Entry> table = std::vector<Entry>(1u << kTableBits);
  int table_used = 0;

  std::int64_t elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
  }

  bool out_of_budget() {
    if ((nodes & 1023) != 0) return aborted;
    if (stop->load(std::memory_order_relaxed)) aborted = true;
    if (limits.time_ms >= 0 && elapsed() >= limits.time_ms) aborted = true;
    if (limits.nodes && nodes >= limits.nodes) aborted = true;
    return aborted;
  }

  Entry& entry() { return table[board.key & ((1u << kTableBits) - 1)]; }

  void remember(const Move& m) {
    Entry& e = entry();
    if (!e.used) ++table_used;
    e = {board.key, m, true};
  }

  // Captures of valuable pieces first, the table's move before all.
  void order(MoveList& list) {
    const Entry& e = entry();
    const bool known = e.used && e.key == board.key;
    int score[kMaxMoves];
    for (int i = 0; i < list.size; ++i) {
      const Move& m = list.moves[i];
      int s = m.from == kDropFrom ? 0 : kValue[kind_of(board.sq[m.to])] * 8 - kValue[m.kind];
      if (m.promote) s += 300;
      if (known && m == e.best) s = 1 << 20;
      score[i] = s;
    }
    // Insertion sort: lists are short and mostly in order already.
    for (int i = 1; i < list.size; ++i) {
      Move m = list.moves[i];
      int s = score[i], j = i - 1;
      for (; j >= 0 && score[j] < s; --j)
        list.moves[j + 1] = list.moves[j], score[j + 1] = score[j];
      list.moves[j + 1] = m, score[j + 1] = s;
    }
  }

  int quiesce(int alpha, int beta, int ply) {
    ++nodes;
    if (out_of_budget()) return 0;
    const int stand = evaluate(board);
    if (stand >= beta || ply >= kMaxPly - 1) return stand;
    alpha = std::max(alpha, stand);
    MoveList list;
    legal_captures(board, list);
    order(list);
    for (int i = 0; i < list.size; ++i) {
      Undo u;
      make_move(board, list.moves[i], u);
      const int score = -quiesce(-beta, -alpha, ply + 1);
      unmake_move(board, list.moves[i], u);
      if (aborted) return 0;
      if (score >= beta) return score;
      alpha = std::max(alpha, score);
    }
    return alpha;
  }

  int alpha_beta(int alpha, int beta, int depth, int ply, const std::vector<Move>* excluded) {
    pv_length[ply] = ply;
    if (depth <= 0 || ply >= kMaxPly - 1) return quiesce(alpha, beta, ply);
    ++nodes;
    if (out_of_budget()) return 0;
    MoveList list;
    legal_moves(board, list);
    if (excluded) drop_excluded(list, *excluded);
    if (list.size == 0) return -kMate + ply;  // no move is a lost game in shogi
    order(list);
    int best = -kMate - 1;
    for (int i = 0; i < list.size; ++i) {
      const Move& m = list.moves[i];
      Undo u;
      make_move(board, m, u);
      const int score = -alpha_beta(-beta, -alpha, depth - 1, ply + 1, nullptr);
      unmake_move(board, m, u);
      if (aborted) return 0;
      if (score > best) {
        best = score;
        pv[ply][ply] = m;
        for (int j = ply + 1; j < pv_length[ply + 1]; ++j) pv[ply][j] = pv[ply + 1][j];
        pv_length[ply] = pv_length[ply + 1];
      }
      if (score > alpha) {
        alpha = score;
        remember(m);
      }
      if (alpha >= beta) break;
    }
    return best;
  }

  static void drop_excluded(MoveList& list, const std::vector<Move>& excluded) {
    MoveList kept;
    for (int i = 0; i < list.size; ++i) {
      if (std::find(excluded.begin(), excluded.end(), list.moves[i]) == excluded.end()) {
        kept.moves[kept.size++] = list.moves[i];
      }
    }
    if (kept.size > 0) list = kept;  // with every move excluded, any move will do
  }
};

// How hard the king of color is pressed: the squares around it that the other side
// attacks, and the pieces the other side holds in hand to drop there.
int king_pressure(const Board& b, int color) {
  const std::uint8_t king = static_cast<std::uint8_t>(kKing | (color ? kWhite : 0));
  int at = -1;
  for (int sq = 0; sq < 81 && at < 0; ++sq) {
    if (b.sq[sq] == king) at = sq;
  }
  if (at < 0) return 0;
  int pressure = 0;
  for (int df = -1; df <= 1; ++df) {
    for (int dr = -1; dr <= 1; ++dr) {
      const int f = file_of(at) + df, r = rank_of(at) + dr;
      if (f < 1 || f > 9 || r < 1 || r > 9) continue;
      if (attacked(b, square(f, r), 1 - color)) pressure += 25;
    }
  }
  int in_hand = 0;
  for (int k = kPawn; k <= kRook; ++k) in_hand += b.hand[1 - color][k];
  return pressure * (1 + in_hand) / 2;
}

}  // namespace

int evaluate(const Board& b) {
  int score = 0;  // black's view
  for (int sq = 0; sq < 81; ++sq) {
    const std::uint8_t p = b.sq[sq];
    if (p == kEmpty) continue;
    int v = kValue[kind_of(p)];
    // Pawns and silvers gain a little as they advance.
    if (kind_of(p) == kPawn || kind_of(p) == kSilver) {
      const int advance = color_of(p) == 0 ? 9 - rank_of(sq) : rank_of(sq) - 1;
      v += 3 * advance;
    }
    score += color_of(p) == 0 ? v : -v;
  }
  for (int k = kPawn; k <= kRook; ++k) {
    score += (kValue[k] + kInHandBonus) * (b.hand[0][k] - b.hand[1][k]);
  }
  score += king_pressure(b, 1) - king_pressure(b, 0);
  return b.side == 0 ? score : -score;
}

SearchResult search(const Board& root, const Limits& limits, const std::vector<Move>& excluded,
                    const std::atomic<bool>& stop,
                    const std::function<void(const Iteration&)>& report) {
  auto s = std::make_unique<Searcher>();
  s->board = root;
  s->limits = limits;
  s->stop = &stop;
  s->started = Clock::now();
  SearchResult result;
  MoveList list;
  legal_moves(s->board, list);
  Searcher::drop_excluded(list, excluded);
  if (list.size == 0) return result;
  result.has_move = true;
  result.best = list.moves[0];
  for (int depth = 1; depth < kMaxPly - 1; ++depth) {
    const int score = s->alpha_beta(-kMate - 1, kMate + 1, depth, 0, &excluded);
    if (s->aborted) break;
    result.best = s->pv[0][0];
    result.score = score;
    Iteration it{
        depth,        score,
        {},           s->nodes,
        s->elapsed(), static_cast<int>(100LL * s->table_used / static_cast<int>(s->table.size()))};
    for (int i = 0; i < s->pv_length[0]; ++i) it.pv.push_back(s->pv[0][i]);
    report(it);
    if (limits.depth && depth >= limits.depth) break;
    if (score >= kMate - kMaxPly || score <= -kMate + kMaxPly) break;      // a mate is found
    if (limits.time_ms >= 0 && s->elapsed() * 2 >= limits.time_ms) break;  // no time for more
  }
  return result;
}

}  // namespace standin
