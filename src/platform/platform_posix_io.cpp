// POSIX pipes, the engine's process and the session loop's one wait: poll on the pipes
// themselves, and on a pipe that SIGCHLD writes to, so no thread reads or waits for orv.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace platform {

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

void close_handle(Handle& handle) {
  if (handle == no_handle) return;
  close(static_cast<int>(handle));
  handle = no_handle;
}

namespace {

// The engine's process group, for a signal handler that ends it with orv.
volatile sig_atomic_t engine_group = 0;

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void exec_child(const std::string& dir, const std::string& path, char* const argv[],
                             const int in[2], const int out[2], const int err[2], int report,
                             pid_t parent) {
  setpgid(0, 0);  // a group of its own: a wrapper's engine and an engine's helpers end with it
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

bool start_child(const Path& dir, const Path& base, Child& child) {
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
  if (pid > 0) setpgid(pid, pid);  // whichever of the two comes first

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
  fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
  child.to_engine = in[1];
  child.from_out = out[0];
  child.from_err = err[0];
  child.process = pid;
  engine_group = pid;
  return true;
}

namespace {

int exit_code_of(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int wait_child(Child& child, unsigned timeout_ms) {
  if (child.process == no_handle) return kStillRunning;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(child.process), &status, WNOHANG);
    if (done == static_cast<pid_t>(child.process) || (done < 0 && errno != EINTR)) {
      child.process = no_handle;
      return done < 0 ? 0 : exit_code_of(status);  // reaped elsewhere: 0
    }
    if (std::chrono::steady_clock::now() >= deadline) return kStillRunning;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int kill_child(Child& child) {
  if (child.process == no_handle) return kStillRunning;
  // The group before the leader is collected: until then no other process can have its id.
  kill(-static_cast<pid_t>(child.process), SIGKILL);
  kill(static_cast<pid_t>(child.process), SIGKILL);
  int status = 0;
  while (waitpid(static_cast<pid_t>(child.process), &status, 0) < 0 && errno == EINTR) {
  }
  if (engine_group == child.process) engine_group = 0;
  child.process = no_handle;
  return exit_code_of(status);
}

namespace {

struct Io {
  int in[kInputCount] = {STDIN_FILENO, -1, -1};
  int out[kOutputCount] = {STDOUT_FILENO, -1};
  bool ended[kInputCount] = {};
  int exit_signal[2] = {-1, -1};  // SIGCHLD writes a byte to [1]
  pid_t child = -1;
  bool exit_told = false;
  bool gui_out_waits = false;  // standard output is no pipe: poll before each write
};
Io io;

void child_changed(int) {
  const int saved = errno;
  if (write(io.exit_signal[1], "x", 1) < 0) {
  }
  errno = saved;
}

void end_with_engine(int signal_number) {
  if (engine_group > 0) kill(-static_cast<pid_t>(engine_group), SIGKILL);
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

bool child_has_exited() {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(io.child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == io.child;
}

}  // namespace

void io_open() {
  static bool opened = false;
  if (opened) return;
  opened = true;
  if (pipe2(io.exit_signal, O_CLOEXEC | O_NONBLOCK) != 0) io.exit_signal[0] = -1;
  struct sigaction action {};
  action.sa_handler = child_changed;
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  sigaction(SIGCHLD, &action, nullptr);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, end_with_engine);
  // A pipe's end is orv's own: it never blocks a write. A terminal or a file is shared with
  // whoever started orv, so it keeps its mode and is polled before each write instead.
  struct stat st {};
  const bool pipe =
      fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
  if (pipe) fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
  io.gui_out_waits = !pipe;
}

void io_attach(const Child& child) {
  io.in[kEngineOut] = static_cast<int>(child.from_out);
  io.in[kEngineErr] = static_cast<int>(child.from_err);
  io.out[kEngineIn] = static_cast<int>(child.to_engine);
  io.ended[kEngineOut] = io.ended[kEngineErr] = false;
  io.child = static_cast<pid_t>(child.process);
  io.exit_told = false;
}

void io_engine_input_closed() {
  io.out[kEngineIn] = -1;
}

void io_detach() {
  io.in[kEngineOut] = io.in[kEngineErr] = io.out[kEngineIn] = -1;
  io.child = -1;
}

bool io_wait(const Wants& wants, int timeout_ms, Ready& ready) {
  ready = Ready{};
  pollfd fds[kInputCount + kOutputCount + 1];
  int slot_of[kInputCount + kOutputCount + 1];
  nfds_t n = 0;
  for (int i = 0; i < kInputCount; ++i) {
    if (!wants.read[i] || io.in[i] < 0) continue;
    if (io.ended[i]) return ready.read[i] = true;
    fds[n] = {io.in[i], POLLIN, 0}, slot_of[n++] = i;
  }
  for (int o = 0; o < kOutputCount; ++o) {
    if (wants.write[o] && io.out[o] >= 0) fds[n] = {io.out[o], POLLOUT, 0}, slot_of[n++] = 10 + o;
  }
  if (io.child > 0 && !io.exit_told && io.exit_signal[0] >= 0) {
    fds[n] = {io.exit_signal[0], POLLIN, 0}, slot_of[n++] = 20;
  }
  const int got = poll(fds, n, timeout_ms);
  if (got <= 0) return got < 0;  // a signal's wake counts as something to look at
  for (nfds_t k = 0; k < n; ++k) {
    if (fds[k].revents == 0) continue;
    const int slot = slot_of[k];
    if (slot < 10) {
      ready.read[slot] = true;
    } else if (slot < 20) {
      ready.write[slot - 10] = true;
    } else {
      char drain[64];
      while (read(io.exit_signal[0], drain, sizeof drain) > 0) {
      }
      if (child_has_exited()) io.exit_told = ready.exited = true;
    }
  }
  return true;
}

long io_read(Input input, char* buffer, std::size_t size) {
  if (io.in[input] < 0 || io.ended[input]) return 0;
  const long n = read_pipe(io.in[input], buffer, size);
  if (n <= 0) io.ended[input] = true;
  return n > 0 ? n : 0;
}

long io_write(Output output, const char* data, std::size_t size) {
  const int fd = io.out[output];
  if (fd < 0) return -1;
  if (output == kGuiOut && io.gui_out_waits) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0) return 0;
  }
  for (;;) {
    const ssize_t n = write(fd, data, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  }
}

bool io_gui_written() {
  return true;
}

}  // namespace platform
