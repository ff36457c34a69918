#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "notation/moves.h"
#include "notation/position_file.h"

namespace {

const std::string kStartSfen = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";

const std::string kStartBoard =
    "P1-KY-KE-GI-KI-OU-KI-GI-KE-KY\n"
    "P2 * -HI *  *  *  *  * -KA * \n"
    "P3-FU-FU-FU-FU-FU-FU-FU-FU-FU\n"
    "P4 *  *  *  *  *  *  *  *  * \n"
    "P5 *  *  *  *  *  *  *  *  * \n"
    "P6 *  *  *  *  *  *  *  *  * \n"
    "P7+FU+FU+FU+FU+FU+FU+FU+FU+FU\n"
    "P8 * +KA *  *  *  *  * +HI * \n"
    "P9+KY+KE+GI+KI+OU+KI+GI+KE+KY\n";

struct Written {
  std::string file, gui;
  Position position;
};

Written write(const std::string& text, bool flip = false) {
  Written w;
  std::string out;
  w.file = position_file_text(w.position, text, flip, out);
  w.gui = out;
  return w;
}

}  // namespace

TEST(PositionFile, StartPositionIs278Bytes) {
  Written w = write(kStartSfen + "\n");
  EXPECT_EQ(w.file, kStartBoard + "P+\nP-\n+\n");
  EXPECT_EQ(w.file.size(), 278u);
  EXPECT_EQ(w.position.move_number, 0);
  EXPECT_EQ(w.gui, "");
}

TEST(PositionFile, MovesAreWrittenAndPlayed) {
  Written w = write(kStartSfen + " moves 7g7f 3c3d 8h2b+ 3a2b B*4e\n");
  EXPECT_EQ(w.file, kStartBoard + "P+\nP-\n+\n+7776FU\n-3334FU\n+8822UM\n-3122GI\n+0045KA\n");
  EXPECT_EQ(w.file.size(), 318u);
  EXPECT_EQ(w.position.side_to_move, 1);
  EXPECT_EQ(w.position.move_number, 5);
  EXPECT_EQ(w.position.hands[8 + 5], 1);  // white holds a bishop
  EXPECT_EQ(w.position.hands[5], 0);
}

TEST(PositionFile, FlipMirrorsBoardLinesAndMoves) {
  Written w = write(kStartSfen + " moves 7g7f 3c3d 8h2b+ 3a2b B*4e\n", true);
  const std::string mirrored_board =
      "P1-KY-KE-GI-KI-OU-KI-GI-KE-KY\n"
      "P2 * -KA *  *  *  *  * -HI * \n"
      "P3-FU-FU-FU-FU-FU-FU-FU-FU-FU\n"
      "P4 *  *  *  *  *  *  *  *  * \n"
      "P5 *  *  *  *  *  *  *  *  * \n"
      "P6 *  *  *  *  *  *  *  *  * \n"
      "P7+FU+FU+FU+FU+FU+FU+FU+FU+FU\n"
      "P8 * +HI *  *  *  *  * +KA * \n"
      "P9+KY+KE+GI+KI+OU+KI+GI+KE+KY\n";
  EXPECT_EQ(w.file, mirrored_board + "P+\nP-\n+\n+3736FU\n-7374FU\n+2882UM\n-7182GI\n+0065KA\n");
  // The board copy itself stays in the GUI's orientation.
  EXPECT_EQ(w.position.board[usi_square('4', 'e')], kBlackPiece | 5);
}

TEST(PositionFile, HandsSideAndMoveCount) {
  Written w = write("4k4/9/9/9/9/9/9/9/4K4 w 2P18pG2s 124\n");
  EXPECT_EQ(
      w.file.substr(270), "P+00FU00FU00KI\nP-" + [] {
        std::string s;
        for (int i = 0; i < 18; ++i) s += "00FU";
        return s + "00GI00GI";
      }() + "\n-\n");
  EXPECT_EQ(w.position.hands[0], 2);
  EXPECT_EQ(w.position.hands[8], 18);
  EXPECT_EQ(w.position.move_number, 123);
  EXPECT_EQ(w.position.side_to_move, 1);
}

