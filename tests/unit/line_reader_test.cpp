#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/line_reader.h"
#include "platform/platform.h"

namespace {

struct Served {
  std::vector<std::string> lines;  // "|" marks a line that ended with a line feed
  int reads = 0;                   // reads that brought bytes
  std::size_t largest = 0;         // the most room a read was given
};

// The chunks put in as reads bring them (a chunk larger than the room given comes over
// several reads), every line taken as soon as it can be, then the end.
Served read_all(std::vector<std::string> chunks) {
  static LineReader reader;
  reader = LineReader();
  Served served;
  std::size_t next = 0;
  for (;;) {
    for (LineRead r = take_line(reader); r.ok; r = take_line(reader)) {
      served.lines.push_back(std::string(r.text) + (r.terminated ? "|" : ""));
    }
    if (reader.ended) return served;
    std::size_t room;
    char* into = read_room(reader, room);
    served.largest = std::max(served.largest, room);
    std::size_t n = 0;
    if (next < chunks.size()) {
      n = std::min(room, chunks[next].size());
      chunks[next].copy(into, n);
      chunks[next].erase(0, n);
      if (chunks[next].empty()) ++next;
      ++served.reads;
    }
    bytes_read(reader, n);
  }
}

}  // namespace

TEST(LineReader, LineEndsAndPieces) {
  const struct {
    std::vector<std::string> input;
    std::vector<std::string> lines;
  } cases[] = {
      {{"move7776FU\r\n"}, {"move7776FU|"}},
      {{"move7776FU\n"}, {"move7776FU|"}},        // a bare line feed keeps the last character
      {{"abc\rdef\r\n"}, {"abc\rdef|"}},          // only the CR before the LF goes
      {{"\r\n", "\n", "x\n"}, {"|", "|", "x|"}},  // empty lines are kept apart from the end
      {{"one\r\ntwo\r\n"}, {"one|", "two|"}},
      {{"sp", "lit\r", "\nx"}, {"split|", "x"}},  // a last line without line feed still comes
  };
  for (const auto& c : cases) EXPECT_EQ(read_all(c.input).lines, c.lines) << c.input[0];
}

TEST(LineReader, TwoLinesFromOneReadNeedNoSecondRead) {
  Served served = read_all({"info-0.35 +7776FU\r\nmove7776FU\r\n"});
  EXPECT_EQ(served.lines, (std::vector<std::string>{"info-0.35 +7776FU|", "move7776FU|"}));
  EXPECT_EQ(served.reads, 1);
}

TEST(LineReader, LongLineComesInPiecesOf20479Bytes) {
  std::string longest(kMaxLinePiece - 1, 'a');  // with its line feed: 20479 bytes
  std::string longer(kMaxLinePiece + 10, 'b');
  Served served = read_all({longest + "\n" + longer + "\n"});
  ASSERT_EQ(served.lines.size(), 3u);
  EXPECT_EQ(served.lines[0], longest + "|");
  EXPECT_EQ(served.lines[1], std::string(kMaxLinePiece, 'b'));
  EXPECT_EQ(served.lines[2], std::string(10, 'b') + "|");
}

// The longest line and its CR LF fill the whole buffer: wherever the reads are cut, the CR
// never reaches the line, and a CR that is not before a LF stays text.
TEST(LineReader, LongestCrLfLineWhereverTheReadsAreCut) {
  const std::string line(kMaxLinePiece - 1, 'a');
  const struct {
    std::string tail;
    std::vector<std::string> after;  // what follows the long line
  } cases[] = {
      {"\r\nnext\r\n", {"next|"}},
      {"\rx\n", {"x|"}},  // the CR is the piece's last character
      {"\r", {}},         // the stream ends after the CR
  };
  for (const auto& c : cases) {
    const std::string bytes = line + c.tail;
    for (std::size_t cut = line.size() - 2; cut < bytes.size(); ++cut) {
      std::vector<std::string> expected{c.tail[1] == '\n' ? line + "|" : line + "\r"};
      expected.insert(expected.end(), c.after.begin(), c.after.end());
      EXPECT_EQ(read_all({bytes.substr(0, cut), bytes.substr(cut)}).lines, expected)
          << "cut at " << cut << " of " << bytes.size();
    }
  }
}

// A long line of the platform's narrow text (CP932 on Windows, UTF-8 elsewhere) comes in
// pieces that each hold whole characters, and nothing is lost.
TEST(LineReader, LongLinesAreCutBetweenCharacters) {
  const bool cp932 = platform::narrow_text_is_cp932();
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    std::string line;
    std::set<std::size_t> starts;  // where characters begin
    while (line.size() < 3 * kMaxLinePiece) {
      starts.insert(line.size());
      const int length = cp932 ? 1 + static_cast<int>(random() % 2) : 1 + random() % 4;
      if (length == 1) {
        line += static_cast<char>('a' + random() % 26);
      } else if (cp932) {
        line += static_cast<char>(0x81 + random() % 31),
            line += static_cast<char>(0x40 + random() % 63);
      } else {
        const unsigned char lead[] = {0, 0, 0xc3, 0xe3, 0xf0};
        line += static_cast<char>(lead[length]);
        for (int i = 1; i < length; ++i) line += static_cast<char>(0x80 + random() % 64);
      }
    }
    starts.insert(line.size());
    Served served = read_all({line + "\n"});
    std::string joined;
    for (std::string piece : served.lines) {
      ASSERT_TRUE(starts.count(joined.size()))
          << "a piece begins inside a character at " << joined.size() << " of " << line.size();
      if (piece.back() == '|') piece.pop_back();
      ASSERT_LE(piece.size(), kMaxLinePiece);
      joined += piece;
    }
    EXPECT_EQ(joined, line);
    EXPECT_EQ(served.lines.size(), 4u);
  }
}

TEST(LineReader, ReadsAtMost4096BytesAtATime) {
  Served served = read_all({std::string(10000, 'x') + "\n"});
  EXPECT_EQ(served.lines, std::vector<std::string>{std::string(10000, 'x') + "|"});
  EXPECT_EQ(served.largest, kReadSize);
}
