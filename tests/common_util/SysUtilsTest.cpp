#include "SysUtils.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(SysUtils, BitIsSet) {
  struct Case {
    uint64_t value;
    int bit;
    bool expected;
  };
  const Case cases[] = {
      {0x1, 0, true},   {0x1, 1, false}, {0x80000000u, 31, true}, {1ull << 63, 63, true},
      {~0ull, 64, false}, {~0ull, -1, false}, {0x0, 5, false},  {0x20, 5, true},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::BitIsSet(c.value, c.bit), c.expected) << c.value << " bit " << c.bit;
}

TEST(SysUtils, CountChar) {
  EXPECT_EQ(vz::CountChar('.', "192.168.1.10"), 3u);
  EXPECT_EQ(vz::CountChar('.', ""), 0u);
  EXPECT_EQ(vz::CountChar('a', "aaa"), 3u);
  EXPECT_EQ(vz::CountChar('\0', std::string_view("a\0b\0", 4)), 2u);
}

TEST(SysUtils, Clamp) {
  struct Case {
    int value, low, high, expected;
  };
  const Case cases[] = {
      {5, 0, 10, 5}, {-1, 0, 10, 0}, {11, 0, 10, 10}, {0, 0, 10, 0}, {10, 0, 10, 10},
      {INT_MIN, -5, 5, -5}, {INT_MAX, -5, 5, 5},
      {5, 10, 0, 10},  // low above high: below low gives low
  };
  for (const auto& c : cases) EXPECT_EQ(vz::Clamp(c.value, c.low, c.high), c.expected) << c.value;
  EXPECT_DOUBLE_EQ(vz::Clamp(1.5, 0.0, 1.0), 1.0);
}

TEST(SysUtils, PrettyNameFromOsRelease) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"PRETTY_NAME='Single quoted'\r\n", "Single quoted"},
      {"PRETTY_NAME=Bare\n", "Bare"},
      {"PRETTY_NAME=\"Say \\\"hi\\\"\"", "Say \"hi\""},
      {"NOT_PRETTY_NAME=\"x\"\n", ""},
      {"", ""},
      {"PRETTY_NAME=\"", "\""},  // an unclosed quote is kept as text
  };
  for (const auto& c : cases) EXPECT_EQ(vz::PrettyNameFromOsRelease(c.text), c.expected) << c.text;
}

TEST(SysUtils, OSNameReadsThisSystem) {
  // Every system of ours has os-release; its name is never an empty line.
  const std::string name = vz::OSName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.find('\n'), std::string::npos);
}

}  // namespace
