// "go", "go infinite" and "stop": starting and ending the engine's search, one at a time.
#pragma once

#include <mutex>
#include <string_view>

#include "front/adapter.h"
#include "front/usi_line.h"

// How long after its "s" the answer of a search the GUI stopped or left is waited for before
// a new search is asked without it.
constexpr unsigned kStopAnswerMs = 2000;

// The value after keyword in a "go" line, without its last three digits (milliseconds cut
// to seconds); "0" when the keyword is missing or the value has three digits or fewer.
std::string_view extract_time_field(std::string_view text, std::string_view keyword);

// The GUI line asks the engine for a search ("go", "go infinite").
bool asks_search(std::string_view text);

// Before a search is asked the engine must owe none: one still running is left, and the
// answer of one stopped or left is waited for (the state lock released meanwhile), never
// past kStopAnswerMs after its "s"; then the GUI is told and the search forgotten.
void make_engine_free(Adapter& adapter, std::unique_lock<std::mutex>& hold);

// Runs as long as orv: a search told "s" that the engine has not answered within
// kStopAnswerMs is forgotten, the GUI told, and a "stop" that waits for its bestmove given a
// resign, so that no GUI waits for ever.
void watch_unanswered_stops(Adapter& adapter);

void handle_go(Adapter& adapter, UsiLine& line, Outbox& out);
void handle_go_infinite(Adapter& adapter, Outbox& out);
void handle_stop(Adapter& adapter, Outbox& out);

// "gameover", like "usinewgame" and "position", leaves a search the GUI has not stopped:
// the engine is told to stop, and its move will be neither shown nor played.
void handle_gameover(Adapter& adapter, Outbox& out);
void leave_search(Adapter& adapter, Outbox& out);
