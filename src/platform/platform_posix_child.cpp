// POSIX pipes and the engine's process: started in a process group of its own, waited for,
// ended with that group; a signal that ends orv ends the group too.
#include <fcntl.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
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

void end_with_engine(int signal_number) {
  if (engine_group > 0) kill(-static_cast<pid_t>(engine_group), SIGKILL);
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

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
  static const bool signals_end_engine = [] {
    for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, end_with_engine);
    return true;
  }();
  (void)signals_end_engine;
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

}  // namespace platform
