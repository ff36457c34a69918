#include "integration/adapter_session.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

enum class Pumped { kNothing, kData, kClosed };

// Reads what is ready on standard output and error within the timeout.
Pumped pump(AdapterSession& s, int timeout_ms) {
  if (s.out_fd < 0 && s.err_fd < 0) return Pumped::kClosed;
  pollfd fds[2] = {{s.out_fd, POLLIN, 0}, {s.err_fd, POLLIN, 0}};
  if (poll(fds, 2, timeout_ms) <= 0) return Pumped::kNothing;
  Pumped result = Pumped::kNothing;
  for (int i = 0; i < 2; ++i) {
    int& fd = i == 0 ? s.out_fd : s.err_fd;
    if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[65536];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      (i == 0 ? s.out : s.err).append(buffer, static_cast<std::size_t>(got));
      result = Pumped::kData;
    } else {
      close(fd);
      fd = -1;
    }
  }
  return result;
}

}  // namespace

std::string native_dir(const std::string& dir) {
  if (!kUnderWine) return dir + "/";
  std::string windows = "Z:" + dir + "\\";
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

namespace {

std::string lf_lines(const std::string& text) {
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
  }
  return lf;
}

}  // namespace

std::string read_text_file(const std::string& path) {
  return lf_lines(read_file(path));
}

std::string read_file(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return text;
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return text;
}

void write_file(const std::string& path, std::string_view text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

bool file_exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string make_test_dir(const std::string& test_name, const std::string& exe_name,
                          const std::string& engine_name, const std::string& script) {
  const std::string dir = std::string(ORV_TEST_WORK_DIR) + "/" + test_name;
  std::string wipe = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
  if (std::system(wipe.c_str()) != 0) return dir;
  if (symlink(ORV_ADAPTER_PATH, (dir + "/" + program(exe_name)).c_str()) != 0) return dir;
  if (!engine_name.empty()) {
    if (symlink(ORV_FAKE_ENGINE_PATH, (dir + "/" + program(engine_name)).c_str()) != 0) return dir;
  }
  if (!script.empty()) write_file(dir + "/fake_script.txt", script);
  return dir;
}

namespace {

// Spawns file with argv in dir, its standard streams on pipes to s.
bool spawn(AdapterSession& s, const std::string& dir, const char* file, char* const argv[],
           bool search_path) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  int failed = search_path ? posix_spawnp(&s.pid, file, &actions, nullptr, argv, environ)
                           : posix_spawn(&s.pid, file, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]), close(out[1]), close(err[1]);
  s.dir = dir;
  s.in_fd = in[1], s.out_fd = out[0], s.err_fd = err[0];
  signal(SIGPIPE, SIG_IGN);
  return failed == 0;
}

}  // namespace

bool start_adapter(AdapterSession& s, const std::string& dir, const std::string& exe_name,
                   const char* argument) {
  std::string arg = argument ? argument : "";
  if (kUnderWine) {
    std::string wine = "wine", exe = program(exe_name);
    char* argv[] = {wine.data(), exe.data(), argument ? arg.data() : nullptr, nullptr};
    setenv("WINEDEBUG", "-all", 1);
    // Wine takes its ANSI code page from the locale: 1252 here whatever the host's (file names
    // still UTF-8), so a Japanese folder name is outside it on a Japanese host too.
    setenv("LC_ALL", "C.UTF-8", 1);
    return spawn(s, dir, "wine", argv, true);
  }
  std::string arg0 = exe_name;
  char* argv[] = {arg0.data(), argument ? arg.data() : nullptr, nullptr};
  return spawn(s, dir, (dir + "/" + exe_name).c_str(), argv, false);
}

bool start_adapter_unprivileged(AdapterSession& s, const std::string& dir, const char* argument) {
  if (geteuid() != 0) return start_adapter(s, dir, "orv_molvara", argument);
  std::string arg = argument ? argument : "";
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return false;
  const std::string path = dir + "/orv_molvara";
  s.pid = fork();
  if (s.pid == 0) {
    const gid_t nobody_group = 65534;
    const uid_t nobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(nobody_group) != 0 || setuid(nobody) != 0 ||
        chdir(dir.c_str()) != 0) {
      _exit(127);
    }
    dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
    char arg0[] = "orv_molvara";
    char* argv[] = {arg0, argument ? arg.data() : nullptr, nullptr};
    execv(path.c_str(), argv);
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  s.dir = dir;
  s.in_fd = in[1], s.out_fd = out[0], s.err_fd = err[0];
  signal(SIGPIPE, SIG_IGN);
  return s.pid > 0;
}

