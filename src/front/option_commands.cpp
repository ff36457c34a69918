#include "front/option_commands.h"

#include "platform/platform.h"

namespace {
constexpr const char* kOptionSection = "orv";
}

void handle_usi(State& a) {
  Outbox& out = a.out;
  outbox_gui(out, {"id name ", a.engine_name});
  outbox_gui(out, {"id author -"});
  for (int id = 0; id < kListedOptionCount; ++id) {
    const OptionRow& row = option_table[id];
    set_option(a.options, static_cast<OptionId>(id),
               platform::ini_read(a.ini_path, kOptionSection, row.name, row.default_value,
                                  kOptionSlotSize));
    std::string_view value = option_text(a.options, static_cast<OptionId>(id));
    std::string_view extra = row.extra;
    outbox_gui(out, {"option name ", row.name, " type ", row.type, " default ",
                     value.empty() ? "<empty>" : value, extra.empty() ? "" : " ", extra});
  }
  outbox_gui(out, {"usiok"});
}

void handle_setoption(State& a, UsiLine& line) {
  Outbox& out = a.out;
  int id = 0;
  while (id < kOptionCount && !match_usi(line, option_table[id].name)) ++id;
  if (id == kOptionCount) return;
  if (!match_usi(line, "value")) outbox_gui(out, {"setoption"});

  std::string_view value = rest_of(line);
  value = value.substr(0, value.find('\n'));
  const bool flipped = option_on(a.options, kFlipHorizontal);
  set_option(a.options, static_cast<OptionId>(id), value);
  // The engine's board was loaded the other way round: the next search loads it whole.
  if (option_on(a.options, kFlipHorizontal) != flipped) a.game.engine_behind = true;
  // An option that cannot be kept would be lost at the next start: the user is told.
  if (id < kListedOptionCount &&
      !platform::ini_write(a.ini_path, kOptionSection, option_table[id].name,
                           option_text(a.options, static_cast<OptionId>(id)))) {
    outbox_gui(out, {"info string ", platform::from_path(a.ini_path), " cannot be written"});
  }
}