TEST(PositionFile, FieldRulesAndMessages) {
  const struct {
    std::string text;
    std::string gui;
    std::string tail;  // the file after its board lines
  } cases[] = {
      // Any seven characters after the count are skipped; blanks and CR LF separate moves.
      {kStartSfen + " xxxxxx 7g7f   3c3d\r\n", "", "P+\nP-\n+\n+7776FU\n-3334FU\n"},
      {kStartSfen + "\r\n", "tesuu\n", "P+\nP-\n+\n"},  // the CR after the count
      {kStartSfen.substr(0, kStartSfen.size() - 6) + " b 3P2x 1\n", "koma\n",
       "P+00FU00FU00FU\nP-\n+\n"},
      {kStartSfen.substr(0, kStartSfen.size() - 6) + " b 200P 1\n", "",
       "P+" +
           [] {
             std::string s;
             for (int i = 0; i < 127; ++i) s += "00FU";  // a count holds at most 127
             return s;
           }() +
           "\nP-\n+\n"},
      {"lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSN0 b - 1\n", "position\n",
       "P+\nP-\n+\n"},
      {kStartSfen.substr(0, kStartSfen.size() - 2) + "1a2\n", "tesuu\n", "P+\nP-\n+\n"},
  };
  for (const auto& c : cases) {
    Written w = write(c.text);
    EXPECT_EQ(w.gui, c.gui) << c.text;
    EXPECT_EQ(w.file.substr(270), c.tail) << c.text;
  }
  Written promoted = write("+p+R+B2+s4/9/9/9/9/9/9/9/9 b - 1\n");
  EXPECT_EQ(promoted.file.substr(0, 30), "P1-TO+RY+UM *  * -NG *  *  * \n");
  // Golds and kings have no promoted form: the "+" is dropped, not the piece.
  Written unpromotable = write("+G+k7/9/9/9/9/9/9/9/9 b - 1\n");
  EXPECT_EQ(unpromotable.file.substr(0, 30), "P1+KI-OU *  *  *  *  *  *  * \n");
  // A board field that describes fewer squares leaves the others as they were.
  Written partial;
  std::string out;
  partial.position.board[80] = kBlackPiece | 7;
  position_file_text(partial.position, "9/9 b - 1\n", false, out);
  EXPECT_EQ(partial.position.board[80], kBlackPiece | 7);
}

TEST(PositionFile, FileIsWrittenInOnePieceOrReportedUnwritable) {
  const std::string path = ::testing::TempDir() + "orv_position_file_test.csa";
  Position p;
  std::string out;
  ASSERT_TRUE(write_position_file(p, kStartSfen + "\n", false, out, path));
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buffer[400];
  std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
  std::fclose(f);
  EXPECT_EQ(std::string(buffer, n), kStartBoard + "P+\nP-\n+\n");
  EXPECT_FALSE(write_position_file(p, kStartSfen + "\n", false, out, "/nonexistent/dir/orv.csa"));
}

TEST(PositionFile, RandomAndTruncatedTextsStayInBounds) {
  std::mt19937 random(12345);
  const std::string alphabet = "0123456789/+-* bw\r\nPLNSGBRKplnsgbrkmoves\x7f\x80\xff";
  const std::string seed = kStartSfen + " moves 7g7f 3c3d 8h2b+ 3a2b B*4e P*5e\n";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    if (round % 2 == 0) {
      text = seed.substr(0, random() % (seed.size() + 1));  // ends inside any field
      if (!text.empty() && random() % 3 == 0)
        text[random() % text.size()] = alphabet[random() % alphabet.size()];
    } else {
      std::size_t length = random() % 300;
      for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    }
    Written w = write(text, round % 4 == 1);
    ASSERT_GE(w.file.size(), 274u);
    for (std::uint8_t code : w.position.board) {
      ASSERT_TRUE(code == 0 || (code & (kBlackPiece | kWhitePiece))) << text;
    }
  }
}
