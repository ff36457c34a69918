#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ini_text.h"
#include "platform/platform.h"

namespace platform {

bool narrow_text_is_cp932() {
  return false;
}

void init_process() {
  signal(SIGPIPE, SIG_IGN);
  // With SIGCHLD ignored (some GUIs start their engines so) the system would reap the engine
  // at its exit, and its process id could be another program's when orv ends it.
  signal(SIGCHLD, SIG_DFL);
}

void exit_process(int code) {
  _exit(code);
}

Path to_path(std::string_view narrow) {
  return Path(narrow);
}

std::string from_path(const Path& path) {
  return path;
}

Path executable_path(const char* argv0) {
  return argv0 ? argv0 : "";
}

char path_separator() {
  return '/';
}

const char* executable_suffix() {
  return "";
}

Path current_directory() {
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return ".";
  std::string dir(buffer);
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir == "/" ? std::string() : dir;
}

void show_startup_error(const Path& subject, std::string_view message) {
  std::string line = "orv: " + subject + std::string(message) + "\n";
  if (write(STDERR_FILENO, line.data(), line.size()) < 0) return;
}

std::uint32_t tick_ms() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

LocalTime local_time() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  localtime_r(&now.tv_sec, &parts);
  return {parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

void sleep_ms(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

long read_pipe(Handle pipe, char* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = read(static_cast<int>(pipe), buffer, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}

long write_pipe(Handle pipe, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = write(static_cast<int>(pipe), data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

long write_pipe_within(Handle pipe, const char* data, std::size_t size, unsigned timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = write(static_cast<int>(pipe), data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return kWriteTimedOut;
    pollfd p{static_cast<int>(pipe), POLLOUT, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
  return static_cast<long>(done);
}

long read_stdin(char* buffer, std::size_t size) {
  return read_pipe(STDIN_FILENO, buffer, size);
}

bool write_stdout(const char* data, std::size_t size) {
  return write_pipe(STDOUT_FILENO, data, size) == static_cast<long>(size);
}

bool make_pipe(Handle& read_end, Handle& write_end) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  read_end = ends[0], write_end = ends[1];
  return true;
}

void close_handle(Handle& handle) {
  if (handle == no_handle) return;
  close(static_cast<int>(handle));
  handle = no_handle;
}

namespace {

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void exec_child(const std::string& dir, const std::string& path, char* const argv[],
                             const int in[2], const int out[2], const int err[2], int report,
                             pid_t parent) {
#ifdef __linux__
  // The engine dies with the adapter, however the adapter ends; had it ended already, the
  // signal would never come.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
#else
  (void)parent;
#endif
  int failure = 0;
  if (dup2(in[0], STDIN_FILENO) < 0 || dup2(out[1], STDOUT_FILENO) < 0 ||
      dup2(err[1], STDERR_FILENO) < 0 || (!dir.empty() && chdir(dir.c_str()) != 0)) {
    failure = errno;
  } else {
    execv(path.c_str(), argv);
    failure = errno;
  }
  if (write(report, &failure, sizeof failure) < 0) _exit(127);
  _exit(127);
}

void close_pair(int ends[2]) {
  close(ends[0]), close(ends[1]);
}

}  // namespace

namespace {

// The parent-death signal follows the thread that started the child, not the process: every
// child is started from this one thread, which never ends, whichever thread asks.
struct Starter {
  std::mutex lock;
  std::condition_variable changed;
  const std::function<void()>* job = nullptr;
};

void run_on_starter(const std::function<void()>& job) {
  static Starter& starter = *new Starter;  // never destroyed: its thread waits on it for good
  static std::once_flag started;
  std::call_once(started, [] {
    std::thread([] {
      std::unique_lock<std::mutex> hold(starter.lock);
      for (;;) {
        starter.changed.wait(hold, [] { return starter.job != nullptr; });
        (*starter.job)();
        starter.job = nullptr;
        starter.changed.notify_all();
      }
    }).detach();
  });
  std::unique_lock<std::mutex> hold(starter.lock);
  starter.changed.wait(hold, [] { return starter.job == nullptr; });
  starter.job = &job;
  starter.changed.notify_all();
  starter.changed.wait(hold, [&] { return starter.job != &job; });
}

bool start_child_here(const Path& dir, const Path& base, Child& child) {
  int in[2], out[2], err[2], report[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) return close_pair(in), false;
  if (pipe2(err, O_CLOEXEC) != 0) return close_pair(in), close_pair(out), false;
  if (pipe2(report, O_CLOEXEC) != 0) return close_pair(in), close_pair(out), close_pair(err), false;

  const std::string path = dir + base;
  std::string arg0 = base, arg1 = "csa_shogi";
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) exec_child(dir, path, argv, in, out, err, report[1], parent);

  // The engine holds its ends now; closing ours lets a read see the engine's exit.
  close(in[0]), close(out[1]), close(err[1]), close(report[1]);
  int failure = 0;
  bool started = pid > 0;
  if (started) {
    // The report pipe closes at the exec; a failure before it sends its errno.
    ssize_t n;
    while ((n = read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    if (n > 0) {
      started = false;
      waitpid(pid, nullptr, 0);
    }
  }
  close(report[0]);
  if (!started) {
    close(in[1]), close(out[0]), close(err[0]);
    return false;
  }
  // Writes to the engine wait for room with a time limit, never for ever.
  fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
  child.to_engine = in[1];
  child.from_out = out[0];
  child.from_err = err[0];
  child.process = pid;
  return true;
}

}  // namespace

bool start_child(const Path& dir, const Path& base, Child& child) {
  bool started = false;
  run_on_starter([&] { started = start_child_here(dir, base, child); });
  return started;
}

Handle watch_child(const Child& child) {
  return child.process;
}

bool wait_watched_exit(Handle& watch) {
  if (watch == no_handle) return false;
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(watch), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  watch = no_handle;
  return true;
}

int wait_child(Child& child, unsigned timeout_ms) {
  if (child.process == no_handle) return kStillRunning;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(child.process), &status, WNOHANG);
    if (done == static_cast<pid_t>(child.process) || (done < 0 && errno != EINTR)) {
      child.process = no_handle;
      if (done < 0) return 0;  // reaped elsewhere
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) return kStillRunning;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void kill_child(Child& child) {
  if (child.process == no_handle) return;
  kill(static_cast<pid_t>(child.process), SIGKILL);
  while (waitpid(static_cast<pid_t>(child.process), nullptr, 0) < 0 && errno == EINTR) {
  }
  child.process = no_handle;
}

namespace {

bool write_and_close(int fd, const std::string& text) {
  bool ok = write_pipe(fd, text.data(), text.size()) == static_cast<long>(text.size());
  ok = fsync(fd) == 0 && ok;
  return close(fd) == 0 && ok;
}

bool read_file(const std::string& path, std::string& text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return true;
}

}  // namespace

std::string ini_read(const Path& path, std::string_view section, std::string_view key,
                     std::string_view fallback, std::size_t max_bytes) {
  std::string text, value;
  if (!read_file(path, text) || !ini_text_get(text, section, key, value)) value = fallback;
  if (max_bytes == 0) return std::string();
  if (value.size() > max_bytes - 1) value.resize(max_bytes - 1);
  return value;
}

// The file is replaced whole (a new file renamed over the old one), so an interrupted
// write leaves the old file as it was. In a folder where no new file may be made, a
// writable file is written in place instead; any other failure (a full disk) leaves the old
// file whole, since writing in place would empty it first.
bool ini_write(const Path& path, std::string_view section, std::string_view key,
               std::string_view value) {
  std::string text;
  struct stat old {};
  const bool exists = stat(path.c_str(), &old) == 0;
  if (exists && access(path.c_str(), W_OK) != 0) return false;
  if (exists && !read_file(path, text)) return false;
  const std::string updated = ini_text_set(text, section, key, value);

  const std::string temp = path + ".tmp" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                exists ? (old.st_mode & 07777) : 0644);
  if (fd < 0) {
    if (!exists || (errno != EACCES && errno != EPERM && errno != EROFS)) return false;
    fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd >= 0 && write_and_close(fd, updated);
  }
  bool ok = write_and_close(fd, updated);
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

Path ini_read_path(const Path& file, std::string_view section, std::string_view key,
                   std::size_t max_length) {
  return ini_read(file, section, key, "", max_length);
}

bool ini_write_path(const Path& file, std::string_view section, std::string_view key,
                    const Path& value) {
  return ini_write(file, section, key, value);
}

bool stdin_is_console() {
  return isatty(STDIN_FILENO) == 1;
}

bool write_console(std::string_view) {
  return false;  // a terminal takes the narrow text, UTF-8, as it is
}

std::string utf8_from_path(const Path& path) {
  return path;
}

bool file_exists(const Path& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::vector<Path> folder_files(const Path& dir) {
  std::vector<Path> names;
  DIR* folder = opendir(dir.empty() ? "/" : dir.c_str());
  if (!folder) return names;
  while (const dirent* entry = readdir(folder)) {
    if (file_exists(dir + entry->d_name)) names.emplace_back(entry->d_name);
  }
  closedir(folder);
  return names;
}

bool can_create_file_in(const Path& dir) {
  const std::string path = dir + ".orv_check" + std::to_string(getpid()) + ".tmp";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = write_and_close(fd, "x");
  unlink(path.c_str());
  return written;
}

Refusal why_refused(const Path& dir) {
  if (access(dir.c_str(), W_OK) == 0 || errno == EROFS) return Refusal::kOther;
  return errno == EACCES || errno == EPERM ? Refusal::kMode : Refusal::kOther;
}

std::vector<Path> folder_folders(const Path& dir) {
  std::vector<Path> names;
  DIR* folder = opendir(dir.empty() ? "/" : dir.c_str());
  if (!folder) return names;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    struct stat st {};
    if (name != "." && name != ".." && stat((dir + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      names.push_back(name);
  }
  closedir(folder);
  return names;
}

bool in_temp_folder(const Path& dir) {
  const char* set = std::getenv("TMPDIR");
  char real[PATH_MAX];
  if (!realpath(set && *set ? set : "/tmp", real)) return false;
  std::string temp = real;
  if (temp.back() != '/') temp += '/';
  return dir.compare(0, temp.size(), temp) == 0;
}

bool lacks_run_bit(const Path& file) {
  return file_exists(file) && access(file.c_str(), X_OK) != 0 && errno == EACCES;
}

Path home_folder() {
  const char* home = std::getenv("HOME");
  Path path = home ? home : "";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace platform
