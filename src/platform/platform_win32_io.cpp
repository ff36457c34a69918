// Windows pipes, the engine's process and the session loop's one wait. Anonymous pipes
// cannot be waited on, so a small thread per input pipe reads it and hands what it read to
// the loop, and one writes the GUI's output; the engine's input is in no-wait mode and is
// written by the loop itself; the engine's exit is waited on with the loop's own wake-up.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

HANDLE handle_of(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}

// A pipe whose child end is inheritable and whose adapter end is not.
bool make_pipe(HANDLE& read_end, HANDLE& write_end, bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return false;
  SetHandleInformation(child_reads ? write_end : read_end, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

long read_pipe(Handle pipe, char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(handle_of(pipe), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return static_cast<long>(got);
}

long write_pipe(Handle pipe, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    if (!WriteFile(handle_of(pipe), data + done, static_cast<DWORD>(size - done), &wrote,
                   nullptr) ||
        wrote == 0) {
      return -1;
    }
    done += wrote;
  }
  return static_cast<long>(done);
}

void close_handle(Handle& handle) {
  if (handle == no_handle) return;
  CloseHandle(handle_of(handle));
  handle = no_handle;
}

namespace {

// A job that ends its processes when its last handle closes: when the adapter ends, however
// it ends. Null where the system refuses one.
HANDLE make_kill_on_close_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// No console window of the engine's own when the GUI started the adapter without one.
constexpr DWORD kEngineFlags = NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW;

bool create_process(std::wstring& command, const Path& dir, STARTUPINFOW& startup, DWORD flags,
                    PROCESS_INFORMATION& process) {
  return CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, kEngineFlags | flags, nullptr,
                        dir.c_str(), &startup, &process) != 0;
}

// The engine in the job from its first instruction, so that no moment of it runs outside:
// where the system takes a job list at creation (Windows 10 and later).
bool create_in_job(std::wstring& command, const Path& dir, const STARTUPINFOW& startup, HANDLE job,
                   DWORD flags, PROCESS_INFORMATION& process) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
  STARTUPINFOEXW extended{};
  extended.StartupInfo = startup;
  extended.StartupInfo.cb = sizeof extended;
  extended.lpAttributeList = list;
  const bool created = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job,
                                                 sizeof job, nullptr, nullptr) &&
                       create_process(command, dir, extended.StartupInfo,
                                      flags | EXTENDED_STARTUPINFO_PRESENT, process);
  DeleteProcThreadAttributeList(list);
  return created;
}

// Suspended until it is in the job, so it never runs outside it. A kill of the adapter
// between the two steps would leave it suspended, which is why this is the fallback only.
bool create_then_assign(std::wstring& command, const Path& dir, STARTUPINFOW& startup, HANDLE job,
                        DWORD flags, PROCESS_INFORMATION& process) {
  if (!create_process(command, dir, startup, flags | CREATE_SUSPENDED, process)) return false;
  if (AssignProcessToJobObject(job, process.hProcess)) return true;
  TerminateProcess(process.hProcess, 1);  // it never ran
  CloseHandle(process.hThread), CloseHandle(process.hProcess);
  return false;
}

// Starts the engine in the job where it can be put in it: inside it from its creation, else
// assigned before it runs; where the adapter's own job forbids a job inside it, the engine is
// started again outside the adapter's job. Where none of this is allowed the engine runs
// without a job (job is then closed and reset), as a program the adapter started.
bool create_engine(std::wstring& command, const Path& dir, STARTUPINFOW& startup, HANDLE& job,
                   PROCESS_INFORMATION& process) {
  if (job) {
    for (DWORD breakaway : {DWORD{0}, DWORD{CREATE_BREAKAWAY_FROM_JOB}}) {
      if (create_in_job(command, dir, startup, job, breakaway, process) ||
          create_then_assign(command, dir, startup, job, breakaway, process)) {
        ResumeThread(process.hThread);
        CloseHandle(process.hThread);
        return true;
      }
    }
    CloseHandle(job);
    job = nullptr;
  }
  if (!create_process(command, dir, startup, 0, process)) return false;
  CloseHandle(process.hThread);
  return true;
}

}  // namespace

bool start_child(const Path& dir, const Path& base, Child& child) {
  HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
  if (!make_pipe(in_read, in_write, true)) return false;
  if (!make_pipe(out_read, out_write, false)) {
    CloseHandle(in_read), CloseHandle(in_write);
    return false;
  }
  if (!make_pipe(err_read, err_write, false)) {
    CloseHandle(in_read), CloseHandle(in_write), CloseHandle(out_read), CloseHandle(out_write);
    return false;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  // The path in quotes, so a folder with blanks starts the right program.
  std::wstring command = L"\"" + dir + base + to_path(executable_suffix()) + L"\" csa_shogi";
  PROCESS_INFORMATION process{};
  HANDLE job = make_kill_on_close_job();
  const bool started = create_engine(command, dir, startup, job, process);
  // The engine holds its ends now; closing ours lets a read see the engine's exit.
  CloseHandle(in_read), CloseHandle(out_write), CloseHandle(err_write);
  if (!started) {
    if (job) CloseHandle(job);
    CloseHandle(in_write), CloseHandle(out_read), CloseHandle(err_read);
    return false;
  }
  DWORD no_wait = PIPE_READMODE_BYTE | PIPE_NOWAIT;
  SetNamedPipeHandleState(in_write, &no_wait, nullptr, nullptr);
  child.to_engine = reinterpret_cast<Handle>(in_write);
  child.from_out = reinterpret_cast<Handle>(out_read);
  child.from_err = reinterpret_cast<Handle>(err_read);
  child.process = reinterpret_cast<Handle>(process.hProcess);
  child.job = job ? reinterpret_cast<Handle>(job) : no_handle;
  return true;
}

int wait_child(Child& child, unsigned timeout_ms) {
  if (child.process == no_handle) return kStillRunning;
  if (WaitForSingleObject(handle_of(child.process), timeout_ms) != WAIT_OBJECT_0) {
    return kStillRunning;
  }
  DWORD code = 0;
  GetExitCodeProcess(handle_of(child.process), &code);
  close_handle(child.process);
  return static_cast<int>(code);
}

int kill_child(Child& child) {
  if (child.process == no_handle) return kStillRunning;
  if (child.job != no_handle) TerminateJobObject(handle_of(child.job), 1);
  TerminateProcess(handle_of(child.process), 1);
  WaitForSingleObject(handle_of(child.process), 5000);
  DWORD code = 1;
  GetExitCodeProcess(handle_of(child.process), &code);
  close_handle(child.process);
  return static_cast<int>(code);
}

namespace {

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
