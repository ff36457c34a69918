#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "notation/legal_move.h"
#include "notation/moves.h"
#include "notation/position_file.h"

namespace {

const char* kStart = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1\n";

Position start_position() {
  Position p;
  std::string out;
  position_file_text(p, kStart, false, out);
  return p;
}

std::string to_csa(Position& p, const char* usi, bool flip = false, int* length = nullptr) {
  CsaMove m;
  int n = usi_to_csa_move(p, usi, true, flip, m);
  if (length) *length = n;
  return m.text;
}

std::string to_usi(Position& p, std::string csa, bool flip = false, bool apply = true) {
  char out[6];
  int n = csa_to_usi_move(p, csa.data(), apply, flip, out);
  EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(out));
  return out;
}

}  // namespace

TEST(Squares, IndexRunsFromNineAToOneI) {
  EXPECT_EQ(usi_square('9', 'a'), 0);
  EXPECT_EQ(usi_square('1', 'a'), 8);
  EXPECT_EQ(usi_square('5', 'e'), 40);
  EXPECT_EQ(usi_square('9', 'i'), 72);
  EXPECT_EQ(usi_square('1', 'i'), 80);
  EXPECT_EQ(csa_square('5', '5'), 40);
  for (auto bad : {std::make_pair('0', 'a'), std::make_pair('1', 'j'), std::make_pair('a', '1')}) {
    EXPECT_EQ(usi_square(bad.first, bad.second), kNoSquare);
  }
  EXPECT_EQ(csa_square('1', '0'), kNoSquare);
}

TEST(Moves, UsiToCsaWorkedExamples) {
  Position p = start_position();
  int length = 0;
  EXPECT_EQ(to_csa(p, "7g7f", false, &length), "7776FU");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(p.board[usi_square('7', 'f')], kBlackPiece | 0);
  EXPECT_EQ(p.board[usi_square('7', 'g')], 0);
  EXPECT_EQ(p.side_to_move, 1);
  EXPECT_EQ(p.move_number, 1);
  EXPECT_EQ(to_csa(p, "3c3d"), "3334FU");
  EXPECT_EQ(to_csa(p, "8h2b+", false, &length), "8822UM");
  EXPECT_EQ(length, 5);
  EXPECT_EQ(p.hands[5], 1);  // black holds the captured bishop
  EXPECT_EQ(p.board[usi_square('2', 'b')], kBlackPiece | 5 | kPromoted | kPromotionMark);
  EXPECT_EQ(to_csa(p, "3a2b"), "3122GI");
  EXPECT_EQ(p.hands[8 + 5], 1);  // white takes it back: a bishop, not a horse
  EXPECT_EQ(to_csa(p, "B*4e", false, &length), "0045KA");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(p.hands[5], 0);
  EXPECT_EQ(p.move_number, 5);

  Position w = start_position();
  w.side_to_move = 1;
  w.hands[8] = 1;
  EXPECT_EQ(to_csa(w, "P*5e"), "0055FU");
  EXPECT_EQ(w.hands[8], 0);
  EXPECT_EQ(w.board[40], kWhitePiece | 0);
}

TEST(Moves, FlipMirrorsOnlyTheEngineText) {
  Position p = start_position();
  EXPECT_EQ(to_csa(p, "7g7f", true), "3736FU");
  EXPECT_EQ(p.board[usi_square('7', 'f')], kBlackPiece);  // the board keeps the GUI's files
  std::string engine = "3334FU";
  char out[6];
  csa_to_usi_move(p, engine.data(), true, true, out);
  EXPECT_STREQ(out, "7c7d");
  EXPECT_EQ(engine, "7374FU");  // the caller's text now holds the GUI's files
  Position q = start_position();
  EXPECT_EQ(to_csa(q, "5g5f", true), "5756FU");
  q.hands[8 + 0] = 1;
  EXPECT_EQ(to_csa(q, "P*1e", true), "0095FU");  // "00" of a drop is never mirrored
  std::string drop = "0095FU";
  csa_to_usi_move(q, drop.data(), false, true, out);
  EXPECT_STREQ(out, "P*1e");
  EXPECT_EQ(drop, "0015FU");
}

