#include "front/usi_line.h"

bool match_usi(UsiLine& line, std::string_view literal) {
  std::string_view rest = rest_of(line);
  if (rest.size() < literal.size()) return false;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (rest[i] == '\n' || rest[i] != literal[i]) return false;
  }
  const std::size_t after = line.cursor + literal.size() + 1;
  line.cursor = after < line.text.size() ? after : line.text.size();
  return true;
}

std::string_view rest_of(const UsiLine& line) {
  return line.text.substr(line.cursor);
}
