// What orv has to write: lines for the GUI and commands for the engine, each kept until its
// pipe takes it, so that no write ever waits. A GUI that reads more slowly than orv answers
// holds the engine's reports back in the engine's pipe, except where an answer it waits for
// is due (the reports before it then give way beyond the backlog), and, far beyond that,
// its own lines wait their turn. A GUI that has stopped reading loses the lines it would
// read least beyond the backlog, and the lines a GUI waits for (bestmove, readyok, usiok,
// id, option, checkmate) only far beyond it. What was lost is counted and said once the
// GUI has read everything.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

struct Outbox {
  std::string gui;            // whole lines, line feeds included
  std::size_t gui_taken = 0;  // the start of gui that the GUI's pipe has taken
  unsigned gui_dropped = 0;   // lines dropped since the GUI last took everything
  bool gui_stalled = false;   // the GUI has stopped reading: any line beyond the bounds drops
  bool reporting = false;     // the lines now added are reports before a due answer
  std::string engine;         // whole commands, line feeds included
  std::size_t engine_taken = 0;
};

// A GUI line made of parts, with its line feed.
void outbox_gui(Outbox& out, std::initializer_list<std::string_view> parts);
// A GUI line formatted like printf, with its line feed.
void outbox_gui_format(Outbox& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// An engine command; the line feed is added.
void outbox_engine(Outbox& out, std::string_view command);

// The GUI's backlog is full: the engine's reports wait, unless an answer is due.
bool gui_backlog_full(const Outbox& out);
// Its backlog holds as much as orv keeps for a GUI: the GUI's own lines wait their turn.
bool gui_backlog_brimming(const Outbox& out);

// The bytes still to be written to each side.
std::string_view gui_waiting(const Outbox& out);
std::string_view engine_waiting(const Outbox& out);
// The pipe took count bytes of what was waiting; the GUI is told of dropped lines once it
// has taken all.
void gui_took(Outbox& out, std::size_t count);
void engine_took(Outbox& out, std::size_t count);
