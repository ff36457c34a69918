#include "standin/quirks.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace standin {

std::mutex output_lock;
Quirks quirks;

namespace {

// Bytes written as a pipe may take them: whole, or in pieces a few milliseconds apart.
void put(FILE* stream, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t n = bytes.size() - at;
    if (quirks.chance(20)) n = static_cast<std::size_t>(quirks.between(1, static_cast<int>(n)));
    std::fwrite(bytes.data() + at, 1, n, stream);
    std::fflush(stream);
    at += n;
    if (at < bytes.size()) pause_ms(quirks.between(0, 3));
  }
}

void remark_locked(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "info: table " + std::to_string(quirks.random() % 1000) + " loaded, " +
            std::to_string(quirks.random()) + " entries\r\n";
  }
  put(stderr, text);
}

}  // namespace

void start_quirks(const char* seed, const char* stray) {
  quirks.on = true;
  quirks.stray = stray != nullptr;
  if (stray && stray[0] == '-') quirks.left_out = std::string(",") + (stray + 1) + ",";
  unsigned value = static_cast<unsigned>(std::strtoul(seed, nullptr, 10));
  // An engine started again in the folder strays otherwise than the one before it, which
  // would meet the same surprise at the same search again.
  if (FILE* file = quirks.stray ? std::fopen("quirks.log", "rb") : nullptr) {
    char line[128];
    while (std::fgets(line, sizeof line, file)) value += std::strncmp(line, "start ", 6) == 0;
    std::fclose(file);
  }
  quirks.random.seed(value);
}

bool quirk(int percent) {
  std::lock_guard<std::mutex> hold(output_lock);
  return quirks.chance(percent);
}

bool stray_quirk(int percent, const char* name) {
  return quirks.stray && quirk(percent) &&
         quirks.left_out.find(std::string(",") + name + ",") == std::string::npos;
}

int quirk_between(int low, int high) {
  std::lock_guard<std::mutex> hold(output_lock);
  return quirks.between(low, high);
}

void note(const std::string& what, const std::string& id, const std::string& text) {
  if (!quirks.stray) return;  // only a tool that checks every rule reads it
  if (FILE* file = std::fopen("quirks.log", "ab")) {
    std::fprintf(file, "%s %s %s\n", what.c_str(), id.c_str(), text.c_str());
    std::fclose(file);
  }
}

void pause_ms(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void put_whole(FILE* stream, const std::string& bytes) {
  std::lock_guard<std::mutex> hold(output_lock);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

void remark(int lines) {
  std::lock_guard<std::mutex> hold(output_lock);
  remark_locked(lines);
}

void say(FILE* stream, const std::string& line) {
  std::lock_guard<std::mutex> hold(output_lock);
  if (!quirks.on) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    return;
  }
  if (quirks.chance(10)) pause_ms(quirks.between(1, 30));
  std::string bytes = line + (quirks.chance(50) ? "\r\n" : "\n");
  if (quirks.chance(10)) bytes += quirks.chance(50) ? "\r\n" : "\n";  // a blank line
  put(stream, bytes);
  if (stream == stdout && quirks.chance(3)) remark_locked(quirks.chance(10) ? 2000 : 1);
}

}  // namespace standin
