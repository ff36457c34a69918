#include "engine/engine_link.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/engine_text.h"
#include "engine/gui_writer.h"

bool start_engine_process(EngineLink& link, EngineState& engine, const platform::Path& dir,
                          const platform::Path& base) {
  link.engine_file = platform::from_path(base) + platform::executable_suffix();
  if (!platform::start_child(dir, base, link.child)) return false;
  link.out_reader.source = link.child.from_out;
  link.err_reader.source = link.child.from_err;
  engine.running = true;
  return true;
}

long write_engine_line(EngineLink& link, std::string_view text) {
  char staging[kMaxEngineCommand + 1];
  const std::size_t n = text.size() < kMaxEngineCommand ? text.size() : kMaxEngineCommand;
  std::memcpy(staging, text.data(), n);
  staging[n] = '\n';
  std::lock_guard<std::mutex> hold(link.write_lock);
  if (link.child.to_engine == platform::no_handle) return 0;
  return platform::write_pipe_within(link.child.to_engine, staging, n + 1, kEngineWriteTimeoutMs);
}

void end_for_engine(EngineLink& link, const char* what) {
  link.gone_told.store(true);  // no second telling by another thread that sees it gone
  end_process_within(link, 1, kLastWritesMs);
  {
    std::lock_guard<std::mutex> hold(link.life_lock);
    platform::kill_child(link.child);
  }
  write_gui("info string engine " + link.engine_file + " " + what + "\n");
  exit_after_gui(1);
}

void close_engine(EngineLink& link, EngineState& engine) {
  engine.running = false;
  std::lock_guard<std::mutex> hold(link.write_lock);
  platform::close_handle(link.child.to_engine);
}

void end_engine(EngineLink& link, unsigned grace_ms) {
  std::lock_guard<std::mutex> hold(link.life_lock);
  if (platform::wait_child(link.child, grace_ms) == platform::kStillRunning) {
    platform::kill_child(link.child);
  }
}

void end_process_within(EngineLink& link, int code, unsigned ms) {
  std::thread([&link, code, ms] {
    platform::sleep_ms(ms);
    {
      std::lock_guard<std::mutex> hold(link.life_lock);
      platform::kill_child(link.child);
    }
    platform::exit_process(code);
  }).detach();
}

namespace {

// Where a banner is cut, and what each version prefix marks.
constexpr std::string_view kBannerTail = " - The Computer Shogi Engine";
constexpr std::size_t kBannerTailMinIndex = 11;

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// An engine thread whose work is done waits for orv to end rather than ending first: threads
// that end while the process ends can hold up that end under Wine, until the system kills
// orv and its exit code is lost. orv ends soon after its engine in any case.
void run_for_orv_lifetime(void (*work)(void*), void* context) {
  work(context);
  for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
}

// The engine's process itself is watched, not only its output: a program it started may
// hold its pipes open long after it has exited.
void watch_engine(void* context) {
  EngineLink& link = *static_cast<EngineLink*>(context);
  if (platform::wait_watched_exit(link.exit_watch)) link.gone(link.gone_context);
}

}  // namespace

bool read_banner(EngineLink& link, std::string& banner) {
  std::string cleaned;
  for (;;) {
    LineRead line = read_line(link.out_reader);
    if (!line.ok) return false;
    const std::string_view text = clean_engine_text(line.text, true, true, cleaned);
    const bool blank = text.find_first_not_of(" \t") == std::string_view::npos;
    if (!blank) banner.assign(text);
    while (!line.terminated) {
      line = read_line(link.out_reader);
      if (!line.ok) return false;
    }
    if (!blank) return true;
  }
}

void engine_name_from_banner(std::string_view banner, EngineState& engine, const std::string& base,
                             std::string& name) {
  engine.is_v1 = starts_with(banner, "Molvara Version 1");
  engine.is_v2 = starts_with(banner, "Molvara Version 2");
  engine.is_v3 = starts_with(banner, "Molvara Version 3");
  std::size_t tail = banner.find(kBannerTail);
  if (tail != std::string_view::npos && tail >= kBannerTailMinIndex)
    banner = banner.substr(0, tail);
  name.assign(banner);
  if (base != "molvara") name.append(" (").append(base).append(")");
}

bool launch_engine(EngineLink& link, EngineState& engine, const platform::Path& dir,
                   const platform::Path& base, std::string& name, const ReaderThreads& threads) {
  if (!start_engine_process(link, engine, dir, base)) return false;
  for (auto err_thread : threads.err_threads) {
    std::thread(run_for_orv_lifetime, err_thread, threads.context).detach();
  }
  std::string banner;
  if (!read_banner(link, banner)) {  // an engine that keeps running without its output is no engine
    close_engine(link, engine);
    end_engine(link, 0);
    platform::close_handle(link.child.from_out);
    return false;
  }
  engine_name_from_banner(banner, engine, platform::from_path(base), name);
  link.banner_read.store(true);
  link.gone = threads.gone;
  link.gone_context = threads.context;
  link.exit_watch = platform::watch_child(link.child);
  std::thread(run_for_orv_lifetime, threads.out_thread, threads.context).detach();
  std::thread(run_for_orv_lifetime, watch_engine, static_cast<void*>(&link)).detach();
  return true;
}

void take_engine_turn(Outbox& out, EngineLink& link) {
  if (out.to_engine && out.engine_turn < 0) {
    out.engine_turn = static_cast<std::int64_t>(link.turns_taken++);
  }
}

void deliver(Outbox& out, EngineLink& link) {
  std::unique_lock<std::mutex> turn(link.turn_lock, std::defer_lock);
  if (out.engine_turn >= 0) {
    const auto mine = static_cast<std::uint64_t>(out.engine_turn);
    turn.lock();
    link.turn_passed.wait(turn, [&] { return link.turns_written == mine; });
  }
  const std::size_t count = out.entries.size();
  for (std::size_t i = 0; i < count;) {
    const Outbox::Entry& first = out.entries[i];
    if (first.target == Outbox::kEngine) {
      const long written = write_engine_line(
          link, std::string_view(out.text).substr(first.begin, first.end - first.begin));
      if (written == platform::kWriteTimedOut) end_for_engine(link, "does not read its input");
      if (written < 0 && link.gone) link.gone(link.gone_context);  // its input is closed
      ++i;
      continue;
    }
    // Consecutive GUI lines go out in one write.
    std::size_t last = i;
    while (last + 1 < count && out.entries[last + 1].target == Outbox::kGui) ++last;
    write_gui(std::string_view(out.text).substr(first.begin, out.entries[last].end - first.begin));
    i = last + 1;
  }
  if (turn.owns_lock()) {
    ++link.turns_written;
    link.turn_passed.notify_all();
  }
  outbox_clear(out);
}
