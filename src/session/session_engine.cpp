#include "front/startup.h"
#include "session/session_parts.h"
#include "translate/engine_lines.h"

namespace {

void banner_arrived(Session& s, const std::string& banner) {
  std::string name;
  State& state = s.state;
  state.engine.version =
      engine_name_from_banner(banner, platform::from_path(state.engine_base_name), name);
  state.engine.running = true;
  engine_named(state, name, s.first_start);
  s.waiting = Waiting::kNothing;
}

void output_piece(Session& s, const LineRead& piece, std::uint32_t now) {
  EngineLink& link = s.link;
  if (!link.banner_read) {
    std::string banner;
    if (take_banner(link, piece.text, piece.terminated, banner)) banner_arrived(s, banner);
  } else if (link.in_banner_rest) {
    link.in_banner_rest = !piece.terminated;
  } else {
    translate_engine_piece(s.state, piece.text, piece.terminated, now);
  }
}

bool output_over(const EngineLink& link) {
  return link.out.ended && link.out.start == link.out.end;
}

}  // namespace

bool begin_engine(Session& s, bool first_start) {
  State& state = s.state;
  if (!start_engine(s.link, state.engine_dir, state.engine_base_name)) return false;
  s.errors = ErrorRelay{};
  s.errors.next_tick = platform::tick_ms();
  s.first_start = first_start;
  s.waiting = Waiting::kBanner;
  return true;
}

void read_engine(Session& s, platform::Input input, std::uint32_t now) {
  LineReader& reader = input == platform::kEngineOut ? s.link.out : s.link.err;
  std::size_t room;
  char* into = read_room(reader, room);
  bytes_read(reader, static_cast<std::size_t>(platform::io_read(input, into, room)));
  take_engine_lines(s, input, now);
}

void take_engine_lines(Session& s, platform::Input input, std::uint32_t now) {
  LineReader& reader = input == platform::kEngineOut ? s.link.out : s.link.err;
  for (LineRead piece = take_line(reader); piece.ok; piece = take_line(reader)) {
    if (input == platform::kEngineOut) {
      output_piece(s, piece, now);
    } else {
      error_line(s.state, s.errors, piece.text);
    }
  }
  if (input == platform::kEngineOut && output_over(s.link)) engine_gone(s, now);
}

void engine_exited(Session& s, std::uint32_t now) {
  s.link.exited = true;
  engine_gone(s, now);
}
