#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/options.h"
#include "front/usi_line.h"

TEST(ParseOptionValue, WordsSignsAndDigits) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"", 0},
      {"false", 0},
      {"USI", 0},
      {"true", 1},
      {"Nodes", 1},
      {"Depth", 2},
      {"-12", -12},
      {"-+7", 7},
      {"+7", 7},
      {"1.5", 15},
      {"-0.35", -35},
      {"12 34", 12},
      {"abc", INT32_MIN},
      {"True", INT32_MIN},
      {"falsehood", INT32_MIN},
      {"TRUE", INT32_MIN},
      {"1x", INT32_MIN},
      {"4294967297", 1},  // digits wrap at 32 bits
  };
  for (const auto& c : cases) EXPECT_EQ(parse_option_value(c.text), c.value) << c.text;
}

TEST(OptionValues, ValueIsCutAt63Bytes) {
  OptionValues values;
  set_option(values, kCommand, std::string(100, 'x'));
  EXPECT_EQ(option_text(values, kCommand), std::string(63, 'x'));
  set_option(values, kCommand, "short");
  EXPECT_EQ(option_text(values, kCommand), "short");
}

TEST(OptionValues, CheckOptionIsOnForAnyNonZeroValue) {
  OptionValues values;
  EXPECT_FALSE(option_on(values, kDebug));  // empty
  for (const char* on : {"true", "TRUE", "1", "-1"}) {
    set_option(values, kDebug, on);
    EXPECT_TRUE(option_on(values, kDebug)) << on;
  }
  set_option(values, kDebug, "false");
  EXPECT_FALSE(option_on(values, kDebug));
}

TEST(MatchUsi, PrefixAtCursorThenOneMoreCharacter) {
  const struct {
    const char* line;
    const char* literal;
    bool matched;
    std::size_t cursor_after;
  } cases[] = {
      {"usi\n", "usi", true, 4},
      {"usinewgame\n", "usi", true, 4},  // a prefix match; the order of tries keeps them apart
      {"usi", "usi", true, 3},           // the cursor stays inside the line
      {"us\n", "usi", false, 0},
      {" usi\n", "usi", false, 0},          // leading blanks are not skipped
      {"USI\n", "usi", false, 0},           // case counts
      {"go\nmate\n", "go mate", false, 0},  // a line feed never matches
      {"setoption name X\n", "setoption name", true, 15},
  };
  for (const auto& c : cases) {
    UsiLine line{c.line, 0};
    EXPECT_EQ(match_usi(line, c.literal), c.matched) << c.line;
    EXPECT_EQ(line.cursor, c.cursor_after) << c.line;
  }
}
