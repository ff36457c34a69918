// One line of the engine's standard output turned into GUI lines (and, for the InfBook
// restart, engine commands), over the state the session loop hands in: no threads, no pipes.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/state.h"

// A prefix match of literal at cursor; the cursor moves past it. Nothing after the literal
// is skipped.
bool match_engine(std::string_view line, std::size_t& cursor, std::string_view literal);

// Handles one non-empty engine line; now is the tick count when it is handled. True when
// the line was echoed as unknown.
bool translate_engine_line(State& state, std::string_view line, std::uint32_t now);

// Handles what the line reader served: a line, or a piece of a line too long for one. Only
// a line's first piece is classified; the rest of an echoed line is echoed, the rest of any
// other (a variation, a candidate list) dropped, so that it never passes for lines of its
// own.
void translate_engine_piece(State& state, std::string_view piece, bool ends_line,
                            std::uint32_t now);

// The line kinds: a move line whole, the others after their leading literal (rest is the
// text after it).
void handle_move_line(State& state, std::string_view line, std::uint32_t now);
void handle_candidate_line(State& state, std::string_view rest);
void handle_score_line(State& state, std::string_view rest, std::uint32_t now);
void handle_statistics_line(State& state, std::string_view rest);

// The engine wrote nothing after a repeat of its last move line while its own answer was
// awaited: the repeat was that answer (an engine stopped at once may well find its last move
// again) and is given now, when it is a move here; an answer of the engine's own that still
// comes in the time allowed after "s" is shown as too late. False when the repeat is no move
// here: the answer is owed.
bool repeat_answered(State& state, std::uint32_t now);

// The bestmove that ends a search: written now, or, for an analysis the GUI has not
// stopped, held for its "stop".
void answer_search(State& state, const SearchEnd& end, std::string_view move);

// An answer that orv neither shows nor plays (the GUI left its search, or none was asked):
// the engine's board has left the GUI's, and an answer nobody asked for is told as such
// (line: what the engine said). False for an answer to show.
bool answer_unused(State& state, const SearchEnd& end, std::string_view line);
