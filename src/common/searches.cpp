#include "common/searches.h"

void search_asked(Searches& s, bool infinite) {
  s.phase = SearchPhase::kRunning;
  s.infinite = infinite;
  s.stopped = false;
  s.searched = s.serial;
}

bool search_left(Searches& s, std::uint32_t now) {
  s.analysis = false;
  s.held.clear();
  // Told "s" already; one the GUI stopped is still answered, as a stopped search is.
  if (s.phase == SearchPhase::kCopied && !s.stopped) s.phase = SearchPhase::kLeft;
  if (s.phase != SearchPhase::kRunning) return false;
  s.phase = SearchPhase::kLeft;
  s.end_tick = now;
  return true;
}

bool search_stopped(Searches& s, std::uint32_t now, std::string& held) {
  const bool had = !s.held.empty();
  held = s.held;
  s.held.clear();
  s.analysis = false;
  s.stopped = answer_shown(s);
  if (s.phase == SearchPhase::kRunning) s.end_tick = now;
  if (s.phase == SearchPhase::kRunning || s.phase == SearchPhase::kStopped) {
    s.phase = SearchPhase::kStopped;
  }
  return had;
}

SearchEnd search_answered(Searches& s) {
  if (s.phase == SearchPhase::kIdle) return {false, false, false, false, false};
  const SearchPhase phase = s.phase;
  s.phase = SearchPhase::kIdle;
  s.answered = true;
  const bool awaited = phase == SearchPhase::kRunning || phase == SearchPhase::kCopied;
  const bool held = s.infinite && awaited && s.analysis;
  const bool late = phase == SearchPhase::kOverdue || phase == SearchPhase::kTaken;
  const bool shown = awaited || phase == SearchPhase::kStopped;
  return {true, shown, held, s.searched == s.serial, late};
}

void search_doubted(Searches& s, std::uint32_t now) {
  s.phase = SearchPhase::kDoubted;
  s.end_tick = now;
}

bool search_copied(Searches& s, std::uint32_t now) {
  const bool running = s.phase == SearchPhase::kRunning;
  s.phase = SearchPhase::kCopied;
  s.end_tick = now;
  return running;
}

void search_owed_still(Searches& s, SearchPhase was, std::uint32_t now) {
  if (was == SearchPhase::kLeft) return search_doubted(s, now);
  if (was == SearchPhase::kOverdue || was == SearchPhase::kDoubted) s.phase = was;
}

void search_taken(Searches& s) {
  s.phase = SearchPhase::kTaken;
}

bool search_overdue(Searches& s) {
  bool waits = s.phase == SearchPhase::kStopped;
  if (s.phase == SearchPhase::kCopied) {
    // An analysis the GUI has not stopped gets its resign at "stop".
    if (s.infinite && s.analysis) s.held = "resign";
    waits = !(s.infinite && s.analysis);
  }
  s.phase = SearchPhase::kOverdue;
  return waits;
}

void search_abandoned(Searches& s) {
  s.phase = SearchPhase::kIdle;
}

void position_given(Searches& s) {
  ++s.serial;
  s.answered = false;
}

std::uint32_t wait_left(const Searches& s, std::uint32_t now, std::uint32_t allowed) {
  if (!answer_awaited(s)) return allowed;
  const auto spent = static_cast<std::int32_t>(now - s.end_tick);  // a tick taken before it: 0
  if (spent <= 0) return allowed;
  return static_cast<std::uint32_t>(spent) < allowed ? allowed - static_cast<std::uint32_t>(spent)
                                                     : 0;
}

bool analysing(const Searches& s) {
  return s.phase == SearchPhase::kRunning && s.infinite;
}

bool reports_shown(const Searches& s) {
  if (s.phase == SearchPhase::kIdle) return true;
  return answer_shown(s) && s.searched == s.serial;
}
