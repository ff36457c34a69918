// What orv has to write: lines for the GUI and commands for the engine, each kept until its
// pipe takes it, so that no write ever waits. While the GUI reads, a full backlog holds back
// what would add to it; a GUI that has stopped reading loses the lines it would read least
// (reports, traces, echoes) beyond the backlog, and the lines a GUI waits for (bestmove,
// readyok, usiok, id, option) only far beyond it. What it lost is counted and said once it
// has read everything again.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

struct Outbox {
  std::string gui;            // whole lines, line feeds included
  std::size_t gui_taken = 0;  // the start of gui that the GUI's pipe has taken
  unsigned gui_dropped = 0;   // lines dropped since the GUI last took everything
  bool gui_stalled = false;   // the GUI has stopped reading: lines beyond the bounds drop
  std::string engine;         // whole commands, line feeds included
  std::size_t engine_taken = 0;
};

// A GUI line made of parts, with its line feed.
void outbox_gui(Outbox& out, std::initializer_list<std::string_view> parts);
// A GUI line formatted like printf, with its line feed.
void outbox_gui_format(Outbox& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// An engine command; the line feed is added.
void outbox_engine(Outbox& out, std::string_view command);

// The GUI's backlog is full: what adds to it waits, unless the GUI has stopped reading.
bool gui_backlog_full(const Outbox& out);

// The bytes still to be written to each side.
std::string_view gui_waiting(const Outbox& out);
std::string_view engine_waiting(const Outbox& out);
// The pipe took count bytes of what was waiting; the GUI is told of dropped lines once it
// has taken all.
void gui_took(Outbox& out, std::size_t count);
void engine_took(Outbox& out, std::size_t count);
