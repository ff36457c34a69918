// The limit orv is measured against: a process that starts the engine beside it and copies
// lines both ways, doing nothing else.
#include <string>
#include <thread>

#include <unistd.h>

#include "platform/platform.h"

int main(int, char** argv) {
  platform::init_process();
  platform::Child engine;
  const std::string dir = platform::current_directory() + platform::path_separator();
  if (!platform::start_child(dir, platform::to_path(argv[1] ? argv[1] : "molvara"), engine))
    return 1;
  std::thread back([&] {
    char buffer[4096];
    for (long n; (n = platform::read_pipe(engine.from_out, buffer, sizeof buffer)) > 0;) {
      platform::write_stdout(buffer, static_cast<std::size_t>(n));
    }
  });
  char buffer[4096];
  for (long n; (n = platform::read_stdin(buffer, sizeof buffer)) > 0;) {
    for (long done = 0; done < n;) {
      const long put = ::write(static_cast<int>(engine.to_engine), buffer + done,
                               static_cast<std::size_t>(n - done));
      if (put > 0) done += put;
    }
  }
  platform::exit_process(0);
}
