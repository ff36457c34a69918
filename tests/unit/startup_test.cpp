#include <gtest/gtest.h>

#include "engine/engine_process.h"
#include "front/startup.h"

TEST(ExecutableName, BaseNameAndPrefix) {
  const struct {
    const char* path;
    const char* base;  // after base_name_of
    bool accepted;
    const char* engine;  // after strip_prefix
  } cases[] = {
      {"/opt/shogi/orv_molvara", "orv_molvara", true, "molvara"},
      {"./orv_molvara", "orv_molvara", true, "molvara"},
      {"orv_molvara", "orv_molvara", true, "molvara"},
      {"/a.b/orv_molvara.beta.exe", "orv_molvara.beta", true, "molvara.beta"},
      {"/x/orv_", "orv_", false, "orv_"},  // nothing after the prefix
      {"/x/ORV_molvara", "ORV_molvara", false, "ORV_molvara"},
      {"/x/molvara", "molvara", false, "molvara"},
      {"", "", false, ""},
  };
  for (const auto& c : cases) {
    std::string name = base_name_of<char>(c.path, '/');
    EXPECT_EQ(name, c.base) << c.path;
    EXPECT_EQ(strip_prefix(name), c.accepted) << c.path;
    EXPECT_EQ(name, c.engine) << c.path;
  }
  EXPECT_EQ(base_name_of<char>("C:\\Shogi\\orv_molvara.exe", '\\'), "orv_molvara");
}

TEST(EngineBanner, VersionFlagsAndName) {
  const struct {
    const char* banner;
    const char* base;
    int version;
    const char* name;
  } cases[] = {
      {"Molvara Version 2.1 - The Computer Shogi Engine", "molvara", 2, "Molvara Version 2.1"},
      {"Molvara Version 1.5", "molvara", 1, "Molvara Version 1.5"},
      {"Molvara Version 3x", "molvara", 3, "Molvara Version 3x"},
      {"Molvara Version 4", "molvara", 0, "Molvara Version 4"},
      // The tail is cut only where it begins at index 11 or later.
      {"0123456789 - The Computer Shogi Engine", "molvara", 0,
       "0123456789 - The Computer Shogi Engine"},
      {"0123456789A - The Computer Shogi Engine", "molvara", 0, "0123456789A"},
      {"Molvara Version 2", "kaede", 2, "Molvara Version 2 (kaede)"},
      {"", "kaede", 0, " (kaede)"},
  };
  for (const auto& c : cases) {
    std::string name;
    EXPECT_EQ(engine_name_from_banner(c.banner, c.base, name), c.version) << c.banner;
    EXPECT_EQ(name, c.name) << c.banner;
  }
}
