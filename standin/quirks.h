// The stand-in's seeded quirks (MOLVARA_QUIRKS=<seed>, and with MOLVARA_STRAY those beyond the
// engine's contract; MOLVARA_STRAY=-name,name... leaves those named out): how its lines are
// written, as real engines may write them, and what it notes of its searches in quirks.log,
// for the tools that check the dialogue. One line each:
//   start RUN -          an engine starts (the run's id); one started again strays otherwise
//   search ID KEY        a search begins, of the position whose key (hex) is KEY
//   answer ID TEXT       the line that answers search ID is written next: its CSA move,
//                        "resign" or "complaint" (ID "banner" for a move nobody asked for)
//   quirk ID WHAT        a surprise in search ID that still answers it: "late MS" (after "s"),
//                        "twice" (in one write), "copy" (the move again, once it is written),
//                        "illegal", "resign", "complaint", "flood", "move" (after the banner)
//   unanswered ID WHAT   search ID gets no answer at all: "refused", "silent stop"
// An ID is the engine's run and the search's number in it, so that the searches of an engine
// started again are told from those of the one before.
#pragma once

#include <cstdio>
#include <mutex>
#include <random>
#include <string>

namespace standin {

struct Quirks {
  bool on = false;
  bool stray = false;    // quirks beyond the engine's contract too
  std::string left_out;  // ",name,name,": stray quirks that never come
  std::mt19937 random;
  bool chance(int percent) { return on && static_cast<int>(random() % 100) < percent; }
  int between(int low, int high) { return low + static_cast<int>(random() % (high - low + 1)); }
};

extern std::mutex output_lock;
extern Quirks quirks;  // under output_lock

// stray: MOLVARA_STRAY, or null.
void start_quirks(const char* seed, const char* stray);

// One chance of the seeded quirks, from any thread.
bool quirk(int percent);
// A quirk beyond the engine's contract, by its name: refuse, flood, resign, complain, illegal,
// twice (in one write), copy (a moment later), silent, late, banner. One left out draws its
// chance all the same, so that the others come as they would.
bool stray_quirk(int percent, const char* name);
int quirk_between(int low, int high);

// A line of quirks.log (see above).
void note(const std::string& what, const std::string& id, const std::string& text);

void pause_ms(int ms);
// Bytes in one write, as a pipe takes them whole.
void put_whole(FILE* stream, const std::string& bytes);
// A remark on standard error, or a flood of them, as engines report their loading.
void remark(int lines);
// A line as the quirks write it: CR LF or LF, in pieces, after a delay, a blank line after it.
void say(FILE* stream, const std::string& line);

}  // namespace standin
