#include "engine/engine_process.h"

#include "engine/engine_text.h"

bool start_engine(EngineLink& link, const platform::Path& dir, const platform::Path& base) {
  link = EngineLink{};
  if (!platform::start_child(dir, base, link.child)) return false;
  platform::io_attach(link.child);
  return true;
}

void close_engine_input(EngineLink& link) {
  if (link.child.to_engine == platform::no_handle) return;
  platform::io_engine_input_closed();
  platform::close_handle(link.child.to_engine);
}

int end_engine(EngineLink& link) {
  const int code = platform::kill_child(link.child);
  platform::io_detach();
  platform::close_handle(link.child.to_engine);
  platform::close_handle(link.child.from_out);
  platform::close_handle(link.child.from_err);
  platform::close_handle(link.child.job);
  return code;
}

bool take_banner(EngineLink& link, std::string_view piece, bool ends_line, std::string& banner) {
  const bool rest = link.in_banner_rest;
  link.in_banner_rest = !ends_line;
  if (rest) return false;
  std::string cleaned;
  const std::string_view text = clean_engine_text(piece, true, true, cleaned);
  if (text.find_first_not_of(" \t") == std::string_view::npos) return false;
  banner.assign(text);
  link.banner_read = true;
  return true;
}

namespace {

// Where a banner is cut, and what each version prefix marks.
constexpr std::string_view kBannerTail = " - The Computer Shogi Engine";
constexpr std::size_t kBannerTailMinIndex = 11;

}  // namespace

int engine_name_from_banner(std::string_view banner, const std::string& base, std::string& name) {
  int version = 0;
  for (int v : {1, 2, 3}) {
    const std::string prefix = "Molvara Version " + std::to_string(v);
    if (banner.substr(0, prefix.size()) == prefix) version = v;
  }
  std::size_t tail = banner.find(kBannerTail);
  if (tail != std::string_view::npos && tail >= kBannerTailMinIndex)
    banner = banner.substr(0, tail);
  name.assign(banner);
  if (base != "molvara") name.append(" (").append(base).append(")");
  return version;
}
