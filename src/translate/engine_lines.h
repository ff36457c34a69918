// One line of the engine's standard output turned into GUI lines (and, for the InfBook
// restart, engine commands), over explicit state: no threads, no pipes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "common/options.h"
#include "common/outbox.h"
#include "common/position_files.h"
#include "notation/position.h"

// Where the engine's output stands between the pieces the line reader serves.
struct EngineLinePieces {
  std::string cleaned;        // a piece with its control bytes made blanks
  bool in_long_line = false;  // the last piece did not end its line
  bool echo_rest = false;     // the long line is echoed: its further pieces are echoed too
};

struct EngineLineState {
  Position& position;
  const Position& searched;  // the board of a stopped search the GUI has moved on from
  GameState& game;
  const OptionValues& options;
  const EngineState& engine;
  const PositionFiles& files;  // orv.csa for the InfBook restart, lastmove.dat
  std::string scratch;         // working text, kept between lines so it is not reallocated
  EngineLinePieces pieces;
  std::uint64_t read = kReadNotKnown;  // the read of the engine's output that brought the line
};

// A prefix match of literal at cursor; the cursor moves past it. Nothing after the literal
// is skipped.
bool match_engine(std::string_view line, std::size_t& cursor, std::string_view literal);

// Handles one non-empty engine line; now is the tick count when it is handled. True when
// the line was echoed as unknown.
bool translate_engine_line(EngineLineState& state, std::string_view line, std::uint32_t now,
                           Outbox& out);

// Handles what the line reader served: a line, or a piece of a line too long for one. Only
// a line's first piece is classified; the rest of an echoed line is echoed, the rest of any
// other (a variation, a candidate list) dropped, so that it never passes for lines of its
// own.
void translate_engine_piece(EngineLineState& state, std::string_view piece, bool ends_line,
                            std::uint32_t now, Outbox& out);

// The line kinds: a move line whole, the others after their leading literal (rest is the
// text after it).
void handle_move_line(EngineLineState& state, std::string_view line, std::uint32_t now,
                      Outbox& out);
void handle_candidate_line(EngineLineState& state, std::string_view rest, Outbox& out);
void handle_score_line(EngineLineState& state, std::string_view rest, std::uint32_t now,
                       Outbox& out);
void handle_statistics_line(EngineLineState& state, std::string_view rest, Outbox& out);

// A line of the engine's standard error saying that no move line will follow.
bool is_engine_complaint(std::string_view line);

// The error relay: the GUI line for one line of the engine's standard error.
void relay_error_line(std::string_view line, Outbox& out);

// A complaint read while the engine owes a search ends that search (under the state lock),
// unless the read that brought it (read) came before the search was asked: its line and the
// resign that answers it are composed. False (nothing composed) for any other line, or when
// it answers no search: the line is then relayed as any other.
bool complaint_answers(std::string_view line, GameState& game, std::uint64_t read, Outbox& out);

// The bestmove that ends a search: written now, or, for an analysis the GUI has not
// stopped, held for its "stop".
void answer_search(GameState& game, const SearchEnd& end, std::string_view move, Outbox& out);

// An answer that orv neither shows nor plays (the GUI left its search, or none was asked):
// the engine's board has left the GUI's, and an answer nobody asked for is told as such
// (line: what the engine said). False for an answer to show.
bool answer_unused(GameState& game, const SearchEnd& end, std::string_view line, Outbox& out);
