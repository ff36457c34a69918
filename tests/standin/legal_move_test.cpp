// The adapter's rules for engine moves against the stand-in engine's own: in random games
// and in random positions around a king that a pawn drop may mate, every six-character
// move, also read with files mirrored, is legal to both or to neither. And the moves the
// stand-in answers with as a faulty engine are readable on the adapter's board but legal to
// neither.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "notation/legal_move.h"
#include "notation/moves.h"
#include "standin/rules.h"
#include "standin/wrong_moves.h"

using namespace standin;

#ifndef ORV_SWEEP_SHARE
#define ORV_SWEEP_SHARE 1  // of the positions, one in this many is swept
#endif

namespace {

const std::string kCodes = "FUKYKEGIKIKAHIOUTONYNKNGUMRY";

// The stand-in counts kinds from 1 in orv's order, its promoted kinds after the king.
Position position_of(const Board& b) {
  Position p;
  for (int sq = 0; sq < 81; ++sq) {
    const int kind = kind_of(b.sq[sq]), basic = unpromoted(kind);
    if (kind == kEmpty) continue;
    p.board[9 * (rank_of(sq) - 1) + 9 - file_of(sq)] =
        static_cast<std::uint8_t>((basic - 1) | (kind != basic ? kPromoted : 0) |
                                  (color_of(b.sq[sq]) ? kWhitePiece : kBlackPiece));
  }
  for (int k = 1; k < 8; ++k) p.hands[k - 1] = b.hand[0][k], p.hands[k + 7] = b.hand[1][k];
  p.side_to_move = static_cast<std::uint8_t>(b.side);
  return p;
}

// Squares as their two CSA digits (0 for a drop), codes by their place in kCodes.
int slot(int from, int to, int code) {
  return (from * 100 + to) * 14 + code;
}
int mirrored(int square) {
  return square == 0 ? 0 : (10 - square / 10) * 10 + square % 10;
}

struct Tally {
  long seen = 0, positions = 0, candidates = 0, in_check = 0, drop_mates = 0;
  int failures = 0;
};

void compare(Board& b, Tally& t, const std::string& where) {
  if (t.seen++ % ORV_SWEEP_SHARE != 0) return;
  MoveList list;
  legal_moves(b, list);
  std::vector<bool> legal(slot(100, 0, 0));
  for (int i = 0; i < list.size; ++i) {
    const std::string csa = csa_of(list.moves[i]);
    legal[slot(std::stoi(csa.substr(0, 2)), std::stoi(csa.substr(2, 2)),
               static_cast<int>(kCodes.find(csa.substr(4))) / 2)] = true;
  }
  const Position p = position_of(b);
  ++t.positions, t.in_check += in_check(b, b.side);
  for (int from = 0; from < 100; from += from == 0 ? 11 : 1 + (from % 10 == 9)) {
    for (int to = 11; to < 100; to += 1 + (to % 10 == 9)) {
      for (int code = 0; code < 14; ++code) {
        const char csa[6] = {char('0' + from / 10), char('0' + from % 10), char('0' + to / 10),
                             char('0' + to % 10),   kCodes[2 * code],      kCodes[2 * code + 1]};
        for (bool flip : {false, true}) {
          const bool expected =
              legal[flip ? slot(mirrored(from), mirrored(to), code) : slot(from, to, code)];
          ++t.candidates;
          if (csa_move_is_legal(p, csa, flip) != expected && ++t.failures <= 10)
            ADD_FAILURE() << where << ": " << std::string(csa, 6) << (flip ? " mirrored" : "")
                          << (expected ? " is legal" : " is not legal");
        }
      }
    }
  }
}

// The opponent's king on the mover's last rank or the one before, crowded by random pieces
// (no pawns: the mover's drop is never a second one on the file), the square in front of it
// free, the mover holding a pawn and one more piece. Returns that pawn's drop.
Move near_pawn_drop_mate(std::mt19937& random, Board& b) {
  const int side = static_cast<int>(random() % 2);
  auto at = [&](int file, int far) { return square(file, side == 0 ? far : 10 - far); };
  const int file = 1 + static_cast<int>(random() % 9), far = 1 + static_cast<int>(random() % 3 / 2);
  b.sq[at(1 + random() % 9, 9)] = static_cast<std::uint8_t>(kKing | (side ? kWhite : 0));
  for (int n = 4 + static_cast<int>(random() % 8); n > 0; --n) {
    const int f = file + static_cast<int>(random() % 5) - 2;
    const int r = far + static_cast<int>(random() % 4) - 1;
    const int kind = 2 + static_cast<int>(random() % 13);
    if (f < 1 || f > 9 || r < 1 || r > 8 || kind == kKing) continue;
    b.sq[at(f, r)] = static_cast<std::uint8_t>(kind | (random() % 2 ? kWhite : 0));
  }
  b.sq[at(file, far)] = static_cast<std::uint8_t>(kKing | (side ? 0 : kWhite));
  b.sq[at(file, far + 1)] = kEmpty;
  b.hand[side][kPawn] = 1;
  ++b.hand[side][1 + random() % 7];
  b.side = side;
  return {kDropFrom, static_cast<std::uint8_t>(at(file, far + 1)), kPawn, false};
}

}  // namespace

