#include "bench_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

std::vector<pid_t> started;  // the programs still running, ended when the bench gives up

enum class Got { line, end, late };

// The next whole line of p's output, carriage return and line feed taken off.
Got next_line(Process& p, Clock::time_point deadline, std::string_view& line) {
  for (;;) {
    const std::size_t lf = p.buffer.find('\n', p.start);
    if (lf != std::string::npos) {
      std::size_t end = lf;
      if (end > p.start && p.buffer[end - 1] == '\r') --end;
      line = std::string_view(p.buffer).substr(p.start, end - p.start);
      p.start = lf + 1;
      return Got::line;
    }
    p.buffer.erase(0, p.start);
    p.start = 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Got::late;
    pollfd f{p.out, POLLIN, 0};
    const int ready = poll(&f, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return Got::end;
    if (ready <= 0) continue;
    char chunk[65536];
    const ssize_t n = read(p.out, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Got::end;
    p.buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::string text_of(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

}  // namespace

Process spawn(const std::string& dir, const std::string& program) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    give_up({"start"}, "no pipes for " + program);
  }
  posix_spawn_file_actions_t a;
  posix_spawn_file_actions_init(&a);
  posix_spawn_file_actions_adddup2(&a, in[0], 0);
  posix_spawn_file_actions_adddup2(&a, out[1], 1);
  posix_spawn_file_actions_addchdir_np(&a, dir.c_str());
  std::string arg0 = program;
  char* argv[] = {arg0.data(), nullptr};
  Process p;
  p.name = program;
  const int failed = posix_spawn(&p.pid, (dir + "/" + program).c_str(), &a, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&a);
  close(in[0]), close(out[1]);
  if (failed != 0) give_up({"start"}, dir + "/" + program + " cannot be started");
  started.push_back(p.pid);
  p.in = in[1], p.out = out[0];
  return p;
}

void say(Process& p, std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  // A program that has ended is found out by the wait for its answer.
  if (write(p.in, text.data(), text.size()) < 0) return;
}

Heard hear_until(Process& p, std::string_view prefix, double seconds, const Step& step,
                 std::string_view counted) {
  const Clock::time_point deadline = after(seconds);
  Heard heard;
  std::string_view line;
  for (;;) {
    const Got got = next_line(p, deadline, line);
    if (got != Got::line) {
      give_up(step, "no line beginning \"" + std::string(prefix) + "\" from " + p.name +
                        (got == Got::end ? ": its output ended" : " within " + text_of(seconds)));
    }
    if (line.substr(0, prefix.size()) == prefix) break;
    ++heard.before;
    if (!counted.empty() && line.substr(0, counted.size()) == counted) ++heard.counted;
  }
  heard.line.assign(line);
  return heard;
}

void finish(Process& p, double seconds, const Step& step) {
  close(p.in);
  const Clock::time_point deadline = after(seconds);
  // Readable when the process has ended, so that its end is seen when it comes; without it,
  // a look every millisecond.
  const int ended = static_cast<int>(syscall(SYS_pidfd_open, p.pid, 0));
  pollfd f[2] = {{ended, POLLIN, 0}, {p.out, POLLIN, 0}};
  int status;
  while (wait4(p.pid, &status, WNOHANG, &p.usage) != p.pid) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) give_up(step, p.name + " did not end within " + text_of(seconds));
    const int wait_ms = ended < 0 ? 1 : static_cast<int>(left.count());
    char chunk[65536];
    if (poll(f, 2, wait_ms) > 0 && f[1].revents && read(p.out, chunk, sizeof chunk) <= 0) {
      f[1].fd = -1;
    }
  }
  if (ended >= 0) close(ended);
  started.erase(std::remove(started.begin(), started.end(), p.pid), started.end());
  close(p.out);
}

void give_up(const Step& step, const std::string& what) {
  std::fflush(stdout);
  if (step.round >= 0) {
    std::fprintf(stderr, "orv_bench: %s, round %ld: %s\n", step.phase, step.round, what.c_str());
  } else {
    std::fprintf(stderr, "orv_bench: %s: %s\n", step.phase, what.c_str());
  }
  for (pid_t pid : started) kill(pid, SIGKILL);
  for (pid_t pid : started) waitpid(pid, nullptr, 0);
  std::exit(2);
}

double peak_mib(pid_t pid) {
  FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (!status) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status)) {
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  }
  std::fclose(status);
  return kib / 1024.0;
}
