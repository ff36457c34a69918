// The text of an INI file, read and changed in memory: sections and keys are matched
// without regard to case, values are trimmed of blanks and of one pair of enclosing quotes
// on reading, and every line that is not touched is kept as it was.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// True and value set when section/key exists (possibly with an empty value).
bool ini_text_get(std::string_view text, std::string_view section, std::string_view key,
                  std::string& value);

// The text with key=value set in section, created where missing.
std::string ini_text_set(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace platform
