// The fifteen options the adapter knows, their current values as text, and the conversion
// of option text to a number.
#pragma once

#include <cstdint>
#include <string_view>

enum OptionId {
  kTimeControl,
  kNodes,
  kCommand,
  kDepth,
  kThreads,
  kTimeExtendable,
  kBookNum,
  kBookNarrow,
  kResign,
  kInfBook,
  kFlipHorizontal,
  kAnotherHand,
  kDebug,
  kUsiPonder,
  kUsiHash,
  kOptionCount
};

// Rows up to kDebug are listed by "usi" and stored in the configuration file; the GUI's own
// standard options after them have a name only.
constexpr int kListedOptionCount = kDebug + 1;

struct OptionRow {
  const char* name;
  const char* type;
  const char* default_value;
  const char* extra;
};

extern const OptionRow option_table[kOptionCount];

// A value holds at most 63 bytes; longer text is cut.
constexpr std::size_t kOptionSlotSize = 64;

struct OptionValues {
  char slot[kOptionCount][kOptionSlotSize] = {};
};

// The value as stored, exactly as the GUI sent it.
std::string_view option_text(const OptionValues& values, OptionId id);
// The value as it is meant: a check, spin or combo value without the blanks and tabs a GUI
// may leave after it; a string option as it stands.
std::string_view option_value(const OptionValues& values, OptionId id);
void set_option(OptionValues& values, OptionId id, std::string_view text);

// "false"/"USI" 0, "true"/"Nodes" 1, "Depth" 2 (whole words only); otherwise an optional
// "-", an optional "+", digits up to a blank with every "." skipped; any other character
// gives INT32_MIN. Digits wrap at 32 bits.
std::int32_t parse_option_value(std::string_view text);

// A check option is on when its value parses to anything but 0.
bool option_on(const OptionValues& values, OptionId id);
