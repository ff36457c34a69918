#include <gtest/gtest.h>

#include "platform/ini_text.h"

using platform::ini_text_get;
using platform::ini_text_set;

TEST(IniText, ReadsKeysOfTheirOwnSectionOnly) {
  const char* text =
      "; comment\n[Molvara]\r\nDir = /games/shogi/ \r\nName=\n[orv]\nDebug=true\n"
      "Command=\"  spaced  \"\n";
  const struct {
    const char* section;
    const char* key;
    bool found;
    const char* value;
  } cases[] = {
      {"Molvara", "Dir", true, "/games/shogi/"},  // blanks around a value are not part of it
      {"molvara", "DIR", true, "/games/shogi/"},  // case does not matter for names
      {"Molvara", "Name", true, ""},              // present and empty is not missing
      {"Molvara", "Debug", false, ""},
      {"orv", "Debug", true, "true"},
      {"orv", "Command", true, "  spaced  "},  // quotes keep inner blanks
      {"Other", "Dir", false, ""},
  };
  for (const auto& c : cases) {
    std::string value;
    EXPECT_EQ(ini_text_get(text, c.section, c.key, value), c.found) << c.section << c.key;
    if (c.found) {
      EXPECT_EQ(value, c.value) << c.section << c.key;
    }
    // A section on the first line, after a byte order mark (as Notepad saves UTF-8), too.
    const std::string marked = "\xEF\xBB\xBF" + std::string(text).substr(10);
    EXPECT_EQ(ini_text_get(marked, c.section, c.key, value), c.found) << c.section << c.key;
  }
}

TEST(IniText, SettingKeepsEveryOtherLine) {
  const struct {
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {"", "Molvara", "Dir", "/a/", "[Molvara]\nDir=/a/\n"},
      {"[Molvara]\nDir=/a/\n", "Molvara", "Name", "M 2", "[Molvara]\nDir=/a/\nName=M 2\n"},
      {"[Molvara]\nDir=/a/\n\n[orv]\nDebug=false\n", "molvara", "dir", "/b/",
       "[Molvara]\ndir=/b/\n\n[orv]\nDebug=false\n"},
      {"[Molvara]\nDir=/a/\n\n[orv]\n", "Molvara", "Name", "x",
       "[Molvara]\nDir=/a/\nName=x\n\n[orv]\n"},
      {"; keep me\r\n[orv]\r\nDebug=false\r\n", "orv", "Debug", "true",
       "; keep me\r\n[orv]\r\nDebug=true\r\n"},
      {"[orv]\nDebug=false", "orv", "Command", "", "[orv]\nDebug=false\nCommand=\n"},
      // As Notepad saves it: the mark stays before the first line, no section of its own.
      {"\xEF\xBB\xBF[Molvara]\r\nDir=/a/\r\n", "Molvara", "Name", "x",
       "\xEF\xBB\xBF[Molvara]\r\nDir=/a/\r\nName=x\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini_text_set(c.before, c.section, c.key, c.value), c.after) << c.before;
  }
}