bool start_program(AdapterSession& s, const std::string& dir, const std::string& path) {
  std::string arg0 = path;
  char* argv[] = {arg0.data(), nullptr};
  return spawn(s, dir, path.c_str(), argv, false);
}

void send(AdapterSession& s, std::string_view text) {
  // Reads the adapter's output while writing, so a large input never waits on a full pipe.
  while (!text.empty() && s.in_fd >= 0) {
    pollfd p{s.in_fd, POLLOUT, 0};
    if (poll(&p, 1, 10) > 0) {
      const int flags = fcntl(s.in_fd, F_GETFL);
      fcntl(s.in_fd, F_SETFL, flags | O_NONBLOCK);
      ssize_t n = write(s.in_fd, text.data(), text.size());
      fcntl(s.in_fd, F_SETFL, flags);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return;  // the adapter has gone
      if (n > 0) text.remove_prefix(static_cast<std::size_t>(n));
    }
    pump(s, 0);
    // Under Wine another process may keep the adapter's input open after it has ended.
    int status = 0;
    if (s.pid > 0 && waitpid(s.pid, &status, WNOHANG) == s.pid) {
      s.pid = -1;
      s.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      close_input(s);
    }
  }
}
void close_input(AdapterSession& s) {
  if (s.in_fd >= 0) close(s.in_fd);
  s.in_fd = -1;
}

std::string next_line(AdapterSession& s, int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::size_t lf = s.out.find('\n');
    if (lf != std::string::npos) {
      std::string line = s.out.substr(0, lf);
      s.out.erase(0, lf + 1);
      // Windows programs end their lines with CR LF.
      if (kUnderWine && !line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (s.out_fd < 0) return "<eof>";
    if (ms_left(deadline) == 0) return "<timeout>";
    pump(s, ms_left(deadline));
  }
}

std::vector<std::string> lines_until(AdapterSession& s, std::string_view last, int timeout_ms) {
  std::vector<std::string> lines;
  for (;;) {
    lines.push_back(next_line(s, timeout_ms));
    if (lines.back() == last || lines.back() == "<timeout>" || lines.back() == "<eof>") {
      return lines;
    }
  }
}

int wait_exit(AdapterSession& s, int timeout_ms) {
  if (s.pid < 0) {
    for (Pumped p = Pumped::kData; p == Pumped::kData;) p = pump(s, 50);
    return s.exit_code;
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(s.pid, &status, WNOHANG);
    if (done == s.pid) {
      // All it wrote is in the pipes now; under Wine other processes may hold their ends
      // open a while longer, so the end of the pipe is not waited for.
      for (Pumped p = Pumped::kData; p != Pumped::kClosed;) {
        p = pump(s, 50);
        if (p == Pumped::kNothing) break;
      }
      s.pid = -1;
      s.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      close_input(s);
      return s.exit_code;
    }
    if (ms_left(deadline) == 0) {
      kill(s.pid, SIGKILL);
      waitpid(s.pid, &status, 0);
      s.pid = -1;
      close_input(s);
      return -1;
    }
    pump(s, 10);
  }
}

std::string rest_of_output(AdapterSession& s) {
  std::string rest;
  rest.swap(s.out);
  return kUnderWine ? lf_lines(rest) : rest;
}

void kill_process(int pid) {
  if (!kUnderWine) {
    kill(pid, SIGKILL);
    return;
  }
  std::string command = "wine taskkill /f /pid " + std::to_string(pid) + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return;
}

std::string engine_commands(const std::string& dir, int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::string log = read_file(dir + "/commands.log");
    if (log.size() >= 6 && log.compare(log.size() - 6, 6, "<eof>\n") == 0) return log;
    if (ms_left(deadline) == 0) return log + "<timeout>\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string engine_commands_so_far(const std::string& dir, int count, int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::string log = read_file(dir + "/commands.log");
    int lines = 0;
    for (char c : log) lines += c == '\n';
    if (lines >= count || ms_left(deadline) == 0) return log;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
