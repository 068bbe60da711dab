#include "FileUtils.h"

#include <gtest/gtest.h>

#include <string>

#include "TestEnv.h"

namespace {

TEST(FileUtils, Crc32OfKnownTexts) {
  struct Case {
    std::string data;
    uint32_t crc;
  };
  const Case cases[] = {
      {"", 0x00000000u},
      {"abc", 0x352441C2u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {std::string(3, '\0'), 0xFF41D912u},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::Crc32(c.data.data(), c.data.size()), c.crc) << c.data;
}

// Bit by bit, straight from the polynomial: the reference for the fast path.
uint32_t BitwiseCrc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

TEST(FileUtils, Crc32MatchesTheBitwiseReferenceAtAnyOffsetAndLength) {
  uint8_t buffer[64 + 8];
  for (size_t i = 0; i < sizeof buffer; ++i) buffer[i] = static_cast<uint8_t>(i * 151 + 89);
  for (size_t offset = 0; offset < 8; ++offset) {
    for (size_t length = 0; length <= 64; ++length) {
      ASSERT_EQ(vz::Crc32(buffer + offset, length), BitwiseCrc32(buffer + offset, length))
          << "offset " << offset << " length " << length;
    }
  }
}

TEST(FileUtils, Crc32GoesOnFromAPreviousResult) {
  const std::string text = "The quick brown fox jumps over the lazy dog";
  for (size_t cut : {size_t{0}, size_t{1}, size_t{20}, text.size()}) {
    const uint32_t first = vz::Crc32(text.data(), cut);
    EXPECT_EQ(vz::Crc32(text.data() + cut, text.size() - cut, first), 0x414FA339u) << cut;
  }
}

TEST(FileUtils, FileCRC32) {
  vztest::TempDir dir;
  vztest::WriteFileBytes(dir / "abc.txt", "abc");
  EXPECT_EQ(vz::FileCRC32((dir / "abc.txt").string()), 0x352441C2u);
  // Larger than one read block, so the blocks must chain.
  std::string big(200 * 1024 + 7, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + 7);
  vztest::WriteFileBytes(dir / "big.bin", big);
  EXPECT_EQ(vz::FileCRC32((dir / "big.bin").string()), vz::Crc32(big.data(), big.size()));
  EXPECT_EQ(vz::FileCRC32((dir / "missing").string()), 0u);
  EXPECT_EQ(vz::FileCRC32(dir.str()), 0u);  // a folder cannot be read as a file
}

TEST(FileUtils, ForceDir) {
  vztest::TempDir dir;
  const std::string deep = (dir / "a/b/c").string();
  EXPECT_TRUE(vz::ForceDir(deep));
  EXPECT_TRUE(vz::DirExists(deep));
  EXPECT_TRUE(vz::ForceDir(deep));  // existing
  EXPECT_TRUE(vz::ForceDir(""));
  vztest::WriteFileBytes(dir / "file", "x");
  EXPECT_FALSE(vz::ForceDir((dir / "file").string()));
  EXPECT_FALSE(vz::ForceDir((dir / "file/sub").string()));
}

TEST(FileUtils, FileSizeOf) {
  vztest::TempDir dir;
  vztest::WriteFileBytes(dir / "five", "12345");
  vztest::WriteFileBytes(dir / "empty", "");
  EXPECT_EQ(vz::FileSizeOf((dir / "five").string()), 5u);
  EXPECT_EQ(vz::FileSizeOf((dir / "empty").string()), 0u);
  EXPECT_EQ(vz::FileSizeOf((dir / "missing").string()), 0u);
  EXPECT_EQ(vz::FileSizeOf(dir.str()), 0u);
  EXPECT_TRUE(vz::FileExists((dir / "empty").string()));
  EXPECT_FALSE(vz::FileExists(dir.str()));
}

TEST(FileUtils, PathPieces) {
  struct Case {
    const char* path;
    const char* slashed;
    const char* folder;
  };
  const Case cases[] = {
      {"/a/b", "/a/b/", "/a/"}, {"/a/b/", "/a/b/", "/a/b/"}, {"name", "name/", ""}, {"", "", ""}, {"/", "/", "/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz::WithTrailingSlash(c.path), c.slashed) << c.path;
    EXPECT_EQ(vz::FolderOf(c.path), c.folder) << c.path;
  }
}

}  // namespace
