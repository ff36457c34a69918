#include "front/engine_trial.h"

#include "engine/engine_process.h"
#include "engine/engine_text.h"

namespace {

// An engine that lacks a file it needs may say its name first and end right after it.
constexpr std::uint32_t kEndWatchMs = 500;
// How long an engine that closed its output is given to end, and its pipes once it has.
constexpr std::uint32_t kEndWaitMs = 1000;

struct Watch {
  EngineLink link;
  EngineTrial result;
  std::string banner;
  LineReader* typed;  // what the person types meanwhile, or nullptr
};

void keep_last(std::vector<std::string>& lines, std::string_view text) {
  std::string cleaned;
  text = clean_engine_text(text, true, true, cleaned);
  if (text.find_first_not_of(" \t") == std::string_view::npos) return;
  text = text.substr(0, whole_characters(text.substr(0, kTrialLineBytes)));
  if (lines.size() == kTrialLastLines) lines.erase(lines.begin());
  lines.emplace_back(text);
}

// "quit" typed during the wait ends orv at once, its engine first.
void watch_typing(Watch& w) {
  read_from(*w.typed, platform::kGuiIn);
  std::string_view held(w.typed->buffer + w.typed->start, w.typed->end - w.typed->start);
  for (std::size_t at = 0; at < held.size(); at = held.find('\n', at) + 1) {
    if (held.find('\n', at) == std::string_view::npos) break;
    if (held.substr(at, 4) != "quit") continue;
    end_engine(w.link);
    platform::exit_process(0);
  }
}

void take(Watch& w, const platform::Ready& ready) {
  for (platform::Input input : {platform::kEngineOut, platform::kEngineErr}) {
    if (!ready.read[input]) continue;
    LineReader& reader = input == platform::kEngineOut ? w.link.out : w.link.err;
    read_from(reader, input);
    for (LineRead piece = take_line(reader); piece.ok; piece = take_line(reader)) {
      const bool first = input == platform::kEngineOut && !w.link.banner_read;
      if (first && !take_banner(w.link, piece.text, piece.terminated, w.banner)) continue;
      keep_last(input == platform::kEngineOut ? w.result.last_output : w.result.last_errors,
                piece.text);
    }
  }
  if (ready.read[platform::kGuiIn]) watch_typing(w);
}

// Reads both pipes until done() or the time is up; false when the time ran out first.
template <class Done>
bool watch_until(Watch& w, std::uint32_t ms, Done done) {
  const std::uint32_t due = platform::tick_ms() + ms;
  while (!done()) {
    const auto left = static_cast<std::int32_t>(due - platform::tick_ms());
    if (left <= 0) return false;
    platform::Wants wants;
    wants.read[platform::kEngineOut] = !w.link.out.ended;
    wants.read[platform::kEngineErr] = !w.link.err.ended;
    // What is typed is kept for the session; once its buffer is full the rest waits.
    std::size_t room = 0;
    if (w.typed && !w.typed->ended) read_room(*w.typed, room);
    wants.read[platform::kGuiIn] = room > 0;
    platform::Ready ready;
    platform::io_wait(wants, left, ready);
    w.link.exited = w.link.exited || ready.exited;
    take(w, ready);
  }
  return true;
}

}  // namespace

EngineTrial trial_engine(const platform::Path& dir, const platform::Path& base, unsigned wait_ms,
                         LineReader* typed) {
  platform::io_open();
  Watch w{{}, {}, {}, typed};
  if (!start_engine(w.link, dir, base)) return w.result;
  EngineLink& link = w.link;
  const bool answered =
      watch_until(w, wait_ms, [&] { return link.banner_read || drained(link.out) || link.exited; });
  if (answered)
    watch_until(w, link.banner_read ? kEndWatchMs : kEndWaitMs, [&] { return link.exited; });
  const bool ended = link.exited || drained(link.out);
  EngineTrial& result = w.result;
  result.exited = link.exited;
  close_engine_input(link);
  const int code = platform::kill_child(link.child);
  if (result.exited) result.exit_code = static_cast<std::uint32_t>(code);
  watch_until(w, kEndWaitMs, [&] { return drained(link.out) && link.err.ended; });
  end_engine(link);
  result.outcome = !answered                    ? TrialOutcome::kSilent
                   : !link.banner_read || ended ? TrialOutcome::kEnded
                                                : TrialOutcome::kSaidName;
  if (result.outcome == TrialOutcome::kSaidName) {
    engine_name_from_banner(w.banner, platform::from_path(base), result.name);
  }
  return result;
}
