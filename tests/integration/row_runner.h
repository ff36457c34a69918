// Dialogues with the built adapter as rows of a table: what the engine does, what the GUI
// sends, and what the GUI and the engine receive, compared byte for byte.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Row {
  // The fake engine's rules (see fake_engine.cpp). For rows that share one adapter: the
  // engine's answers to this row's searches, one a line.
  std::string engine;
  // The GUI's lines. A line "~text" is not sent: the GUI reads on until a line that begins
  // with text. A last line without a line feed ends the GUI's input; otherwise the row ends
  // with "isready", read up to its "readyok", and "quit".
  std::string gui;
  // Every line the GUI reads up to that "readyok" (or the end of the output), each with its
  // line feed; the "info time" of a score line in whole seconds, so that a busy machine
  // changes no row.
  std::string lines;
  // The engine's commands, each with its line feed.
  std::string commands;
  // Files of the folder after the row: a name and its bytes, "<missing>" when there is none.
  std::vector<std::pair<std::string, std::string>> files = {};
  int exit_code = 0;
};

// Every adapter is greeted first, as GUIs do: "usi" and its reply up to "usiok" are no part
// of the rows.

// Each row in a fresh folder, ORV_TEST_WORK_DIR/<table>_<row>, with an adapter and engine of
// its own.
void run_rows(const std::string& table, const std::vector<Row>& rows);

// The rows one after another through one adapter, whose engine runs the script and answers
// each search with the next of the rows' answers. A row's commands are those that came
// during it; the adapter ends after the last row.
void run_rows_in_one_adapter(const std::string& table, const std::string& script,
                             const std::vector<Row>& rows);
