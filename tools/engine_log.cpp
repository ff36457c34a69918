#include "tools/engine_log.h"

#include <cstdio>
#include <fstream>
#include <set>

using namespace standin;

namespace {

std::string key_of(const Board& b) {
  char key[24];
  std::snprintf(key, sizeof key, "%llx", static_cast<unsigned long long>(compute_key(b)));
  return key;
}

bool is_surprise(const LogEntry& e) {
  return e.what == "quirk" || e.what == "unanswered";
}

// The searches the engine began since the last "go", of the position with that key.
std::set<std::string> searches_since_go(const EngineLog& log, const std::string& key) {
  std::set<std::string> ids;
  for (std::size_t i = log.go_at; i < log.entries.size(); ++i) {
    const LogEntry& e = log.entries[i];
    if (e.what == "search" && e.text == key) ids.insert(e.id);
  }
  return ids;
}

bool answered_since_go(const EngineLog& log, const std::set<std::string>& own,
                       const std::string& text) {
  for (std::size_t i = log.go_at; i < log.entries.size(); ++i) {
    const LogEntry& e = log.entries[i];
    if (e.what == "answer" && e.text == text && own.count(e.id)) return true;
  }
  return false;
}

// The engine wrote its answer to that search twice, since the "go" before the last one.
bool copied_since_search_before(const EngineLog& log, const std::string& id) {
  for (std::size_t i = log.go_before; i < log.entries.size(); ++i) {
    const LogEntry& e = log.entries[i];
    if (e.what == "quirk" && e.id == id && e.text == "copy") return true;
  }
  return false;
}

// Which search the engine wrote this answer for, the last time it wrote it before the bestmove.
Trace whose_answer(const EngineLog& log, const std::string& key, const std::string& text,
                   std::string& why) {
  for (std::size_t i = log.entries.size(); i-- > 0;) {
    const LogEntry& e = log.entries[i];
    if (e.what != "answer" || e.text != text) continue;
    why = text + " was the engine's answer to its search " + e.id;
    for (const LogEntry& s : log.entries) {
      if (s.what != "search" || s.id != e.id) continue;
      why += " of " + (s.text == key ? std::string("the same position") : "position " + s.text);
      if (s.text != key) return Trace::kOtherBoard;
      return copied_since_search_before(log, e.id) ? Trace::kCopy : Trace::kSameBoard;
    }
    why = text + " was a line the engine wrote for no search (" + e.id + ")";
    return Trace::kNoSearch;
  }
  why = text + " is no line the engine wrote";
  return Trace::kUnknown;
}

}  // namespace

void read_log(EngineLog& log) {
  std::ifstream file(log.path, std::ios::binary);
  if (!file) return;
  file.seekg(static_cast<std::streamoff>(log.read_to));
  std::string line;
  // Only whole lines: the engine may be writing the next one.
  while (std::getline(file, line) && !file.eof()) {
    log.read_to += line.size() + 1;
    LogEntry e;
    const std::size_t a = line.find(' '), b = line.find(' ', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    e.what = line.substr(0, a);
    e.id = line.substr(a + 1, b - a - 1);
    e.text = line.substr(b + 1);
    if (e.what == "unanswered") ++log.unanswered;
    if (e.what == "unanswered" || (e.what == "quirk" && e.text.rfind("late ", 0) == 0)) {
      ++log.stalls;
    }
    log.entries.push_back(e);
  }
}

void log_go(EngineLog& log) {
  read_log(log);
  log.go_before = log.go_at;
  log.go_at = log.entries.size();
}

bool surprise_since_search_before(const EngineLog& log) {
  for (std::size_t i = log.go_before; i < log.entries.size(); ++i) {
    if (is_surprise(log.entries[i])) return true;
  }
  return false;
}

Trace trace_bestmove(EngineLog& log, Board position, const std::string& bestmove,
                     std::string& why) {
  read_log(log);
  const std::string key = key_of(position);
  const std::set<std::string> own = searches_since_go(log, key);
  if (bestmove == "resign") {
    if (answered_since_go(log, own, "resign") || answered_since_go(log, own, "complaint")) {
      return Trace::kResign;
    }
    if (surprise_since_search_before(log)) return Trace::kExplained;
    why = "no answer of the engine to this search and no surprise since the search before";
    return Trace::kUnexplained;
  }
  Move m;
  move_from_usi(position, bestmove, m);
  const std::string csa = csa_of(m);
  if (answered_since_go(log, own, csa)) return Trace::kOwn;
  return whose_answer(log, key, csa, why);
}
