// The in-process parts on the hot paths: one score line translated (its variation walked
// and put back), a 300-move game written as a position file, single move conversions and
// legality checks. A count of heap allocations per translated line goes with the first.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "notation/legal_move.h"
#include "notation/moves.h"
#include "notation/position_file.h"
#include "translate/engine_lines.h"

namespace {
std::atomic<long> allocations{0};
}

// The replaced operator new counts and takes its memory from malloc, so free is its match
// (the compiler cannot see that and warns).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

const char* kStart = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1\n";

std::string score_line() {
  std::string line = "info+0.25";
  const char* shuffle[] = {" +5958OU", " -5152OU", " +5859OU", " -5251OU"};
  for (int i = 0; i < 20; ++i) line += shuffle[i % 4];
  return line;
}

void ScoreLine(benchmark::State& state) {
  State s;
  std::string report;
  position_file_text(s.position, kStart, false, report);
  const std::string line = score_line();
  for (int i = 0; i < 10; ++i) translate_engine_line(s, line, 0), s.out.gui.clear();
  const long before = allocations.load();
  for (auto _ : state) {
    translate_engine_line(s, line, 0);
    s.out.gui.clear();
  }
  state.counters["allocations_per_line"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(ScoreLine);

void PositionFile300Moves(benchmark::State& state) {
  std::string text = "4k4/9/9/9/9/9/9/9/4K4 b - 1 moves";
  const char* shuffle[] = {" 5i5h", " 5a5b", " 5h5i", " 5b5a"};
  for (int i = 0; i < 300; ++i) text += shuffle[i % 4];
  text += "\n";
  std::string out;
  for (auto _ : state) {
    Position position;
    benchmark::DoNotOptimize(position_file_text(position, text, false, out));
    out.clear();
  }
}
BENCHMARK(PositionFile300Moves);

void UsiToCsaMove(benchmark::State& state) {
  Position position;
  std::string out;
  position_file_text(position, kStart, false, out);
  CsaMove move;
  for (auto _ : state)
    benchmark::DoNotOptimize(usi_to_csa_move(position, "8h2b+", false, false, move));
}
BENCHMARK(UsiToCsaMove);

void CsaToUsiMove(benchmark::State& state) {
  Position position;
  std::string out;
  position_file_text(position, kStart, false, out);
  char csa[7] = "8822UM", usi[6];
  for (auto _ : state) benchmark::DoNotOptimize(csa_to_usi_move(position, csa, false, false, usi));
}
BENCHMARK(CsaToUsiMove);

// One legality check of an engine move, on the board copy of a middle game.
void LegalMove(benchmark::State& state, const char* sfen, const char* csa) {
  Position position;
  std::string out;
  position_file_text(position, sfen, false, out);
  if (!csa_move_is_legal(position, csa, false)) state.SkipWithError("the move is not legal");
  for (auto _ : state) benchmark::DoNotOptimize(csa_move_is_legal(position, csa, false));
}
const char* kMiddleGame =
    "ln1g3nl/1r3kg2/p2pp1s2/2p3ppp/1p7/2PP3PP/PPS1P1P2/2G2S1R1/LN2KG1NL b BPb 29\n";
BENCHMARK_CAPTURE(LegalMove, EngineMove, kMiddleGame, "4958KI");
// The pawn checks: the king's answers are tried until one is found.
BENCHMARK_CAPTURE(LegalMove, PawnDropThatChecks, kMiddleGame, "0043FU");

}  // namespace

BENCHMARK_MAIN();
