// The limit orv is measured against: a process that starts the engine beside it and copies
// whole lines both ways, doing nothing else. One thread waits on both pipes at once; the
// lines that one read brings go on in one write.
//
//   plain_relay [engine]     the engine's file in the current folder, "molvara" if not given
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

extern char** environ;

namespace {

bool write_all(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n, size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One read from `from`; the whole lines held so far go to `to`. False at the end of input.
bool copy_lines(int from, std::string& held, int to) {
  char chunk[65536];
  ssize_t n = read(from, chunk, sizeof chunk);
  while (n < 0 && errno == EINTR) n = read(from, chunk, sizeof chunk);
  if (n <= 0) return false;
  held.append(chunk, static_cast<std::size_t>(n));
  const std::size_t end = held.rfind('\n');
  if (end == std::string::npos) return true;
  if (!write_all(to, held.data(), end + 1)) return false;
  held.erase(0, end + 1);
  return true;
}

bool start_engine(const std::string& file, pid_t& pid, int& to_engine, int& from_engine) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const std::string path = "./" + file;
  std::string arg0 = file, arg1 = "csa_shogi";
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]), close(out[1]);
  to_engine = in[1], from_engine = out[0];
  return failed == 0;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  pid_t engine;
  int to_engine, from_engine;
  if (!start_engine(argc > 1 ? argv[1] : "molvara", engine, to_engine, from_engine)) return 1;
  std::string from_gui_held, from_engine_held;
  pollfd pipes[2] = {{0, POLLIN, 0}, {from_engine, POLLIN, 0}};
  // Until the engine's output ends; the end of the GUI's input closes the engine's.
  for (;;) {
    if (poll(pipes, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (pipes[0].revents && !copy_lines(0, from_gui_held, to_engine)) {
      close(to_engine);
      to_engine = pipes[0].fd = -1;
    }
    if (pipes[1].revents && !copy_lines(from_engine, from_engine_held, 1)) break;
  }
  if (to_engine >= 0) close(to_engine);
  int status;
  waitpid(engine, &status, 0);
  return 0;
}
