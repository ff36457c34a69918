// The session loop's one wait on Windows. Anonymous pipes cannot be waited on, so a small
// thread per input pipe reads it and hands what it read to the loop, and one writes the GUI's
// output; the engine's input is in no-wait mode and is written by the loop itself; the
// engine's exit is waited on with the loop's own wake-up.
#include <io.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace platform {
namespace {

HANDLE handle_of(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}

// Threads whose work is done wait for orv to end rather than ending first: threads that end
// while the process ends can hold up that end under Wine, until its exit code is lost.
[[noreturn]] void wait_for_orv() {
  for (;;) Sleep(INFINITE);
}

HANDLE wake = nullptr;  // set whenever a reader or the writer has something for the loop

// What one reader has read and the loop has not yet taken. It holds a few reads at most: a
// reader waits while the loop has not taken them. The lock order: there is none to keep, for
// no thread takes a feed's lock or the writer's while it holds another.
struct Feed {
  std::mutex lock;
  std::condition_variable taken;
  std::deque<std::string> reads;
  std::size_t offset = 0;  // into the first read
  bool ended = false;
  bool abandoned = false;  // the loop no longer reads it (an engine that was ended)
};
constexpr std::size_t kFeedReads = 16;

void feed_from(const std::shared_ptr<Feed>& feed, HANDLE pipe) {
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    bool read;
    if (pipe) {
      read = ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) != 0;
    } else {  // the GUI's input, as the C library reads it
      const int n = _read(0, buffer, sizeof buffer);
      read = n > 0;
      got = read ? static_cast<DWORD>(n) : 0;
    }
    std::unique_lock<std::mutex> hold(feed->lock);
    feed->taken.wait(hold, [&] { return feed->reads.size() < kFeedReads || feed->abandoned; });
    if (feed->abandoned) break;
    if (!read || got == 0) {
      feed->ended = true;
      SetEvent(wake);
      break;
    }
    feed->reads.emplace_back(buffer, got);
    SetEvent(wake);
  }
  if (pipe) CloseHandle(pipe);
  wait_for_orv();
}

std::shared_ptr<Feed> start_feed(HANDLE pipe) {
  auto feed = std::make_shared<Feed>();
  std::thread(feed_from, feed, pipe).detach();
  return feed;
}

// The GUI's output: the loop hands over what it has, the writer writes it whole.
struct Writer {
  std::mutex lock;
  std::condition_variable handed;
  std::string bytes;
  bool busy = false, gone = false;
} writer;

void write_gui_output() {
  std::unique_lock<std::mutex> hold(writer.lock);
  for (;;) {
    writer.handed.wait(hold, [] { return writer.busy; });
    hold.unlock();
    bool ok = true;
    for (std::size_t done = 0; ok && done < writer.bytes.size();) {
      const int n =
          _write(1, writer.bytes.data() + done, static_cast<unsigned>(writer.bytes.size() - done));
      ok = n > 0;
      done += ok ? static_cast<std::size_t>(n) : 0;
    }
    hold.lock();
    writer.busy = false;
    writer.gone = !ok;
    SetEvent(wake);
  }
}

struct Io {
  std::shared_ptr<Feed> feeds[kInputCount];
  HANDLE process = nullptr;
  bool exit_told = false;
  Handle to_engine = no_handle;
} io;

constexpr std::size_t kWriterChunk = 64 * 1024;

// The engine's input takes what fits now; while it is full the loop looks again this soon.
constexpr DWORD kFullInputRetryMs = 10;

bool input_ready(Input input) {
  Feed* feed = io.feeds[input].get();
  if (!feed) return false;
  std::lock_guard<std::mutex> hold(feed->lock);
  return !feed->reads.empty() || feed->ended;
}

bool gui_output_idle() {
  std::lock_guard<std::mutex> hold(writer.lock);
  return !writer.busy;
}

