#include "common/searches.h"

namespace {

void end_it(Search& search, std::uint32_t now) {
  if (search.ended) return;
  search.ended = true;
  search.end_tick = now;
}

}  // namespace

void search_asked(Searches& s, bool infinite, std::uint64_t out_reads, std::uint64_t err_reads) {
  s.owed = true;
  s.search = Search{};
  s.search.infinite = infinite;
  s.search.serial = s.serial;
  s.search.reads_before[kOutputPipe] = out_reads;
  s.search.reads_before[kErrorPipe] = err_reads;
}

bool search_left(Searches& s, std::uint32_t now) {
  s.analysis = false;
  s.held.clear();
  if (!s.owed || s.search.stopped || s.search.left) return false;
  s.search.left = true;
  const bool tell = !s.search.ended;
  end_it(s.search, now);
  return tell;
}

bool search_stopped(Searches& s, std::uint32_t now, std::string& held) {
  const bool had = !s.held.empty();
  held = s.held;
  s.held.clear();
  s.analysis = false;
  if (s.owed && !s.search.left) {
    s.search.stopped = true;
    end_it(s.search, now);
  }
  return had;
}

SearchEnd search_answered(Searches& s, AnswerPipe pipe, std::uint64_t read) {
  if (!s.owed || read <= s.search.reads_before[pipe]) return {false, false, false, false};
  s.owed = false;
  s.answered = true;
  const Search& search = s.search;
  const bool held = search.infinite && !search.stopped && !search.left && s.analysis;
  return {true, !search.left, held, search.serial == s.serial};
}

void search_forgotten(Searches& s) {
  s.owed = false;
}

void position_given(Searches& s) {
  ++s.serial;
  s.answered = false;
}

std::uint32_t wait_left(const Searches& s, std::uint32_t now, std::uint32_t allowed) {
  if (!s.owed || !s.search.ended) return allowed;
  const std::uint32_t spent = now - s.search.end_tick;
  return spent < allowed ? allowed - spent : 0;
}

bool analysing(const Searches& s) {
  return s.owed && s.search.infinite && !s.search.stopped && !s.search.left;
}

bool reports_shown(const Searches& s) {
  if (!s.owed) return true;
  return !s.search.left && s.search.serial == s.serial;
}

bool engine_busy(const Searches& s) {
  return s.owed || s.answer_on_its_way;
}
