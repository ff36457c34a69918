// The self-check a person sees on starting orv by hand, or asks for with "--check": what orv
// is, its own name, its engine, its folder and its ini file, each with a verdict and what to
// do, in Japanese and in English.
#pragma once

// Writes the self-check to standard output: through the console's wide-text call where it is
// a console, else as narrow text. Starts the engine and ends it at once; writes no ini and
// no position file. by_hand adds how to go on at the console. True when nothing failed.
bool run_self_check(const char* argv0, const char* version, bool by_hand);