TEST(Moves, CsaToUsiPromotionMarkAndDrops) {
  Position p = start_position();
  to_csa(p, "7g7f");
  to_csa(p, "3c3d");
  EXPECT_EQ(to_usi(p, "8822UM"), "8h2b+");
  to_csa(p, "3a2b");
  p.board[usi_square('2', 'b')] = kBlackPiece | 5 | kPromoted;
  p.board[usi_square('3', 'a')] = 0;
  p.side_to_move = 0;
  EXPECT_EQ(to_usi(p, "2231UM"), "2b3a");  // an already promoted piece moves on without "+"
  p.side_to_move = 1;
  p.hands[8 + 5] = 1;
  EXPECT_EQ(to_usi(p, "0055KA"), "B*5e");  // upper case for white's drop too
  EXPECT_EQ(p.hands[8 + 5], 0);
  EXPECT_EQ(p.board[40], kWhitePiece | 5);  // colour from the side to move
}

TEST(Moves, ApplyOffChangesNothing) {
  Position p = start_position();
  Position before = p;
  CsaMove m;
  usi_to_csa_move(p, "7g7f", false, false, m);
  char out[6];
  std::string csa = "7776FU";
  csa_to_usi_move(p, csa.data(), false, false, out);
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
}

TEST(Moves, CaptureOfPromotedPieceGivesTheBasicKind) {
  Position p;
  p.board[usi_square('5', 'e')] = kWhitePiece | 6 | kPromoted;  // white dragon
  p.board[usi_square('5', 'i')] = kBlackPiece | 6;              // black rook
  EXPECT_EQ(to_csa(p, "5i5e"), "5955HI");
  EXPECT_EQ(p.hands[6], 1);
  p.side_to_move = 0;
  EXPECT_EQ(to_csa(p, "5e5a+"), "5551RY");  // "+" on a promoted piece still reads promoted
}

TEST(Moves, PromotingWhatCannotPromoteChangesNothingOnTheBoard) {
  Position p = start_position();
  int length = 0;
  EXPECT_EQ(to_csa(p, "5e5d+", false, &length), "5554FU");  // nothing on 5e
  EXPECT_EQ(length, 5);
  EXPECT_EQ(p.board[usi_square('5', 'd')], 0);
  p.side_to_move = 0;
  EXPECT_EQ(to_csa(p, "4i4h+"), "4948KI");
  EXPECT_EQ(p.board[usi_square('4', 'h')], kBlackPiece | 4);
}

TEST(Moves, MalformedMovesStayInsideTheBoard) {
  const char* inputs[] = {
      "",     "7",  "7z7f", "0a1b", "9j9i", "Z*5e", "K*0a", "*", "\xff\xff\xff\xff+",
      "1a1a", "P*", "7g7"};
  for (const char* usi : inputs) {
    Position p = start_position();
    Position before = p;
    CsaMove m;
    int n = usi_to_csa_move(p, usi, true, true, m);
    EXPECT_TRUE(n == 4 || n == 5) << usi;
    EXPECT_EQ(std::strlen(m.text), 6u) << usi;
    EXPECT_EQ(p.side_to_move, 1) << usi;  // a move all the same
    EXPECT_EQ(p.move_number, before.move_number + 1) << usi;
  }
  const char* engine[] = {"0000__", "9a9bZZ", "\x01\x02\x03\x04\x05\x06", "0099FU", "1020TO"};
  for (const char* csa : engine) {
    Position p = start_position();
    std::string text = csa;
    char out[6];
    int n = csa_to_usi_move(p, text.data(), true, true, out);
    EXPECT_TRUE(n == 4 || n == 5) << csa;
    EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(n)) << csa;
  }
}

// Moves an engine may send that its board copy can read, and whether a GUI takes them.
TEST(Moves, OnlyLegalEngineMovesPass) {
  const struct {
    const char* sfen;
    const char* csa;
    bool flip, legal;
  } rows[] = {
      {kStart, "7776FU", false, true},
      {kStart, "8822KA", false, false},                             // its own pawn is in the way
      {kStart, "3736FU", true, true},                               // 7g7f with files mirrored
      {"4k4/9/9/9/9/9/4P4/9/4K4 b P 1\n", "0055FU", false, false},  // a second pawn on file 5
      {"4k4/9/9/9/9/9/4P4/9/4K4 b P 1\n", "0045FU", false, true},
      {"4k4/9/9/9/4r4/9/9/9/4K4 b - 1\n", "5958OU", false, false},  // still in check
      {"4k4/9/9/9/4r4/9/9/9/4K4 b - 1\n", "5948OU", false, true},
      {"9/9/9/9/4r4/9/9/9/4G4 b - 1\n", "5958KI", false, true},  // no king, no check
  };
  for (const auto& row : rows) {
    Position p;
    std::string out;
    position_file_text(p, row.sfen, false, out);
    const Position before = p;
    EXPECT_EQ(csa_move_is_legal(p, row.csa, row.flip), row.legal) << row.sfen << row.csa;
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0) << row.csa;
  }
}
