#include "engine/engine_text.h"

#include "platform/platform.h"

namespace {

bool is_cp932_lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

// A lead byte whose trail byte would lie beyond the end is cut off.
std::size_t whole_cp932(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) i += is_cp932_lead(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i > text.size() ? text.size() - 1 : text.size();
}

// A sequence begun by a lead byte near the end and not finished there is cut off; bytes
// that are no UTF-8 are left as they are.
std::size_t whole_utf8(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = n;
  while (i > 0 && n - i < 4) {
    const auto c = static_cast<unsigned char>(text[--i]);
    if ((c & 0xc0) == 0x80) continue;  // a continuation byte
    const std::size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
    return i + length > n && c < 0xf8 ? i : n;
  }
  return n;
}

bool is_blanked(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t') || u == 0x7f;
}

}  // namespace

std::size_t whole_characters(std::string_view text) {
  return platform::narrow_text_is_cp932() ? whole_cp932(text) : whole_utf8(text);
}

std::string_view clean_engine_text(std::string_view text, bool line_start, bool line_end,
                                   std::string& buffer) {
  while (line_start && !text.empty() && text.front() == '\r') text.remove_prefix(1);
  while (line_end && !text.empty() && text.back() == '\r') text.remove_suffix(1);
  std::size_t first = 0;
  while (first < text.size() && !is_blanked(text[first])) ++first;
  if (first == text.size()) return text;
  buffer.assign(text);
  for (std::size_t i = first; i < buffer.size(); ++i) {
    if (is_blanked(buffer[i])) buffer[i] = ' ';
  }
  return buffer;
}
