// A scripted stand-in for the engine, for the tests. Started by the adapter under the
// engine's name, it
//  - writes its arguments and working directory to engine_start.log and its pid to
//    engine.pid,
//  - appends every command it receives to commands.log (and "<eof>" at the end of input),
//  - acts on the rules of fake_script.txt, one per line: trigger|action|text
//    trigger: @start (at start), @eof (at the end of input), * (every command), @search
//             (a command that starts a search: "move", "move restraint", a CSA move) or a
//             command prefix, which with "#N" after it fires only at the Nth command it
//             matches; every rule that matches runs, in file order. "K>" before a trigger
//             keeps the rule to the Kth engine started in the folder (orv may start it again)
//    action:  out / outlf (text and CR LF / LF on standard output), raw (text alone),
//             err / errlf (the same on standard error), sleep (text milliseconds),
//             exit (exit code text, 0x for hex), hang (stop reading for ever), deaf (close the
//             input, keep running), reply (the next line of fake_replies.txt with CR LF),
//             bigout (text-many "x" on standard output, no line end), flood (text-many
//             lines on standard output and standard error, in turns of 16), errflood
//             (text-many lines "complaint N" on standard error, one write; "N:line" the
//             line N times),
//             echo (the command itself
//             with CR LF, after text as a prefix), keep (a copy of the file named by text,
//             as it is at that moment, in kept1.txt, kept2.txt, ...), outrep / errrep
//             ("N text": text N times and CR LF, on standard output / error), orphan (start
//             a program of its own that holds the standard output and error for
//             text milliseconds, then ends), signals (on standard error, POSIX only:
//             "SIGCHLD ignored" or "SIGCHLD default", as the engine was started),
//             write ("name bytes": the file named holds the bytes), block (a folder in place
//             of the file named by text, so that writes to it fail).
//    In text, \r, \n, \t, \\ and \xHH stand for those bytes.
//    Without a script the banner is "Molvara Version 2.0 - The Computer Shogi Engine".
//  - keeps the engine's contract: a search that "s" ends before the script answered it
//    ("move..." or "resign" on standard output, or a complaint on standard error) is answered
//    "resign", unless the script holds the rule "@silent-stop" (an engine that breaks it).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#define getpid _getpid
#define getcwd _getcwd
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct Rule {
  std::string trigger, action, text;
  int only_at = 0;  // the Nth match alone, or every match when 0
  int matches = 0;
};

std::string unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x' && i + 2 < text.size()) {
      bytes += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      bytes += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
  }
  return bytes;
}

// Which engine started in this folder this one is: 1 for the first.
int instance = 1;

std::vector<Rule> load_script() {
  std::vector<Rule> rules;
  FILE* file = std::fopen("fake_script.txt", "rb");
  if (!file) {
    rules.push_back({"@start", "out", "Molvara Version 2.0 - The Computer Shogi Engine"});
    return rules;
  }
  char line[65536];
  while (std::fgets(line, sizeof line, file)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    std::size_t a = s.find('|');
    if (a == std::string::npos) continue;
    std::size_t b = s.find('|', a + 1);
    if (b == std::string::npos) b = s.size();
    Rule rule{s.substr(0, a), s.substr(a + 1, b - a - 1),
              b < s.size() ? unescape(s.substr(b + 1)) : std::string()};
    const std::size_t only = rule.trigger.find('>');
    if (only != std::string::npos && only > 0 && rule.trigger[0] >= '1' && rule.trigger[0] <= '9') {
      if (std::atoi(rule.trigger.c_str()) != instance) continue;
      rule.trigger.erase(0, only + 1);
    }
    std::size_t hash = rule.trigger.find('#');
    if (hash != std::string::npos && rule.trigger[0] != '@') {
      rule.only_at = std::atoi(rule.trigger.c_str() + hash + 1);
      rule.trigger.resize(hash);
    }
    rules.push_back(rule);
  }
  std::fclose(file);
  return rules;
}

bool searching = false;  // a search was asked and its answer not yet written

bool is_answer(FILE* stream, const std::string& text) {
  if (stream == stdout) return text.rfind("move", 0) == 0 || text.rfind("resign", 0) == 0;
  return text.find("No legal moves to search") != std::string::npos ||
         text.find("move after a game was concluded") != std::string::npos;
}

void put(FILE* stream, const std::string& text) {
  if (is_answer(stream, text)) searching = false;
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void append_log(const char* name, const std::string& text) {
  FILE* file = std::fopen(name, "ab");
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

bool is_search(const std::string& c) {
  if (c == "move" || c == "move restraint") return true;
  if (c.size() != 6) return false;
  for (int i = 0; i < 4; ++i) {
    if (c[i] < '0' || c[i] > '9') return false;
  }
  return c[4] >= 'A' && c[4] <= 'Z' && c[5] >= 'A' && c[5] <= 'Z';
}

// The replies, one per line, served in order.
std::string next_reply() {
  static std::vector<std::string> replies;
  static std::size_t next = 0;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    if (FILE* file = std::fopen("fake_replies.txt", "rb")) {
      char line[65536];
      while (std::fgets(line, sizeof line, file)) {
        std::string r(line);
        while (!r.empty() && (r.back() == '\n' || r.back() == '\r')) r.pop_back();
        replies.push_back(r);
      }
      std::fclose(file);
    }
  }
  return next < replies.size() ? replies[next++] : std::string("resign");
}

// A program of the engine's own (a logger, say) that outlives it, holding its output pipes.
void start_orphan(const std::string& ms) {
#ifdef _WIN32
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = "\"" + std::string(self) + "\" linger " + ms;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
  }
#else
  if (fork() == 0) {
    close(STDIN_FILENO);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms.c_str())));
    _exit(0);
  }
