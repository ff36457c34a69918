#include "translate/engine_threads.h"

void engine_err_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  while (read_line(c.link.err_reader).ok) {
  }
}
