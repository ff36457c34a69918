// Engine text on its way to the GUI. GUIs end lines at a carriage return as well as at a line
// feed, and expect whole characters of the platform's narrow text (UTF-8 on POSIX, code page
// 932 on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The length of the longest start of text that does not end inside a character; text is
// taken to begin at a character's start.
std::size_t whole_characters(std::string_view text);

// Engine text as it is classified and shown: at a line's start its carriage returns are
// dropped, at a line's end too, and every other control byte but tab becomes a blank. The
// result is text itself when nothing changes, else held in buffer.
std::string_view clean_engine_text(std::string_view text, bool line_start, bool line_end,
                                   std::string& buffer);
