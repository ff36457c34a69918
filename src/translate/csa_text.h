// The six characters of an engine move, taken out of a line.
#pragma once

#include <cstring>
#include <string_view>

// Copies the first six characters; a move cut short by the end of the line is filled with
// blanks, which convert as malformed squares and piece code instead of reading past it.
inline void copy_csa_move(std::string_view text, char csa[6]) {
  const std::size_t n = text.size() < 6 ? text.size() : 6;
  std::memset(csa, ' ', 6);
  std::memcpy(csa, text.data(), n);
}
