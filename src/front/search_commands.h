// "go", "go infinite" and "stop": starting and ending the engine's search.
#pragma once

#include <string_view>

#include "front/adapter.h"
#include "front/usi_line.h"

// The value after keyword in a "go" line, without its last three digits (milliseconds cut
// to seconds); "0" when the keyword is missing or the value has three digits or fewer.
std::string_view extract_time_field(std::string_view text, std::string_view keyword);

void handle_go(Adapter& adapter, UsiLine& line, Outbox& out);
void handle_go_infinite(Adapter& adapter, Outbox& out);
void handle_stop(Adapter& adapter, Outbox& out);

// "gameover", like "usinewgame" and "position", leaves a search the GUI has not stopped:
// the engine is told to stop, and its move will be neither shown nor played.
void handle_gameover(Adapter& adapter, Outbox& out);
void leave_searches(Adapter& adapter, Outbox& out);
