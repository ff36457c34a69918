// A GUI position (SFEN text and its moves) loaded into the board copy and written whole as
// the CSA game file that the engine reads.
#pragma once

#include <string>
#include <string_view>

#include "notation/position.h"

// Sets the position from the SFEN text, plays the listed moves on it and writes the file
// at path in one piece: nine board lines, the two hand lines, the side to move, one line
// per move. Malformed text is reported by a line, for the GUI, added to report: "position"
// (board field), "koma" (hand field) or "tesuu" (move count) per offending character, and
// the parse goes on.
// Returns false when the file could not be written.
bool write_position_file(Position& position, std::string_view text, bool flip, std::string& report,
                         const std::string& path);

// The SFEN text and moves that a "position" argument names: "startpos" becomes the start
// position's SFEN text, followed by whatever came after the word (its separator, the moves,
// the line feed); after "sfen" and its separator the text stands as it is. False when the
// argument begins with neither word.
bool position_text_of(std::string_view argument, std::string& text);

// The position file written again from a "position" argument that was loaded before, with
// no report of its malformed text. False when the argument names no position or the file
// cannot be written.
bool write_position_file_again(Position& position, std::string_view argument, bool flip,
                               const std::string& path);

// The start position, as an engine's game begins before it is given any position.
void set_start_position(Position& position);

// The file's bytes for the text, without writing anything.
std::string position_file_text(Position& position, std::string_view text, bool flip,
                               std::string& report);
