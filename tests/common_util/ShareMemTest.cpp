#include "ShareMem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

std::string UniqueName(const char* what) { return std::string("vzt_shm_") + what + "_" + std::to_string(::getpid()); }

TEST(ShareMem, CreateThenOpenSharesTheBytes) {
  const std::string name = UniqueName("share");
  TShareMem first;
  ASSERT_TRUE(first.Create(name, 516));
  EXPECT_TRUE(first.NewlyCreated());
  EXPECT_EQ(first.Size(), 516u);
  ASSERT_NE(first.Memory(), nullptr);
  const auto* fresh = static_cast<const unsigned char*>(first.Memory());
  for (size_t i = 0; i < 516; ++i) ASSERT_EQ(fresh[i], 0) << i;

  TShareMem second;
  ASSERT_TRUE(second.Create("/" + name, 516));  // the leading slash is optional
  EXPECT_FALSE(second.NewlyCreated());
  EXPECT_NE(second.Memory(), first.Memory());
  std::memcpy(first.Memory(), "title", 6);
  EXPECT_STREQ(static_cast<const char*>(second.Memory()), "title");
  std::memcpy(static_cast<char*>(second.Memory()) + 512, "back", 4);
  EXPECT_EQ(std::memcmp(static_cast<const char*>(first.Memory()) + 512, "back", 4), 0);
}

TEST(ShareMem, TheCreatorRemovesTheNameOnDestroy) {
  const std::string name = UniqueName("gone");
  TShareMem creator;
  ASSERT_TRUE(creator.Create(name, 64));
  TShareMem opener;
  ASSERT_TRUE(opener.Create(name, 64));
  std::memcpy(creator.Memory(), "x", 2);
  creator.Destroy();
  EXPECT_EQ(creator.Memory(), nullptr);
  // The opener keeps its mapping; a new Create starts a fresh block.
  EXPECT_STREQ(static_cast<const char*>(opener.Memory()), "x");
  TShareMem again;
  ASSERT_TRUE(again.Create(name, 64));
  EXPECT_TRUE(again.NewlyCreated());
  EXPECT_EQ(static_cast<const char*>(again.Memory())[0], 0);
}

TEST(ShareMem, OpeningWithALargerSizeGrowsTheBlock) {
  const std::string name = UniqueName("grow");
  TShareMem small;
  ASSERT_TRUE(small.Create(name, 16));
  TShareMem large;
  ASSERT_TRUE(large.Create(name, 64 * 1024));
  // Would fault past the end of a 16-byte object if it had not grown.
  static_cast<char*>(large.Memory())[64 * 1024 - 1] = 7;
  EXPECT_EQ(static_cast<char*>(large.Memory())[64 * 1024 - 1], 7);
}

TEST(ShareMem, RefusesBadNamesAndSizes) {
  struct Case {
    std::string name;
    size_t size;
  };
  const Case cases[] = {
      {"", 16}, {"/", 16}, {"a/b", 16}, {UniqueName("zero"), 0}, {std::string(300, 'n'), 16},
  };
  for (const auto& c : cases) {
    TShareMem m;
    EXPECT_FALSE(m.Create(c.name, c.size)) << c.name << " " << c.size;
    EXPECT_EQ(m.Memory(), nullptr);
  }
}

}  // namespace