#endif
}

void run(const Rule& rule, const std::string& command) {
  const std::string& t = rule.text;
  if (rule.action == "out") put(stdout, t + "\r\n");
  if (rule.action == "outlf") put(stdout, t + "\n");
  if (rule.action == "raw") put(stdout, t);
  if (rule.action == "err") put(stderr, t + "\r\n");
  if (rule.action == "errlf") put(stderr, t + "\n");
  if (rule.action == "echo") put(stdout, t + command + "\r\n");
  if (rule.action == "reply") put(stdout, next_reply() + "\r\n");
  if (rule.action == "bigout") put(stdout, std::string(std::strtoul(t.c_str(), nullptr, 10), 'x'));
  if (rule.action == "outrep" || rule.action == "errrep") {
    std::string line;
    const std::string piece = t.substr(t.find(' ') + 1);
    for (long i = std::atol(t.c_str()); i > 0; --i) line += piece;
    put(rule.action == "outrep" ? stdout : stderr, line + "\r\n");
  }
  if (rule.action == "orphan") start_orphan(t);
#ifndef _WIN32
  if (rule.action == "signals") {
    struct sigaction now {};
    sigaction(SIGCHLD, nullptr, &now);
    put(stderr,
        std::string("SIGCHLD ") + (now.sa_handler == SIG_IGN ? "ignored" : "default") + "\r\n");
  }
#endif
  if (rule.action == "flood") {
    // A few lines to a write, as a busy engine's buffered output comes.
    std::string lines;
    for (long i = std::atol(t.c_str()); i > 0; --i) {
      lines += "flood " + std::to_string(i) + "\r\n";
      if (i % 16 != 1) continue;
      put(stdout, lines);
      put(stderr, lines);
      lines.clear();
    }
  }
  if (rule.action == "errflood") {  // "N" or "N:line": the line N times
    const std::size_t colon = t.find(':');
    std::string lines;
    for (long i = std::atol(t.c_str()); i > 0; --i)
      lines +=
          (colon == std::string::npos ? "complaint " + std::to_string(i) : t.substr(colon + 1)) +
          "\r\n";
    put(stderr, lines);
  }
  if (rule.action == "keep") {
    static int kept = 0;
    std::string bytes;
    if (FILE* file = std::fopen(t.c_str(), "rb")) {
      char chunk[4096];
      std::size_t n;
      while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
      std::fclose(file);
    }
    append_log(("kept" + std::to_string(++kept) + ".txt").c_str(), bytes);
  }
  if (rule.action == "write") {
    const std::size_t blank = t.find(' ');
    std::remove(t.substr(0, blank).c_str());
    append_log(t.substr(0, blank).c_str(), blank == std::string::npos ? "" : t.substr(blank + 1));
  }
  if (rule.action == "block") {
    std::remove(t.c_str());
#ifdef _WIN32
    _mkdir(t.c_str());
#else
    mkdir(t.c_str(), 0755);
#endif
  }
  if (rule.action == "sleep")
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(t.c_str())));
  if (rule.action == "exit") std::exit(static_cast<int>(std::strtoul(t.c_str(), nullptr, 0)));
  if (rule.action == "deaf") {
    // Stops reading for good: the adapter's writes now meet a pipe with no reader.
    std::fclose(stdin);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  if (rule.action == "hang") {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

void run_all(std::vector<Rule>& rules, const std::string& trigger_or_command, bool is_command) {
  for (Rule& rule : rules) {
    bool hit = is_command
                   ? (rule.trigger == "*" ||
                      (rule.trigger == "@search" && is_search(trigger_or_command)) ||
                      (rule.trigger[0] != '@' &&
                       trigger_or_command.compare(0, rule.trigger.size(), rule.trigger) == 0))
                   : rule.trigger == trigger_or_command;
    if (hit && rule.only_at > 0) hit = ++rule.matches == rule.only_at;
    if (hit) run(rule, trigger_or_command);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "linger") {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return 0;
  }
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  char cwd[4096] = {};
  if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
  if (FILE* started = std::fopen("engine_start.log", "rb")) {  // a line "cwd=..." per start
    char line[4096];
    while (std::fgets(line, sizeof line, started)) instance += std::strncmp(line, "cwd=", 4) == 0;
    std::fclose(started);
  }
  std::string start = "cwd=" + std::string(cwd) + "\n";
  for (int i = 0; i < argc; ++i) start += "argv[" + std::to_string(i) + "]=" + argv[i] + "\n";
  append_log("engine_start.log", start);
  FILE* pid = std::fopen("engine.pid", "wb");
  if (pid) std::fprintf(pid, "%d\n", static_cast<int>(getpid())), std::fclose(pid);

  std::vector<Rule> rules = load_script();
  bool silent_stop = false;
  for (const Rule& rule : rules) silent_stop = silent_stop || rule.trigger == "@silent-stop";
  run_all(rules, "@start", false);
  std::string line;
  int c;
  for (;;) {
    line.clear();
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty()) break;
    append_log("commands.log", line + "\n");
    if (is_search(line)) searching = true;
    run_all(rules, line, true);
    if (line == "s" && searching && !silent_stop) put(stdout, "resign\r\n");
    if (c == EOF) break;
  }
  append_log("commands.log", "<eof>\n");
  run_all(rules, "@eof", false);
  return 0;
}
