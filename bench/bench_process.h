// The bench's side of the pipes: programs started in a folder, lines said to them and heard
// from them, and every wait bounded. A wait that runs out says where the bench stood, ends
// the programs it started and ends the bench with exit code 2, so that no phase hangs.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

using Clock = std::chrono::steady_clock;

struct Process {
  std::string name;  // the program, as a wait that runs out names it
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string buffer;  // what was read and not yet heard, from `start` on
  std::size_t start = 0;
  rusage usage{};  // filled when it has ended
};

// Where the bench stands; said when a wait there runs out.
struct Step {
  const char* phase;
  long round = -1;
};

struct Heard {
  std::string line;  // the line that ended the wait
  long before = 0;   // lines before it
  long counted = 0;  // of those, lines that began with the prefix asked to be counted
};

// Starts dir/program with dir as its working directory and pipes on its standard input and
// output; its standard error is the bench's.
Process spawn(const std::string& dir, const std::string& program);

// One line and its line feed, in one write.
void say(Process& p, std::string_view line);

// Lines until one that begins with prefix, at most `seconds` in all.
Heard hear_until(Process& p, std::string_view prefix, double seconds, const Step& step,
                 std::string_view counted = {});

// Closes its input and waits at most `seconds` for it to end, reading what it still writes.
void finish(Process& p, double seconds, const Step& step);

[[noreturn]] void give_up(const Step& step, const std::string& what);

// The peak resident memory of one process so far, its children not included, in MiB.
double peak_mib(pid_t pid);
