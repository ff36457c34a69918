// The stand-in's rules: perft counts, the special rules, and its reading of CSA files, also
// of the files the adapter writes.
#include <gtest/gtest.h>

#include <string>

#include "notation/position_file.h"
#include "standin/book.h"
#include "standin/csa_file.h"
#include "standin/rules.h"
#include "standin/search.h"

using namespace standin;

namespace {

bool has_move(Board b, const char* usi) {
  Move m;
  return move_from_usi(b, usi, m);
}

Board from_sfen(const char* sfen) {
  Board b;
  EXPECT_TRUE(set_sfen(b, sfen)) << sfen;
  return b;
}

}  // namespace

TEST(StandinRules, PerftOfTheStartPosition) {
  Board b;
  set_start(b);
  const std::uint64_t expected[] = {30, 900, 25470, 719731};
  for (int depth = 1; depth <= 4; ++depth) EXPECT_EQ(perft(b, depth), expected[depth - 1]);
}

TEST(StandinRules, SpecialRules) {
  // A pawn drop that mates is not allowed; the same drop that only checks is.
  Board mate = from_sfen("kl7/1n7/G8/9/9/9/9/9/8K b P 1");
  EXPECT_FALSE(has_move(mate, "P*9b"));
  Board check = from_sfen("k8/9/G8/9/9/9/9/9/8K b P 1");
  EXPECT_TRUE(has_move(check, "P*9b"));
  // No second pawn on a file.
  Board nifu = from_sfen("4k4/9/9/9/9/9/4P4/9/4K4 b P 1");
  EXPECT_FALSE(has_move(nifu, "P*5e"));
  EXPECT_TRUE(has_move(nifu, "P*4e"));
  // No drop where the piece could never move; promotion forced there.
  Board last = from_sfen("4k4/P8/9/9/9/9/9/9/4K4 b PLN 1");
  EXPECT_FALSE(has_move(last, "P*1a"));
  EXPECT_FALSE(has_move(last, "L*1a"));
  EXPECT_FALSE(has_move(last, "N*1b"));
  EXPECT_TRUE(has_move(last, "N*1c"));
  EXPECT_TRUE(has_move(last, "9b9a+"));
  EXPECT_FALSE(has_move(last, "9b9a"));
  // No move that leaves the own king in check: the pinned silver stays.
  Board pinned = from_sfen("4r4/9/9/9/9/9/9/4S4/4K4 b - 1");
  EXPECT_FALSE(has_move(pinned, "5h4g"));
  EXPECT_TRUE(has_move(pinned, "5h5g"));
}

TEST(StandinCsa, ReadsOrdinaryGameFiles) {
  const std::string text =
      "V2.2\nN+Sente\nN-Gote\n'a comment\n$EVENT:test\nPI\n+\n+7776FU\nT3\n-3334FU,T2\n"
      "+8822UM\n-3122GI\n%TORYO\n";
  CsaGame game;
  ASSERT_TRUE(read_csa(text, game)) << game.error;
  EXPECT_EQ(game.moves.size(), 4u);
  EXPECT_EQ(game.board.side, 0);
  EXPECT_EQ(game.board.hand[0][kBishop], 1);
  EXPECT_EQ(game.board.hand[1][kBishop], 1);
  CsaGame bad;
  EXPECT_FALSE(read_csa("PI\n+\n+7775FU\n", bad));
  EXPECT_FALSE(read_csa("PI\n+\n-3334FU\n", bad));  // out of turn
}

TEST(StandinCsa, ReadsThePositionFilesTheAdapterWrites) {
  const char* texts[] = {
      "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1 moves 7g7f 3c3d 8h2b+ "
      "3a2b B*4e\n",
      "4k4/9/9/9/9/9/9/9/4K4 w 2P18pG2s 124\n",
      "ln1g3nl/1r3kg2/p2pppsp1/2p3p1p/1p7/2PP4P/PPS1PPPP1/2G2S1R1/LN2KG1NL b Bb 29 moves B*5f "
      "4c4d 5f3d\n",
  };
  for (const char* text : texts) {
    Position position;
    std::string out;
    CsaGame game;
    ASSERT_TRUE(read_csa(position_file_text(position, text, false, out), game))
        << text << game.error;
    std::string sfen(text);
    sfen = sfen.substr(0, sfen.find(" moves"));
    Board b = from_sfen(sfen.c_str());
    const std::size_t at = std::string(text).find(" moves ");
    if (at != std::string::npos) {
      std::string rest = std::string(text).substr(at + 7);
      for (std::size_t p = 0; p < rest.size();) {
        std::size_t end = rest.find_first_of(" \n", p);
        Move m;
        ASSERT_TRUE(move_from_usi(b, rest.substr(p, end - p), m)) << rest.substr(p, end - p);
        Undo u;
        make_move(b, m, u);
        p = end + 1;
      }
    }
    EXPECT_EQ(game.board.key, b.key) << text;
  }
}

TEST(StandinSearch, FindsAMateAndTheBookHasLegalMoves) {
  Board b = from_sfen("4k4/9/4G4/9/9/9/9/9/4K4 b G 1");
  std::atomic<bool> stop{false};
  Limits limits;
  limits.depth = 3;
  SearchResult r = search(b, limits, {}, stop, [](const Iteration&) {});
  ASSERT_TRUE(r.has_move);
  EXPECT_EQ(usi_of(r.best), "G*5b");
  EXPECT_GE(r.score, kMate - 10);
  Board start;
  set_start(start);
  std::vector<BookMove> book = book_moves(start);
  ASSERT_FALSE(book.empty());
  for (const BookMove& m : book) EXPECT_TRUE(is_legal(start, m.move));
}
