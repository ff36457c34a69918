// The GUI line being handled and the cursor that command words are matched at.
#pragma once

#include <cstddef>
#include <string_view>

struct UsiLine {
  std::string_view text;  // as read, with its line feed when it had one
  std::size_t cursor = 0;
};

// A prefix match of literal at the cursor; on a match the cursor steps over the literal
// and one more character (normally the separating blank or the line feed), whatever it is.
// A line feed in the line never matches.
bool match_usi(UsiLine& line, std::string_view literal);

// The rest of the line from the cursor.
std::string_view rest_of(const UsiLine& line);
