// Lines out of a byte stream (the engine's pipes, the GUI's standard input). The source is
// read at most 4096 bytes at a time; every complete line already held is served without
// another read. A carriage return right before a line feed is dropped, nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"

constexpr std::size_t kReadSize = 4096;
// Whole lines live in 20480-byte buffers: a line and its line feed take at most 20479
// bytes, and a longer line comes in pieces of at most 20479 bytes, cut between characters.
constexpr std::size_t kLineBufferSize = 20480;
constexpr std::size_t kMaxLinePiece = kLineBufferSize - 1;

using ReadFunction = long (*)(platform::Handle, char*, std::size_t);

struct LineReader {
  platform::Handle source = platform::no_handle;
  ReadFunction read = platform::read_pipe;
  char buffer[kLineBufferSize];
  std::size_t start = 0, end = 0;  // the bytes read but not yet served
  bool ended = false;
  std::uint64_t reads = 0;  // reads that brought bytes: a served line came with the last
};

struct LineRead {
  bool ok;                // false: the source has ended (or failed) and nothing is left
  std::string_view text;  // without its line end; valid until the next read
  bool terminated;        // the text ended with a line feed (not a piece, not a last line)
};

// The next line. A last line without a line feed is served before the end is reported.
LineRead read_line(LineReader& reader);

// True when the next read_line can serve a whole line without reading.
bool has_whole_line(const LineReader& reader);
