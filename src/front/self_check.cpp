#include "front/self_check.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "front/engine_trial.h"
#include "front/self_check_texts.h"
#include "front/startup.h"
#include "platform/platform.h"

namespace {

// molvara says its name at once; an engine silent this long may be another program.
constexpr unsigned kBannerWaitMs = 10000;
constexpr std::size_t kMaxNameLength = 260;
constexpr std::size_t kMaxSimilarNames = 3;
// The codes Windows gives a program it could not load.
constexpr std::uint32_t kDllNotFound = 0xC0000135;
constexpr std::uint32_t kInvalidImageFormat = 0xC000007B;

// kNone last: a line without a verdict (the heading, the engine's words, the summary).
enum Verdict { kOk, kFail, kNote, kSkip, kNone };
constexpr CheckText kVerdictTexts[] = {kVerdictOk, kVerdictFail, kVerdictNote, kVerdictSkip};

// A value put into a text, in both forms the text is written in.
struct Arg {
  std::string utf8, narrow;
};

Arg ascii(const std::string& text) {
  return {text, text};
}

Arg path_arg(const platform::Path& path) {
  return {platform::utf8_from_path(path), platform::from_path(path)};
}

// Text the engine wrote, in the platform's narrow form.
Arg narrow_arg(const std::string& text) {
  return {platform::utf8_from_path(platform::to_path(text)), text};
}

struct Line {
  Verdict verdict;
  CheckText text;
  std::vector<Arg> args;
};

enum class Form { kUtf8, kNarrow };

std::string fill(std::string_view text, const std::vector<Arg>& args, Form form) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t n = i + 2 < text.size() && text[i] == '{' && text[i + 2] == '}'
                              ? static_cast<std::size_t>(text[i + 1] - '1')
                              : args.size();
    if (n < args.size()) {
      out += form == Form::kUtf8 ? args[n].utf8 : args[n].narrow;
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The Japanese lines, then the English ones.
std::string render(const std::vector<Line>& lines, Form form) {
  const auto japanese_of = [form](const CheckTextForms& text) {
    return form == Form::kNarrow ? platform::narrow_from_utf8(text.japanese) : text.japanese;
  };
  std::string japanese, english;
  for (const Line& line : lines) {
    if (line.verdict != kNone) {
      const CheckTextForms& verdict = kCheckTexts[kVerdictTexts[line.verdict]];
      japanese += japanese_of(verdict) + " ";
      english += std::string(verdict.english) + " ";
    }
    const CheckTextForms& text = kCheckTexts[line.text];
    japanese += fill(japanese_of(text), line.args, form) + "\n";
    english += fill(text.english, line.args, form) + "\n";
  }
  return japanese + "\n" + english;
}

std::string lower_ascii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

platform::Path separator() {
  return platform::Path(1, static_cast<platform::PathChar>(platform::path_separator()));
}

// The folder and the names the check works with. An adapter copied or renamed by hand
// ("orv_molvara (1)", "orv-kato") is meant for an engine of the folder whose name its own
// holds.
struct Names {
  platform::Path dir;      // with the separator at the end
  platform::Path adapter;  // the adapter's file name
  platform::Path wanted;   // the engine its name asks for, without the suffix; empty if wrong
  platform::Path meant;    // the engine it is meant for: named on the first line and in advice
  platform::Path suffix;
  LineReader* typed = nullptr;  // what the person types during the engine's trial
};

// The folder's programs other than adapters, without their suffix.
std::vector<platform::Path> programs_in(const Names& n) {
  const std::string suffix = lower_ascii(platform::utf8_from_path(n.suffix));
  std::vector<platform::Path> found;
  for (const platform::Path& name : platform::folder_entries(n.dir, platform::Entries::kFiles)) {
    const std::string text = lower_ascii(platform::utf8_from_path(name));
    if (ends_with(text, suffix) && text.compare(0, 4, "orv_") != 0 && name != n.adapter) {
      found.push_back(name.substr(0, name.size() - n.suffix.size()));
    }
  }
  return found;
}

// The engine whose name begins the adapter's own after its "orv" (and a mark after it, right
// or wrong), the longest such; the name's own engine while it is there.
platform::Path meant_engine(const Names& n, const platform::Path& adapter_base) {
  if (!n.wanted.empty() && platform::file_exists(n.dir + n.wanted + n.suffix)) return n.wanted;
  std::string own = lower_ascii(platform::utf8_from_path(adapter_base));
  if (own.compare(0, 3, "orv") == 0) own.erase(0, own.find_first_not_of("_- .", 3));
  platform::Path best;
  for (const platform::Path& base : programs_in(n)) {
    const std::string text = lower_ascii(platform::utf8_from_path(base));
    if (!text.empty() && own.compare(0, text.size(), text) == 0 && base.size() > best.size()) {
      best = base;
    }
  }
  if (!best.empty()) return best;
  return n.wanted.empty() ? platform::to_path("molvara") : n.wanted;
}

// Files that look like the engine under another name, such as "molvara (1).exe" or a copy.
std::vector<platform::Path> similar_names(const Names& n) {
  const std::string key = lower_ascii(platform::utf8_from_path(n.wanted));
  const std::string suffix = lower_ascii(platform::utf8_from_path(n.suffix));
  std::vector<platform::Path> found;
  for (const platform::Path& name : platform::folder_entries(n.dir, platform::Entries::kFiles)) {
    const std::string text = lower_ascii(platform::utf8_from_path(name));
    if (text.find(key) != std::string::npos && ends_with(text, suffix) &&
        text.compare(0, 4, "orv_") != 0) {
      found.push_back(name);
    }
  }
  std::sort(found.begin(), found.end());
  if (found.size() > kMaxSimilarNames) found.resize(kMaxSimilarNames);
  return found;
}

// Engines come with their files in a folder of their own: the engine one level down.
platform::Path engine_folder_below(const Names& n) {
  std::vector<platform::Path> folders =
      platform::folder_entries(n.dir, platform::Entries::kFolders);
  std::sort(folders.begin(), folders.end());
  for (const platform::Path& folder : folders) {
    const platform::Path below = n.dir + folder + separator();
    if (platform::file_exists(below + n.wanted + n.suffix)) return below;
  }
  return {};
}

Line check_engine_file(const Names& n, bool& found) {
  const platform::Path file = n.wanted + n.suffix;
  const std::vector<Arg> args{path_arg(n.dir + file), path_arg(file)};
  found = platform::file_exists(n.dir + file);
  if (found) return {kOk, kEngineThere, args};
  const platform::Path below = engine_folder_below(n);
  if (!below.empty()) {
    return {kFail, kEngineInSubfolder, {args[1], path_arg(below), path_arg(n.adapter)}};
  }
  const std::vector<platform::Path> similar = similar_names(n);
  if (similar.empty()) return {kFail, kEngineMissing, args};
  Arg names;
  for (const platform::Path& name : similar) {
    const Arg one = path_arg(name);
    const char* comma = names.utf8.empty() ? "" : ", ";
    names.utf8 += comma + one.utf8;
    names.narrow += comma + one.narrow;
  }
  return {kFail, kEngineMisnamed, {args[0], args[1], names}};
}

Arg exit_code_arg(std::uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, code > 0xFFFF ? "0x%08X" : "%u", static_cast<unsigned>(code));
  return ascii(text);
}

// What the engine showed when it was started for a moment, and its own last words.
void check_engine_start(const Names& n, std::vector<Line>& lines) {
  const platform::Path file = n.wanted + n.suffix;
  const EngineTrial trial = trial_engine(n.dir, n.wanted, kBannerWaitMs, n.typed);
  switch (trial.outcome) {
    case TrialOutcome::kSaidName:
      lines.push_back({kOk, kEngineSaidName, {narrow_arg(trial.name)}});
      return;
    case TrialOutcome::kCannotStart:
      lines.push_back({kFail,
                       platform::lacks_run_bit(n.dir + file) ? kEngineNoRunBit : kEngineCannotStart,
                       {path_arg(file)}});
      return;
    case TrialOutcome::kSilent:
      lines.push_back({kNote, kEngineSilent, {}});
      break;
    case TrialOutcome::kEnded: {
      const bool wrote = !trial.last_errors.empty() || !trial.last_output.empty();
      const CheckText text = !trial.exited ? kEngineClosedOutput
                             : wrote       ? kEngineEnded
                                           : kEngineEndedMute;
      lines.push_back({kFail, text, {path_arg(file), exit_code_arg(trial.exit_code)}});
      if (trial.exited && trial.exit_code == kDllNotFound) {
        lines.push_back({kNone, kExitMissingDll, {}});
      }
      if (trial.exited && trial.exit_code == kInvalidImageFormat) {
        lines.push_back({kNone, kExitWrongBits, {}});
      }
      break;
    }
  }
  for (const std::string& said : trial.last_errors) {
    lines.push_back({kNone, kEngineErrorLine, {narrow_arg(said)}});
  }
  for (const std::string& said : trial.last_output) {
    lines.push_back({kNone, kEngineOutputLine, {narrow_arg(said)}});
  }
}

// The one folder the guides advise: a folder of the person's own, such as C:\Users\<name>\shogi.
Arg own_folder() {
  platform::Path home = platform::home_folder();
  if (home.empty()) home = platform::to_path("~");
  return path_arg(home + separator() + platform::to_path("shogi"));
}

Line check_folder(const Names& n, const platform::Path& ini_file) {
  if (platform::in_temp_folder(n.dir)) return {kFail, kFolderInTemp, {own_folder()}};
  if (platform::can_create_file_in(n.dir)) return {kOk, kFolderWritable, {path_arg(ini_file)}};
  const std::string where = lower_ascii(platform::utf8_from_path(n.dir));
  if (where.find("program files") != std::string::npos) {
    return {kFail, kFolderInProgramFiles, {own_folder()}};
  }
  if (where.find("onedrive") != std::string::npos) {
    return {kFail, kFolderInOneDrive, {own_folder()}};
  }
  switch (platform::why_refused(n.dir)) {
    case platform::Refusal::kMode:
      return {kFail, kFolderNoWriteBit, {path_arg(n.dir), own_folder()}};
    case platform::Refusal::kGuard:
      return {
          kFail, kFolderGuarded, {own_folder(), path_arg(n.adapter), path_arg(n.meant + n.suffix)}};
    case platform::Refusal::kOther:
      break;
  }
  return {kFail, kFolderOther, {own_folder()}};
}

Line check_ini(const Names& n, const platform::Path& ini_file) {
  const platform::Path path = n.dir + ini_file;
  const platform::Path recorded =
      platform::file_exists(path) ? platform::ini_read_path(path, "Molvara", "Dir", kMaxNameLength)
                                  : platform::Path();
  if (recorded.empty()) return {kOk, kIniNotYet, {path_arg(ini_file)}};
  const platform::Path name = platform::ini_read_path(path, "Molvara", "Name", kMaxNameLength);
  const std::vector<Arg> args{path_arg(ini_file), path_arg(name), path_arg(recorded)};
  if (recorded != n.dir) return {kNote, kIniOtherFolder, args};
  return {kOk, kIniThere, args};
}

platform::Path file_name_of(const platform::Path& path) {
  const std::size_t slash = path.rfind(static_cast<platform::PathChar>(platform::path_separator()));
  return slash == platform::Path::npos ? path : path.substr(slash + 1);
}

// The adapter's own name, then its engine: the file, and what it shows when started. False
// when the name is to be mended first.
bool check_names_and_engine(const Names& n, std::vector<Line>& lines) {
  const platform::Path right = platform::to_path("orv_") + n.meant + n.suffix;
  if (n.wanted.empty() || n.meant != n.wanted) {
    if (n.wanted.empty()) {
      lines.push_back({kFail, kNameWrong, {path_arg(n.adapter), path_arg(right)}});
    } else {
      lines.push_back({kFail,
                       kNameCopied,
                       {path_arg(n.adapter), path_arg(n.wanted + n.suffix),
                        path_arg(n.meant + n.suffix), path_arg(right)}});
    }
    lines.push_back({kSkip, kNotCheckedForName, {}});
    return false;
  }
  lines.push_back({kOk, kNameRight, {path_arg(n.adapter)}});
  bool found = false;
  lines.push_back(check_engine_file(n, found));
  if (found) {
    check_engine_start(n, lines);
  } else {
    lines.push_back({kSkip, kEngineNotStarted, {}});
  }
  return true;
}

}  // namespace

