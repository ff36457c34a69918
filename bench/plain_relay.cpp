// The limit orv is measured against: a process that starts the engine beside it and copies
// lines both ways, doing nothing else.
#include <string>
#include <thread>

#include "engine/line_reader.h"
#include "platform/platform.h"

int main(int, char** argv) {
  platform::init_process();
  platform::Child engine;
  const std::string dir = platform::current_directory() + platform::path_separator();
  if (!platform::start_child(dir, platform::to_path(argv[1] ? argv[1] : "molvara"), engine))
    return 1;
  std::thread back([&] {
    LineReader from_engine;
    from_engine.source = engine.from_out;
    std::string line;
    for (LineRead r = read_line(from_engine); r.ok; r = read_line(from_engine)) {
      line.assign(r.text).push_back('\n');
      platform::write_stdout(line.data(), line.size());
    }
  });
  LineReader from_gui;
  from_gui.read = [](platform::Handle, char* b, std::size_t n) {
    return platform::read_stdin(b, n);
  };
  std::string line;
  for (LineRead r = read_line(from_gui); r.ok; r = read_line(from_gui)) {
    line.assign(r.text).push_back('\n');
    platform::write_pipe_within(engine.to_engine, line.data(), line.size(), 60000);
  }
  platform::exit_process(0);
}
