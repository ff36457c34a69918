#include "common/searches.h"

namespace {

Search& at(Searches& s, std::size_t i) {
  return s.pending[(s.first + i) % kMaxPendingSearches];
}

const Search& oldest(const Searches& s) {
  return s.pending[s.first];
}

void drop_held(Searches& s) {
  s.analysis = false;
  s.held.clear();
}

// The searches the GUI left without "stop" (all, or only the analyses among them) will be
// neither shown nor played. True when one of them still runs.
bool abandon(Searches& s, bool analyses_only) {
  drop_held(s);
  bool running = false;
  for (std::size_t i = 0; i < s.count; ++i) {
    Search& search = at(s, i);
    if (search.stopped || search.abandoned || (analyses_only && !search.infinite)) continue;
    search.abandoned = true;
    running = true;
  }
  return running;
}

}  // namespace

void search_asked(Searches& s, bool infinite, const Position& board) {
  if (s.count == kMaxPendingSearches) s.first = (s.first + 1) % kMaxPendingSearches, --s.count;
  Search& search = at(s, s.count++);
  search = Search{infinite, false, false, s.serial, board};
}

bool end_analysis(Searches& s) {
  return abandon(s, true);
}

bool leave_searches(Searches& s) {
  return abandon(s, false);
}

bool stop_searches(Searches& s, std::string& held) {
  const bool had = !s.held.empty();
  held = s.held;
  drop_held(s);
  for (std::size_t i = 0; i < s.count; ++i) at(s, i).stopped = true;
  return had;
}

SearchEnd search_ended(Searches& s) {
  if (s.count == 0) return {true, false, true, nullptr};
  const Search& search = oldest(s);
  s.first = (s.first + 1) % kMaxPendingSearches;
  --s.count;
  const bool held = search.infinite && !search.stopped && !search.abandoned && s.analysis;
  const bool current = search.serial == s.serial;
  return {!search.abandoned, held, current, current ? nullptr : &search.board};
}

bool analysing(const Searches& s) {
  if (s.count == 0) return false;
  const Search& search = oldest(s);
  return search.infinite && !search.stopped && !search.abandoned;
}

bool reports_shown(const Searches& s) {
  if (s.count == 0) return true;
  const Search& search = oldest(s);
  return !search.abandoned && search.serial == s.serial;
}

bool searches_pending(const Searches& s) {
  return s.count > 0;
}
