#include <memory>
#include <string_view>

#include "engine/gui_writer.h"
#include "front/adapter.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::init_process();
  // The one argument orv takes; it is asked before any name check or engine start.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    write_gui("orv " ORV_VERSION "\n");
    exit_after_gui(0);
  }
  // The adapter lives until the process ends; its reader threads hold on to it.
  Adapter* adapter = new Adapter();
  const int code = run_adapter(*adapter, argc > 0 ? argv[0] : "");
  exit_after_gui(code);
}
