#include "front/engine_trial.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/engine_link.h"
#include "engine/engine_text.h"

namespace {

// An engine that lacks a file it needs may say its name first and end right after it.
constexpr unsigned kEndWatchMs = 500;
// How long the engine's pipes are given to end once it has ended or been ended.
constexpr unsigned kReadersEndWaitMs = 1000;

// The engine's two pipes, each read on a thread of its own, so that its first line can be
// waited for with a bound and the engine never waits on a full pipe.
struct Trial {
  EngineLink link;
  EngineState engine;
  std::mutex lock;
  std::condition_variable changed;
  // Under lock:
  bool banner_read = false;  // its first line, or the end of its output, came
  bool banner_ok = false;
  std::string banner;
  std::vector<std::string> out_lines, err_lines;
  int readers = 2;  // the readers still reading
};

void keep_last(std::vector<std::string>& lines, std::string_view text) {
  std::string cleaned;
  text = clean_engine_text(text, true, true, cleaned);
  if (text.find_first_not_of(" \t") == std::string_view::npos) return;
  text = text.substr(0, whole_characters(text.substr(0, kTrialLineBytes)));
  if (lines.size() == kTrialLastLines) lines.erase(lines.begin());
  lines.emplace_back(text);
}

void reader_done(Trial& t) {
  std::lock_guard<std::mutex> hold(t.lock);
  --t.readers;
  t.changed.notify_all();
}

void read_output(Trial& t) {
  std::string banner;
  const bool ok = read_banner(t.link, banner);
  {
    std::lock_guard<std::mutex> hold(t.lock);
    t.banner_read = true;
    t.banner_ok = ok;
    t.banner = banner;
    if (ok) keep_last(t.out_lines, banner);
    t.changed.notify_all();
  }
  for (LineRead line = read_line(t.link.out_reader); ok && line.ok;
       line = read_line(t.link.out_reader)) {
    std::lock_guard<std::mutex> hold(t.lock);
    keep_last(t.out_lines, line.text);
  }
  reader_done(t);
}

void read_errors(Trial& t) {
  for (LineRead line = read_line(t.link.err_reader); line.ok; line = read_line(t.link.err_reader)) {
    std::lock_guard<std::mutex> hold(t.lock);
    keep_last(t.err_lines, line.text);
  }
  reader_done(t);
}

}  // namespace

EngineTrial trial_engine(const platform::Path& dir, const platform::Path& base, unsigned wait_ms) {
  EngineTrial result;
  // It may outlive the trial: a program the engine started may hold its pipes open after the
  // engine has gone, and its readers then read on until that program ends.
  Trial* trial = new Trial;
  Trial& t = *trial;
  if (!start_engine_process(t.link, t.engine, dir, base)) {
    delete trial;
    return result;
  }
  std::thread out(read_output, std::ref(t));
  std::thread err(read_errors, std::ref(t));
  std::unique_lock<std::mutex> hold(t.lock);
  const bool answered =
      t.changed.wait_for(hold, std::chrono::milliseconds(wait_ms), [&] { return t.banner_read; });
  const bool named = answered && t.banner_ok;
  hold.unlock();
  int code = platform::kStillRunning;
  if (answered) code = platform::wait_child(t.link.child, named ? kEndWatchMs : kReadersEndWaitMs);
  close_engine(t.link, t.engine);
  end_engine(t.link, 0);
  hold.lock();
  const bool drained = t.changed.wait_for(hold, std::chrono::milliseconds(kReadersEndWaitMs),
                                          [&] { return t.readers == 0; });
  result.exited = code != platform::kStillRunning;
  if (result.exited) result.exit_code = static_cast<std::uint32_t>(code);
  result.outcome = !answered                 ? TrialOutcome::kSilent
                   : !named || result.exited ? TrialOutcome::kEnded
                                             : TrialOutcome::kSaidName;
  if (result.outcome == TrialOutcome::kSaidName) {
    engine_name_from_banner(t.banner, t.engine, platform::from_path(base), result.name);
  }
  result.last_output = t.out_lines;
  result.last_errors = t.err_lines;
  hold.unlock();
  if (drained) {
    out.join();
    err.join();
    delete trial;
  } else {
    out.detach();
    err.detach();
  }
  return result;
}
