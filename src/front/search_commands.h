// "go", "go infinite" and "stop": starting and ending the engine's search, one at a time.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/state.h"
#include "front/usi_line.h"

// How long after its "s" the answer of a search the GUI stopped or left is waited for before
// orv stops waiting for it.
constexpr std::uint32_t kStopAnswerMs = 2000;
// How long the real answer of a search answered by no move, or by what looks like a copy of
// the answer before, is awaited after its "s": an engine still at that search answers at
// once; one that was not says nothing more.
constexpr std::uint32_t kDoubtedAnswerMs = 500;

// The value after keyword in a "go" line, without its last three digits (milliseconds cut
// to seconds); "0" when the keyword is missing or the value has three digits or fewer.
std::string_view extract_time_field(std::string_view text, std::string_view keyword);

// The GUI line asks the engine for a search ("go", "go infinite").
bool asks_search(std::string_view text);

// Before a search is asked the engine must owe none: one still running is left, and the
// answer of one stopped or left is waited for, never past kStopAnswerMs after its "s". An
// engine that has not answered by then is started afresh before it is asked anything else.
enum class EngineFree { kYes, kWait, kStartAgain };
EngineFree engine_free_for_search(State& state, std::uint32_t now);

// When the answer after "s" is due at the latest (0: none is awaited).
std::uint32_t stop_answer_due(const State& state);
// The answer after "s" has not come in time: the GUI is told, and a "stop" that waits for
// its bestmove gets a resign, so that no GUI waits for ever. The engine still owes it, as it
// may after a doubted answer or a repeat taken, whose GUI is not told again.
void stop_answer_overdue(State& state);

void handle_go(State& state, UsiLine& line);
void handle_go_infinite(State& state);
void handle_stop(State& state);

// "gameover", like "usinewgame" and "position", leaves a search the GUI has not stopped:
// the engine is told to stop, and its move will be neither shown nor played.
void leave_search(State& state);
