// Runs the built adapter as a GUI does: in a folder of its own beside the fake engine,
// over three pipes.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

// A fresh folder for one test, holding the adapter as exe_name and, when engine_name is
// not empty, the fake engine under that name with the given script.
std::string make_test_dir(const std::string& test_name, const std::string& exe_name = "orv_molvara",
                          const std::string& engine_name = "molvara",
                          const std::string& script = "");

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view text);
bool file_exists(const std::string& path);

struct AdapterSession {
  std::string dir;
  pid_t pid = -1;
  int in_fd = -1, out_fd = -1, err_fd = -1;
  std::string out, err;  // read but not yet taken
  int exit_code = -1;
};

// Starts dir/exe_name with argv[0] = exe_name and dir as its working directory.
bool start_adapter(AdapterSession& s, const std::string& dir,
                   const std::string& exe_name = "orv_molvara");
void send(AdapterSession& s, std::string_view text);
void close_input(AdapterSession& s);
// The next line of standard output without its line feed; "<timeout>" or "<eof>" instead.
std::string next_line(AdapterSession& s, int timeout_ms = 5000);
// Lines up to and including the first that equals last.
std::vector<std::string> lines_until(AdapterSession& s, std::string_view last,
                                     int timeout_ms = 5000);
// Waits for the exit, reading what is left; the exit code, or -1 after the timeout (the
// adapter is then killed).
int wait_exit(AdapterSession& s, int timeout_ms = 5000);
// Everything left on standard output after the exit.
std::string rest_of_output(AdapterSession& s);

// The commands the fake engine has received, once it has seen the end of its input.
std::string engine_commands(const std::string& dir, int timeout_ms = 5000);
// The commands received so far, waiting until at least count lines are there.
std::string engine_commands_so_far(const std::string& dir, int count, int timeout_ms = 5000);
