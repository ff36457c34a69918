// The session loop's one wait on POSIX: poll on the pipes themselves, and on a pipe that
// SIGCHLD writes to, so no thread reads or waits for orv.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace platform {
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

void give_way() {
  sched_yield();
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