TEST(LegalMove, AgreesWithTheStandInOnEveryMoveOfRandomPositions) {
  Tally t;
  std::mt19937 random(20240611);
  for (int game = 0; game < 25; ++game) {
    Board b;
    set_start(b);
    for (int ply = 0; ply < 120; ++ply) {
      compare(b, t, "game " + std::to_string(game) + " ply " + std::to_string(ply));
      MoveList list;
      legal_moves(b, list);
      if (list.size == 0) break;
      // Every other move one of the checks, where there are some: more checks, pins, mates.
      Move m = list.moves[random() % static_cast<unsigned>(list.size)];
      for (int i = 0; i < list.size && ply % 2; ++i) {
        Board next = b;
        Undo u;
        make_move(next, list.moves[i], u);
        if (in_check(next, next.side) && random() % 3 == 0) m = list.moves[i];
      }
      Undo u;
      make_move(b, m, u);
    }
  }
  for (int n = 0; t.drop_mates < 100 && n < 100000; ++n) {
    Board b;
    const Move drop = near_pawn_drop_mate(random, b);
    if (in_check(b, 1 - b.side)) continue;  // no game comes to it
    Board after = b;
    Undo u;
    make_move(after, drop, u);
    MoveList replies;
    replies.size = 1;
    // The opponent's answers, once the drop has not left the mover in check.
    if (!in_check(after, b.side)) legal_moves(after, replies);
    const bool mates = replies.size == 0;
    t.drop_mates += mates;
    if (mates || n % 8 == 0) compare(b, t, "near mate " + std::to_string(n));
  }
  std::printf("%ld positions (%ld in check, %ld with a pawn drop that mates), %ld candidates\n",
              t.positions, t.in_check, t.drop_mates, t.candidates);
  EXPECT_GE(t.positions, 3000 / ORV_SWEEP_SHARE);
  EXPECT_GE(t.in_check, 100 / ORV_SWEEP_SHARE);
  EXPECT_GE(t.drop_mates, 100);
}

TEST(LegalMove, TheStandInsWrongMovesAreReadableButLegalToNeither) {
  std::mt19937 random(7);
  int found[kWrongMoveKinds] = {};
  for (int game = 0; game < 20; ++game) {
    Board b;
    set_start(b);
    MoveList list;
    for (int ply = 0; ply < 150 && (legal_moves(b, list), list.size > 0); ++ply) {
      for (int kind = 0; kind < kWrongMoveKinds; ++kind) {
        Move m;
        if (!wrong_move(b, static_cast<WrongMove>(kind), m)) continue;
        ++found[kind];
        const std::string csa = csa_of(m);
        EXPECT_FALSE(is_legal(b, m)) << kind << " " << csa;
        EXPECT_TRUE(csa_move_is_readable(position_of(b), csa.c_str(), false)) << csa;
        EXPECT_FALSE(csa_move_is_legal(position_of(b), csa.c_str(), false)) << csa;
      }
      Undo u;
      make_move(b, list.moves[random() % static_cast<unsigned>(list.size)], u);
    }
  }
  for (int kind = 0; kind < kWrongMoveKinds; ++kind) EXPECT_GE(found[kind], 100) << kind;
}