CheckResult run_self_check(const char* argv0, const char* version, bool by_hand,
                           LineReader* typed) {
  const platform::Path executable = platform::executable_path(argv0);
  Names n;
  n.typed = typed;
  n.dir = platform::current_directory() + separator();
  n.adapter = file_name_of(executable);
  n.suffix = platform::to_path(platform::executable_suffix());
  const platform::Path exe_base =
      base_name_of<platform::PathChar>(executable, platform::path_separator());
  n.wanted = exe_base;
  if (!strip_prefix(n.wanted)) n.wanted.clear();
  n.meant = meant_engine(n, exe_base);
  const platform::Path ini_file = exe_base + platform::to_path(".ini");

  std::vector<Line> lines{{kNone, kHeader, {path_arg(n.dir)}},
                          {kOk,
                           kWhatOrvIs,
                           {ascii(version), path_arg(n.meant), path_arg(n.meant + n.suffix),
                            path_arg(platform::to_path("orv_") + n.meant + n.suffix)}}};
  const bool engine_checked = check_names_and_engine(n, lines);
  lines.push_back(check_folder(n, ini_file));
  if (engine_checked) lines.push_back(check_ini(n, ini_file));

  const auto any = [&](auto pred) { return std::any_of(lines.begin(), lines.end(), pred); };
  const CheckResult result =
      any([](const Line& l) { return l.verdict == kFail; })        ? CheckResult::kFailed
      : any([](const Line& l) { return l.text == kEngineSilent; }) ? CheckResult::kNotAllWell
                                                                   : CheckResult::kAllWell;
  constexpr CheckText kSummaries[] = {kAllWell, kNotAllWell, kSomethingWrong};
  lines.push_back({kNone, kSummaries[static_cast<int>(result)], {}});
  if (by_hand) {
    lines.push_back({kNone, result == CheckResult::kFailed ? kPressEnter : kWaitingForUsi, {}});
  }
  if (!platform::write_console(render(lines, Form::kUtf8))) {
    const std::string text = render(lines, Form::kNarrow);
    platform::write_stdout(text.data(), text.size());
  }
  return result;
}

void wait_for_enter(LineReader& typed) {
  platform::io_open();
  typed.start = typed.end;  // what was typed before the question is no answer to it
  while (!typed.ended) {
    platform::Wants wants;
    wants.read[platform::kGuiIn] = true;
    platform::Ready ready;
    platform::io_wait(wants, -1, ready);
    if (!ready.read[platform::kGuiIn]) continue;
    if (read_from(typed, platform::kGuiIn).find_first_of("\r\n") != std::string_view::npos) {
      return;
    }
  }
}
