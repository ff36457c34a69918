#include "common/options.h"

#include <cstring>

const OptionRow option_table[kOptionCount] = {
    {"TimeControl", "combo", "USI", "var USI var Nodes var Depth"},
    {"Nodes", "spin", "1000", "min 1000 max 1000000"},
    {"Command", "string", "", ""},
    {"Depth", "spin", "1", "min 1 max 20"},
    {"Threads", "spin", "1", "min 1 max 32"},
    {"TimeExtendable", "check", "false", ""},
    {"BookNum", "spin", "100", "min 0 max 100"},
    {"BookNarrow", "check", "false", ""},
    {"Resign", "spin", "32596", "min 0 max 32600"},
    {"InfBook", "check", "false", ""},
    {"FlipHorizontal", "check", "false", ""},
    {"AnotherHand", "check", "false", ""},
    {"Debug", "check", "false", ""},
    {"USI_Ponder", nullptr, nullptr, nullptr},
    {"USI_Hash", nullptr, nullptr, nullptr},
};

std::string_view option_text(const OptionValues& values, OptionId id) {
  return std::string_view(values.slot[id]);
}

std::string_view option_value(const OptionValues& values, OptionId id) {
  std::string_view text = option_text(values, id);
  if (id == kCommand) return text;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

void set_option(OptionValues& values, OptionId id, std::string_view text) {
  std::size_t n = text.size() < kOptionSlotSize - 1 ? text.size() : kOptionSlotSize - 1;
  // A value is text: a zero byte inside it ends it, as it would on reading it back.
  const void* zero = std::memchr(text.data(), '\0', n);
  if (zero) n = static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
  std::memcpy(values.slot[id], text.data(), n);
  values.slot[id][n] = '\0';
}

std::int32_t parse_option_value(std::string_view s) {
  if (s == "false" || s == "USI") return 0;
  if (s == "true" || s == "Nodes") return 1;
  if (s == "Depth") return 2;
  std::size_t i = 0;
  std::uint32_t sign = 1;
  if (i < s.size() && s[i] == '-') sign = static_cast<std::uint32_t>(-1), ++i;
  if (i < s.size() && s[i] == '+') sign = 1, ++i;
  std::uint32_t value = 0;
  for (; i < s.size() && s[i] != ' '; ++i) {
    char c = s[i];
    if (c == '.') continue;
    if (c < '0' || c > '9') return INT32_MIN;
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
  }
  return static_cast<std::int32_t>(sign * value);
}

bool option_on(const OptionValues& values, OptionId id) {
  return parse_option_value(option_value(values, id)) != 0;
}
