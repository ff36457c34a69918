// The engine's standard error on its way to the GUI: read as fast as it comes, shown one line
// per pause. A complaint that ends the search under way is that search's answer, at once.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "common/state.h"

struct ErrorRelay {
  struct Line {
    std::string text;
    unsigned dropped_before;  // lines dropped just before this one
  };
  std::deque<Line> waiting;
  std::size_t waiting_bytes = 0;
  unsigned dropped = 0;         // lines dropped since the last one kept
  std::uint32_t next_tick = 0;  // the next line is shown at this tick at the earliest
  // The end of a piece that did not end its line: a complaint may go on in the next piece.
  std::string tail;
};

// A line of the engine's standard error saying that no move line will follow.
bool is_engine_complaint(std::string_view line);

// One line (or piece of one) of the engine's standard error: a complaint while a search is
// owed answers it now, even one that begins in the piece before; anything else waits its turn.
void error_line(State& state, ErrorRelay& relay, std::string_view text, bool ends_line);

// True when a line waits; due is then when it may be shown.
bool relay_waits(const ErrorRelay& relay, std::uint32_t& due);
// Shows the next waiting line if its time has come.
void relay_next(ErrorRelay& relay, Outbox& out, std::uint32_t now);
// Shows everything waiting at once, with the count of what was dropped (the engine has gone).
void relay_all(ErrorRelay& relay, Outbox& out);
