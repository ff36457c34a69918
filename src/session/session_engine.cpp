#include "front/new_game.h"
#include "front/startup.h"
#include "session/session_parts.h"
#include "translate/engine_lines.h"

namespace {

// An engine started again mid-game has said its name once already: it is given this long, or
// twice as long as it took the first time, whichever is more.
constexpr std::uint32_t kBannerAgainMs = 10000;
// What an engine writes this soon after its banner was written before it read anything: it
// answers no search, for none is asked until then. (A move line there would answer the first.)
constexpr std::uint32_t kFirstWordsMs = 50;
// What an engine ended for another is still read of: at most this many reads of its pipes.
constexpr int kLastReads = 32;

void banner_arrived(Session& s, const std::string& banner) {
  std::string name;
  State& state = s.state;
  state.engine.version =
      engine_name_from_banner(banner, platform::from_path(state.engine_base_name), name);
  state.engine.running = true;
  engine_named(state, name, s.start == EngineStart::kFirst);
  if (s.start != EngineStart::kAgain) {
    const std::uint32_t took = platform::tick_ms() - s.engine_started_tick;
    s.banner_again_ms = took * 2 > kBannerAgainMs ? took * 2 : kBannerAgainMs;
  }
  if (s.start == EngineStart::kAgain) settings_again(state);
  s.waiting = Waiting::kFirstWords;
  s.first_words_due = platform::tick_ms() + kFirstWordsMs;
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

LineReader& reader_of(Session& s, platform::Input input) {
  return input == platform::kEngineOut ? s.link.out : s.link.err;
}

}  // namespace

bool begin_engine(Session& s, EngineStart start) {
  State& state = s.state;
  s.start = start;
  if (!start_engine(s.link, state.engine_dir, state.engine_base_name)) return false;
  // A new engine owes nothing of the last one's: no line half read, no report, no ponder.
  state.pieces = EngineLinePieces{};
  state.game.info_seen = state.game.pondering = false;
  state.game.last_move_line.clear();
  s.errors = ErrorRelay{};
  s.engine_started_tick = s.errors.next_tick = platform::tick_ms();
  s.banner_due = s.engine_started_tick + (s.banner_again_ms ? s.banner_again_ms : kBannerAgainMs);
  s.waiting = Waiting::kBanner;
  return true;
}

void start_engine_again(Session& s, std::uint32_t now) {
  // What it has written so far is read without waiting: a late answer among it is shown.
  // An engine that writes on and on is not waited for beyond a few reads.
  platform::Wants wants;
  wants.read[platform::kEngineOut] = wants.read[platform::kEngineErr] = true;
  platform::Ready ready;
  for (int reads = 0; reads < kLastReads && platform::io_wait(wants, 0, ready); ++reads) {
    if (!ready.read[platform::kEngineOut] && !ready.read[platform::kEngineErr]) break;
    for (platform::Input input : {platform::kEngineOut, platform::kEngineErr}) {
      if (!ready.read[input]) continue;
      read_from(reader_of(s, input), input);
      take_engine_lines(s, input, now);
    }
    wants.read[platform::kEngineOut] = !s.link.out.ended;
    wants.read[platform::kEngineErr] = !s.link.err.ended;
  }
  relay_all(s.errors, s.state.out);
  end_engine(s.link);
  s.state.engine.running = false;
  outbox_gui(s.state.out, {"info string engine ", s.state.engine.file, " is started again"});
  if (!begin_engine(s, EngineStart::kAgain)) engine_gone(s, now);
}

bool banner_due(const Session& s, std::uint32_t& due) {
  if (s.waiting == Waiting::kFirstWords) {
    due = s.first_words_due;
    return true;
  }
  due = s.banner_due;
  return s.waiting == Waiting::kBanner && s.start == EngineStart::kAgain;
}

void read_engine(Session& s, platform::Input input, std::uint32_t now) {
  read_from(reader_of(s, input), input);
  take_engine_lines(s, input, now);
  if (input == platform::kEngineOut && drained(s.link.out)) engine_gone(s, now);
}

void take_engine_lines(Session& s, platform::Input input, std::uint32_t now) {
  LineReader& reader = reader_of(s, input);
  // While the answer to an "s" is awaited, the reports before it give way to it.
  s.state.out.reporting = answer_awaited(s.state.game.searches);
  for (LineRead piece = take_line(reader); piece.ok; piece = take_line(reader)) {
    if (input == platform::kEngineOut) {
      output_piece(s, piece, now);
    } else {
      error_line(s.state, s.errors, piece.text, piece.terminated);
    }
  }
  s.state.out.reporting = false;
}

void engine_exited(Session& s, std::uint32_t now) {
  s.link.exited = true;
  engine_gone(s, now);
}
