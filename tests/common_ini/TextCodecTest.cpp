#include "TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string utf8;
};

std::string U16(std::initializer_list<unsigned> units) {
  std::string out;
  for (unsigned u : units) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

TEST(TextCodec, Utf16LeDecodingReplacesWhatIsBroken) {
  const DecodeCase cases[] = {
      {"ascii", U16({'a', 'b'}), "ab"},
      {"cjk", U16({0x4E2D, 0x6587}), "\xE4\xB8\xAD\xE6\x96\x87"},
      {"surrogate pair", U16({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"},
      {"lone high at end", U16({'a', 0xD83D}), "a\xEF\xBF\xBD"},
      {"high then ascii", U16({0xD83D, 'b'}), "\xEF\xBF\xBD" "b"},
      {"lone low", U16({0xDE00, 'c'}), "\xEF\xBF\xBD" "c"},
      {"odd byte count", U16({'a'}) + "\x41", "a\xEF\xBF\xBD"},
      {"single byte", "\x41", "\xEF\xBF\xBD"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz::Utf16LeToUtf8(c.bytes), c.utf8) << c.name;
  }
}

TEST(TextCodec, Utf8ValidationAndEncodingOfBrokenInput) {
  struct Case {
    const char* name;
    std::string utf8;
    bool valid;
    std::string utf16;  // what the encoder makes of it
  };
  const Case cases[] = {
      {"ascii", "Az", true, U16({'A', 'z'})},
      {"two bytes", "\xC3\xA9", true, U16({0xE9})},
      {"four bytes", "\xF0\xA0\x80\x80", true, U16({0xD840, 0xDC00})},
      {"max code point", "\xF4\x8F\xBF\xBF", true, U16({0xDBFF, 0xDFFF})},
      {"overlong slash", "\xC0\xAF", false, U16({0xFFFD, 0xFFFD})},
      {"overlong three", "\xE0\x80\xAF", false, U16({0xFFFD, 0xFFFD, 0xFFFD})},
      {"encoded surrogate", "\xED\xA0\x80", false, U16({0xFFFD, 0xFFFD, 0xFFFD})},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false, U16({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD})},
      {"truncated at end", "a\xE4\xB8", false, U16({'a', 0xFFFD, 0xFFFD})},
      {"bad continuation", "\xE4" "a", false, U16({0xFFFD, 'a'})},
      {"stray continuation", "\x80", false, U16({0xFFFD})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz::IsValidUtf8(c.utf8), c.valid) << c.name;
    EXPECT_EQ(vz::Utf8ToUtf16Le(c.utf8), c.utf16) << c.name;
  }
}

TEST(TextCodec, FileDecodingFollowsTheMarkThenUtf8ThenLatin1) {
  const DecodeCase cases[] = {
      {"utf-16le mark", "\xFF\xFE" + U16({'k', 0xE9}), "k\xC3\xA9"},
      {"utf-16be mark", std::string("\xFE\xFF\x00k\x00\xE9", 6), "k\xC3\xA9"},
      {"utf-8 mark", "\xEF\xBB\xBFk\xC3\xA9", "k\xC3\xA9"},
      {"utf-8 mark, damaged body", "\xEF\xBB\xBFk\xE9", "k\xEF\xBF\xBD"},
      {"utf-8 without mark", "k\xC3\xA9", "k\xC3\xA9"},
      {"latin-1", "k\xE9\xFF", "k\xC3\xA9\xC3\xBF"},
      {"only a mark", "\xFF\xFE", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz::DecodeTextFile(c.bytes), c.utf8) << c.name;
  }
}

}  // namespace
