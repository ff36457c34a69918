#include "engine/line_reader.h"

#include <cstring>

#include "engine/engine_text.h"

namespace {

LineRead serve(LineReader& r, std::size_t length, std::size_t consumed, bool terminated) {
  std::string_view text(r.buffer + r.start, length);
  if (terminated && !text.empty() && text.back() == '\r') text.remove_suffix(1);
  r.start += consumed;
  return {true, text, terminated};
}

}  // namespace

char* read_room(LineReader& r, std::size_t& room) {
  const std::size_t pending = r.end - r.start;
  std::memmove(r.buffer, r.buffer + r.start, pending);
  r.start = 0;
  r.end = pending;
  room = kLineBufferSize - r.end < kReadSize ? kLineBufferSize - r.end : kReadSize;
  return r.buffer + r.end;
}

void bytes_read(LineReader& r, std::size_t count) {
  if (count == 0) r.ended = true;
  r.end += count;
}

std::string_view read_from(LineReader& r, platform::Input input) {
  std::size_t room;
  char* into = read_room(r, room);
  const auto n = static_cast<std::size_t>(platform::io_read(input, into, room));
  bytes_read(r, n);
  return {into, n};
}

std::size_t put_bytes(LineReader& r, std::string_view bytes) {
  std::size_t room;
  char* into = read_room(r, room);
  const std::size_t n = bytes.size() < room ? bytes.size() : room;
  std::memcpy(into, bytes.data(), n);
  r.end += n;
  return n;
}

LineRead take_line(LineReader& r) {
  const std::size_t pending = r.end - r.start;
  const std::size_t window = pending < kMaxLinePiece ? pending : kMaxLinePiece;
  const void* lf = std::memchr(r.buffer + r.start, '\n', window);
  if (lf) {
    std::size_t length =
        static_cast<std::size_t>(static_cast<const char*>(lf) - (r.buffer + r.start));
    return serve(r, length, length + 1, true);
  }
  if (pending >= kMaxLinePiece) {
    // A window that ends in a CR may hold a line of 20478 characters whose LF comes next:
    // one more byte decides whether the CR is a line end or text of the piece.
    const bool cr_last = r.buffer[r.start + kMaxLinePiece - 1] == '\r';
    if (cr_last && pending > kMaxLinePiece && r.buffer[r.start + kMaxLinePiece] == '\n') {
      return serve(r, kMaxLinePiece, kMaxLinePiece + 1, true);
    }
    if (!cr_last || pending > kMaxLinePiece || r.ended) {
      // A character the piece would split goes whole to the next piece.
      const std::size_t cut = whole_characters(std::string_view(r.buffer + r.start, kMaxLinePiece));
      return serve(r, cut, cut, false);
    }
  }
  if (r.ended && pending > 0) return serve(r, pending, pending, false);
  return {false, std::string_view(), false};
}
