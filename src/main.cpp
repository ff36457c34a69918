#include <memory>

#include "engine/gui_writer.h"
#include "front/adapter.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::init_process();
  // The adapter lives until the process ends; its reader threads hold on to it.
  Adapter* adapter = new Adapter();
  const int code = run_adapter(*adapter, argc > 0 ? argv[0] : "");
  exit_after_gui(code);
}
