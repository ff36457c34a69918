#include "integration/row_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "integration/adapter_session.h"

namespace {

std::string in_seconds(std::string line) {
  if (line.compare(0, 10, "info time ") != 0) return line;
  const std::size_t end = line.find_first_not_of("0123456789", 10);
  const long ms = std::atol(line.c_str() + 10);
  return line.replace(10, end == std::string::npos ? end : end - 10, std::to_string(ms / 1000));
}

// Reads up to the first line that begins with head, which is kept when keep_last is set.
void read_to(AdapterSession& s, std::string_view head, bool keep_last, std::string& lines) {
  for (;;) {
    const std::string line = next_line(s);
    const bool last = line.compare(0, head.size(), head) == 0;
    if (line == "<eof>" || (last && !keep_last)) return;
    lines += in_seconds(line) + "\n";
    if (last || line == "<timeout>") return;
  }
}

std::string play(AdapterSession& s, const std::string& gui) {
  std::string lines;
  for (std::size_t at = 0; at < gui.size();) {
    std::size_t end = gui.find('\n', at);
    end = end == std::string::npos ? gui.size() : end + 1;
    const std::string_view line(gui.data() + at, end - at);
    if (line[0] == '~') {
      read_to(s, line.substr(1, line.size() - 2), true, lines);
    } else {
      send(s, line);
    }
    at = end;
  }
  if (!gui.empty() && gui.back() != '\n') {
    close_input(s);
    read_to(s, "<eof>", false, lines);
  } else {
    send(s, "isready\n");
    read_to(s, "readyok", false, lines);
  }
  return lines;
}

// As GUIs begin: the options are read from the configuration file.
void greet(AdapterSession& s) {
  send(s, "usi\n");
  std::string ignored;
  read_to(s, "usiok", false, ignored);
}

void check_files(const std::string& dir, const Row& row) {
  for (const auto& [name, bytes] : row.files) {
    const std::string path = dir + "/" + name;
    // Windows writes its configuration files with CR LF.
    const bool text = name.size() > 4 && name.compare(name.size() - 4, 4, ".ini") == 0;
    const std::string found = !file_exists(path) ? "<missing>"
                              : text             ? read_text_file(path)
                                                 : read_file(path);
    EXPECT_EQ(found, bytes) << name;
  }
}

std::string trace_of(const std::string& table, std::size_t i, const Row& row) {
  return table + " row " + std::to_string(i) + ": " + row.gui.substr(0, 200);
}

}  // namespace

void run_rows(const std::string& table, const std::vector<Row>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(trace_of(table, i, row));
    const std::string dir =
        make_test_dir(table + "_" + std::to_string(i), "orv_molvara", "molvara", row.engine);
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    greet(s);
    EXPECT_EQ(play(s, row.gui), row.lines);
    if (row.gui.empty() || row.gui.back() == '\n') send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), row.exit_code);
    EXPECT_EQ(engine_commands(dir), row.commands + "<eof>\n");
    check_files(dir, row);
  }
}

void run_rows_in_one_adapter(const std::string& table, const std::string& script,
                             const std::vector<Row>& rows) {
  const std::string dir =
      make_test_dir(table, "orv_molvara", "molvara", script + "@search|reply|\n");
  std::string replies;
  for (const Row& row : rows) replies += row.engine;
  write_file(dir + "/fake_replies.txt", replies);
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  greet(s);
  std::size_t seen = 0;  // the bytes of the engine's log that earlier rows brought
  int count = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(trace_of(table, i, row));
    EXPECT_EQ(play(s, row.gui), row.lines);
    for (char c : row.commands) count += c == '\n';
    const std::string log = engine_commands_so_far(dir, count);
    EXPECT_EQ(log.substr(seen), row.commands);
    seen = log.size();
    check_files(dir, row);
  }
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(engine_commands(dir).substr(seen), "<eof>\n");
}