HANDLE own_copy(Handle pipe) {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), handle_of(pipe), GetCurrentProcess(), &copy, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  return copy;
}

}  // namespace

void io_open() {
  if (wake) return;
  wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  io.feeds[kGuiIn] = start_feed(nullptr);
  std::thread(write_gui_output).detach();
}

void io_attach(const Child& child) {
  // Each reader reads a copy of its own, which it closes: the child's may be closed while a
  // read waits on it.
  io.feeds[kEngineOut] = start_feed(own_copy(child.from_out));
  io.feeds[kEngineErr] = start_feed(own_copy(child.from_err));
  io.process = handle_of(child.process);
  io.exit_told = false;
  io.to_engine = child.to_engine;
}

void io_engine_input_closed() {
  io.to_engine = no_handle;
}

void io_detach() {
  for (Input input : {kEngineOut, kEngineErr}) {
    if (Feed* feed = io.feeds[input].get()) {
      std::lock_guard<std::mutex> hold(feed->lock);
      feed->abandoned = true;
      feed->taken.notify_all();
    }
    io.feeds[input].reset();
  }
  io.process = nullptr;
  io.to_engine = no_handle;
}

bool io_wait(const Wants& wants, int timeout_ms, Ready& ready) {
  ready = Ready{};
  bool any = false;
  for (int i = 0; i < kInputCount; ++i) {
    ready.read[i] = wants.read[i] && input_ready(static_cast<Input>(i));
    any = any || ready.read[i];
  }
  ready.write[kGuiOut] = wants.write[kGuiOut] && gui_output_idle();
  if (any || ready.write[kGuiOut]) return true;
  DWORD wait = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
  if (wants.write[kEngineIn] && wait > kFullInputRetryMs) wait = kFullInputRetryMs;
  HANDLE handles[2] = {wake, io.process};
  const DWORD count = io.process && !io.exit_told ? 2 : 1;
  const DWORD got = WaitForMultipleObjects(count, handles, FALSE, wait);
  if (got == WAIT_OBJECT_0 + 1) io.exit_told = ready.exited = true;
  for (int i = 0; i < kInputCount; ++i) {
    ready.read[i] = wants.read[i] && input_ready(static_cast<Input>(i));
  }
  ready.write[kGuiOut] = wants.write[kGuiOut] && gui_output_idle();
  ready.write[kEngineIn] = wants.write[kEngineIn];
  return got != WAIT_TIMEOUT;
}

void give_way() {
  SwitchToThread();
}

long io_read(Input input, char* buffer, std::size_t size) {
  Feed* feed = io.feeds[input].get();
  if (!feed) return 0;
  std::lock_guard<std::mutex> hold(feed->lock);
  if (feed->reads.empty()) return 0;
  const std::string& first = feed->reads.front();
  const std::size_t n = first.size() - feed->offset < size ? first.size() - feed->offset : size;
  first.copy(buffer, n, feed->offset);
  feed->offset += n;
  if (feed->offset == first.size()) {
    feed->reads.pop_front();
    feed->offset = 0;
    feed->taken.notify_all();
  }
  return static_cast<long>(n);
}

long io_write(Output output, const char* data, std::size_t size) {
  if (output == kEngineIn) {
    if (io.to_engine == no_handle) return -1;
    DWORD wrote = 0;
    if (!WriteFile(handle_of(io.to_engine), data, static_cast<DWORD>(size), &wrote, nullptr)) {
      return -1;
    }
    return static_cast<long>(wrote);
  }
  std::lock_guard<std::mutex> hold(writer.lock);
  if (writer.gone) return -1;
  if (writer.busy) return 0;
  // A pipe's worth at a time, so that the loop sees a GUI that reads take its lines.
  if (size > kWriterChunk) size = kWriterChunk;
  writer.bytes.assign(data, size);
  writer.busy = true;
  writer.handed.notify_all();
  return static_cast<long>(size);
}

bool io_gui_written() {
  return gui_output_idle();
}

}  // namespace platform
