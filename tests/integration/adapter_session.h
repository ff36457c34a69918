// Runs the built adapter as a GUI does: in a folder of its own beside the fake engine,
// over three pipes.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "texts.h"

// The same cases run against the Windows build under Wine, where they differ only in what
// Windows does otherwise: CP932 texts, "Z:\" folders, CR LF lines, ".exe" names, message
// boxes instead of standard error.
#ifdef ORV_UNDER_WINE
constexpr bool kUnderWine = true;
#else
constexpr bool kUnderWine = false;
#endif

// How long a line, an exit or the engine's log is waited for: a Wine start under a loaded
// machine's other tests may take seconds.
constexpr int kWaitMs = kUnderWine ? 15000 : 5000;

inline std::string platform_text(const JapaneseText& text) {
  return text_of(text, kUnderWine);
}

// The file name of a program: with ".exe" under Wine.
inline std::string program(const std::string& name) {
  return kUnderWine ? name + ".exe" : name;
}

// The folder as the adapter names it, with its separator at the end.
std::string native_dir(const std::string& dir);

// A fresh folder for one test, holding the adapter as exe_name and, when engine_name is
// not empty, the fake engine under that name with the given script (".exe" is added to
// both under Wine).
std::string make_test_dir(const std::string& test_name, const std::string& exe_name = "orv_molvara",
                          const std::string& engine_name = "molvara",
                          const std::string& script = "");

std::string read_file(const std::string& path);
// A text file as written by the platform, with CR LF read as LF.
std::string read_text_file(const std::string& path);
void write_file(const std::string& path, std::string_view text);
bool file_exists(const std::string& path);

struct AdapterSession {
  std::string dir;
  pid_t pid = -1;
  int in_fd = -1, out_fd = -1, err_fd = -1;
  std::string out, err;  // read but not yet taken
  int exit_code = -1;
};

// Starts dir/exe_name (under Wine: "wine exe_name.exe") in dir as its working directory,
// with the one argument when it is given.
bool start_adapter(AdapterSession& s, const std::string& dir,
                   const std::string& exe_name = "orv_molvara", const char* argument = nullptr);
// The same without the rights of root (as "nobody" when the tests run as root), so that
// files and folders without write permission refuse the adapter's writes. Not under Wine.
bool start_adapter_unprivileged(AdapterSession& s, const std::string& dir,
                                const char* argument = nullptr);
// Starts the program at path (natively) with dir as its working directory.
bool start_program(AdapterSession& s, const std::string& dir, const std::string& path);
void send(AdapterSession& s, std::string_view text);
void close_input(AdapterSession& s);
// The next line of standard output without its line feed; "<timeout>" or "<eof>" instead.
std::string next_line(AdapterSession& s, int timeout_ms = kWaitMs);
// Lines up to and including the first that equals last.
std::vector<std::string> lines_until(AdapterSession& s, std::string_view last,
                                     int timeout_ms = kWaitMs);
// Waits for the exit, reading what is left; the exit code, or -1 after the timeout (the
// adapter is then killed).
int wait_exit(AdapterSession& s, int timeout_ms = kWaitMs);
// Everything left on standard output after the exit.
std::string rest_of_output(AdapterSession& s);

// Kills a process at once: a POSIX pid, or under Wine a Windows one.
void kill_process(int pid);

// The commands the fake engine has received, once it has seen the end of its input.
std::string engine_commands(const std::string& dir, int timeout_ms = kWaitMs);
// The commands received so far, waiting until at least count lines are there.
std::string engine_commands_so_far(const std::string& dir, int count, int timeout_ms = kWaitMs);
