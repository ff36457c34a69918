// Lines out of a byte stream (the engine's pipes, the GUI's standard input). Bytes are put in
// as they are read, at most 4096 at a time; every complete line already held is served
// before more is read. A carriage return right before a line feed is dropped, nothing else.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/platform.h"

constexpr std::size_t kReadSize = 4096;
// Whole lines live in 20480-byte buffers: a line and its line feed take at most 20479
// bytes, and a longer line comes in pieces of at most 20479 bytes, cut between characters.
constexpr std::size_t kLineBufferSize = 20480;
constexpr std::size_t kMaxLinePiece = kLineBufferSize - 1;

struct LineReader {
  char buffer[kLineBufferSize];
  std::size_t start = 0, end = 0;  // the bytes read but not yet served
  bool ended = false;              // the source has ended: what is left is served, then no more
};

struct LineRead {
  bool ok;                // false: no line yet (more bytes are needed, or the source ended)
  std::string_view text;  // without its line end; valid until the next call
  bool terminated;        // the text ended with a line feed (not a piece, not a last line)
};

// Where the next read goes, at most kReadSize bytes and never 0 while take_line needs more;
// bytes_read then says how many came (0: the source has ended).
char* read_room(LineReader& reader, std::size_t& room);
void bytes_read(LineReader& reader, std::size_t count);
// One read of a ready input of the session's wait into the reader: the bytes it brought.
std::string_view read_from(LineReader& reader, platform::Input input);

// The source has ended and every line of it has been taken.
inline bool drained(const LineReader& reader) {
  return reader.ended && reader.start == reader.end;
}

// The next line, or a piece of one too long for the buffer. A last line without a line feed
// is served once the source has ended.
LineRead take_line(LineReader& reader);

// Puts bytes in, as a read of them would; returns how many fit.
std::size_t put_bytes(LineReader& reader, std::string_view bytes);
