// Standard output towards the GUI. Every write is one or more whole lines, under one lock,
// so lines of different threads never mix.
#pragma once

#include <string_view>

void write_gui(std::string_view whole_lines);

// Ends the process once no other thread is in the middle of a GUI write.
[[noreturn]] void exit_after_gui(int code);

// Where GUI text goes instead of standard output (a test's collector, called under the
// output lock); nullptr for standard output again.
using GuiOutput = void (*)(std::string_view whole_lines);
void redirect_gui_output(GuiOutput output);
