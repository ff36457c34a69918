// Lines composed while the state lock is held, written to the GUI and the engine after it
// is released, in the order they were composed. One outbox per thread, reused line after
// line, so its storage grows once and is not allocated again.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct Outbox {
  enum Target : std::uint8_t { kGui, kEngine };
  struct Entry {
    Target target;
    std::uint32_t begin, end;  // into text; a GUI entry includes its line feed
  };
  std::string text;
  std::vector<Entry> entries;
  bool to_engine = false;         // holds an engine command
  std::int64_t engine_turn = -1;  // its place among the engine commands; -1 before it has one
};

// One GUI line made of parts, with its line feed.
void outbox_gui(Outbox& out, std::initializer_list<std::string_view> parts);
// One GUI line formatted like printf, with its line feed.
void outbox_gui_format(Outbox& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// One engine command, without line feed (the engine writer adds it).
void outbox_engine(Outbox& out, std::string_view command);
void outbox_clear(Outbox& out);
