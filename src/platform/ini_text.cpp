#include "platform/ini_text.h"

#include <cctype>
#include <vector>

namespace platform {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

bool same_word(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

struct Line {
  std::string_view text;  // without its line end
};

// The mark some editors (Notepad) put before UTF-8 text: no part of the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<Line> split_lines(std::string_view text) {
  std::vector<Line> lines;
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      lines.push_back({text});
      break;
    }
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back({line});
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The section name of a "[name]" line, or false.
bool section_of(std::string_view line, std::string_view& name) {
  line = trim(line);
  if (line.size() < 2 || line.front() != '[') return false;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = trim(line.substr(1, close - 1));
  return true;
}

// The key and raw value of a "key=value" line, or false.
bool entry_of(std::string_view line, std::string_view& key, std::string_view& value) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(line.substr(0, eq));
  value = trim(line.substr(eq + 1));
  return !key.empty();
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

bool ini_text_get(std::string_view text, std::string_view section, std::string_view key,
                  std::string& value) {
  bool in_section = false;
  for (const Line& line : split_lines(text)) {
    std::string_view name, k, v;
    if (section_of(line.text, name)) {
      in_section = same_word(name, section);
    } else if (in_section && entry_of(line.text, k, v) && same_word(k, key)) {
      value.assign(unquote(v));
      return true;
    }
  }
  return false;
}

std::string ini_text_set(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
  const bool crlf = text.find("\r\n") != std::string_view::npos;
  const char* eol = crlf ? "\r\n" : "\n";
  std::vector<Line> lines = split_lines(text);
  const std::string entry = std::string(key) + "=" + std::string(value);

  // Where the section starts, where its last entry is, and the key's own line.
  long section_line = -1, last_in_section = -1, key_line = -1;
  bool in_section = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name, k, v;
    if (section_of(lines[i].text, name)) {
      if (in_section) break;
      in_section = section_line < 0 && same_word(name, section);
      if (in_section) section_line = last_in_section = static_cast<long>(i);
    } else if (in_section) {
      if (!trim(lines[i].text).empty()) last_in_section = static_cast<long>(i);
      if (key_line < 0 && entry_of(lines[i].text, k, v) && same_word(k, key)) {
        key_line = static_cast<long>(i);
      }
    }
  }

  std::string out(text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark : "");
  auto put = [&](std::string_view line) {
    out.append(line);
    out.append(eol);
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    put(static_cast<long>(i) == key_line ? std::string_view(entry) : lines[i].text);
    if (key_line < 0 && static_cast<long>(i) == last_in_section) put(entry);
  }
  if (section_line < 0) {
    put("[" + std::string(section) + "]");
    put(entry);
  }
  return out;
}

}  // namespace platform
