// Position texts through the position file writer.
#include <string_view>

#include "fuzz/invariants.h"
#include "notation/position_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool flip = data[0] & 1;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  Position position;
  std::string report;
  const std::string file = position_file_text(position, text, flip, report);
  check_position(position);
  if (!report.empty() && report.back() != '\n') std::abort();  // whole lines for the GUI
  if (file.size() < 278 || file.back() != '\n') std::abort();
  return 0;
}
