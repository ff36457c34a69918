// The session's reading of the engine's output: the same output, however the engine's
// writes cut it into reads, gives the same GUI lines and engine commands, and everything a
// read completes is handled before the engine is read again.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "notation/position_file.h"
#include "session/session_parts.h"

namespace {

// Score lines carry the time since the search began: it is left out of the comparison.
std::string without_times(std::string text) {
  for (std::size_t at = 0; (at = text.find("info time ", at)) != std::string::npos;) {
    at += 10;
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    text.replace(at, end - at, "T");
  }
  return text;
}

// The engine: every kind of line, blank lines after moves, bare line feeds; a book move
// after candidates, during an analysis with InfBook, makes orv restart the search.
const std::vector<std::string> kEngineLines = {
    "info 7776FU(60%) 2726FU(40%)\r\n",
    "\r\n",
    "move7776FU\r\n",
    "\r\n",
    "info-0.35 +2726FU -3334FU\r\n",
    "statsatu=12 nodes=34 nps=56\n",
    "\n",
    "something else\r\n",
    "move2726FU\r\n",
    "\r\n",
};

// A session whose engine has said its name, in an analysis with InfBook on.
std::unique_ptr<Session> analysing_session() {
  auto s = std::make_unique<Session>();
  const std::string dir = ::testing::TempDir() + "orv_engine_output_";
  s->state.files.position = dir + "orv.csa";
  s->state.ini_path = platform::to_path(dir + "orv.ini");
  set_start_position(s->state.position);
  set_option(s->state.options, kInfBook, "true");
  put_bytes(s->link.out, "Molvara Version 2.0\r\n");
  take_engine_lines(*s, platform::kEngineOut, 0);
  put_bytes(s->gui, "position startpos\ngo infinite\n");
  take_gui_lines(*s, 0);
  s->state.out = Outbox{};
  return s;
}

struct Handled {
  std::string gui, engine;
};

Handled taken(Session& s) {
  Handled h{without_times(std::string(gui_waiting(s.state.out))),
            std::string(engine_waiting(s.state.out))};
  return h;
}

// What each whole line leads to, handled one by one.
std::vector<Handled> expected_per_line() {
  auto s = analysing_session();
  std::vector<Handled> each;
  for (const std::string& line : kEngineLines) {
    put_bytes(s->link.out, line);
    take_engine_lines(*s, platform::kEngineOut, 0);
    each.push_back(taken(*s));
    s->state.out = Outbox{};
  }
  return each;
}

}  // namespace

TEST(EngineOutput, EveryCutOfTheReadsGivesTheSameLinesHandledAtOnce) {
  const std::vector<Handled> expected = expected_per_line();
  std::string all;
  for (const std::string& line : kEngineLines) all += line;
  std::vector<std::vector<std::string>> cuts{{all}};
  for (std::size_t at = 1; at < all.size(); ++at)
    cuts.push_back({all.substr(0, at), all.substr(at)});
  std::mt19937 random(17);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::string> pieces{""};
    for (char c : all) {
      if (!pieces.back().empty() && random() % (round < 10 ? 1 : 6) == 0) pieces.emplace_back();
      pieces.back() += c;
    }
    cuts.push_back(pieces);
  }
  for (const auto& pieces : cuts) {
    auto s = analysing_session();
    std::string consumed, shape;
    for (const std::string& piece : pieces) {
      shape += std::to_string(piece.size()) + " ";
      put_bytes(s->link.out, piece);
      take_engine_lines(*s, platform::kEngineOut, 0);
      consumed += piece;
      Handled want;
      std::size_t lines = 0;
      for (char c : consumed) lines += c == '\n';
      for (std::size_t i = 0; i < lines; ++i) {
        want.gui += expected[i].gui;
        want.engine += expected[i].engine;
      }
      const Handled got = taken(*s);
      ASSERT_EQ(got.gui, want.gui) << "reads of " << shape << "bytes";
      ASSERT_EQ(got.engine, want.engine) << "reads of " << shape << "bytes";
    }
  }
}
