// The engine of the benchmarks: answers at once, so that what is measured is the way
// through orv. "move" gets a move line; "burst N" N score lines with a 20-move variation
// and then a move line; anything else nothing.
#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  std::printf("molvara bench engine\r\n");
  std::fflush(stdout);
  std::string pv;
  const char* shuffle[] = {" +5958OU", " -5152OU", " +5859OU", " -5251OU"};
  for (int i = 0; i < 20; ++i) pv += shuffle[i % 4];
  char line[4096];
  while (std::fgets(line, sizeof line, stdin)) {
    std::string c(line);
    while (!c.empty() && (c.back() == '\n' || c.back() == '\r')) c.pop_back();
    if (c == "move") {
      std::printf("move5958OU\r\n");
    } else if (c.rfind("burst ", 0) == 0) {
      for (long n = std::atol(c.c_str() + 6); n > 0; --n)
        std::printf("info+0.%02ld%s\r\n", n % 100, pv.c_str());
      std::printf("move5958OU\r\n");
    }
    std::fflush(stdout);
  }
  return 0;
}
