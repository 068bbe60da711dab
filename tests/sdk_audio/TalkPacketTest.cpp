#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "TalkPacket.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& p, std::size_t off) {
  return static_cast<uint32_t>(p[off]) | static_cast<uint32_t>(p[off + 1]) << 8 |
         static_cast<uint32_t>(p[off + 2]) << 16 | static_cast<uint32_t>(p[off + 3]) << 24;
}

TEST(TalkPacket, HeadAddressCutAndPort) {
  struct Case {
    std::string addr;
    int32_t port;
    std::size_t samples;
    std::string wantAddr;  // the 20 bytes at offset 8 up to the first NUL
  };
  const Case cases[] = {
      {"192.168.1.10", 3001, 4096, "192.168.1.10"},
      {"", 0, 0, ""},
      {"abcdefghijklmnopqrs", 65535, 1, "abcdefghijklmnopqrs"},                // 19: fits
      {"abcdefghijklmnopqrst", 5000, 17, "abcdefghijklmnopqrs"},               // 20: cut
      {"camera.example.invalid.long.name", -1, 2048, "camera.example.inva"},  // cut hard
      {std::string("ab\0cd", 5), 7, 3, "ab"},                                 // ends at a NUL
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.addr);
    std::vector<uint8_t> samples(c.samples);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 3 + 1);
    std::vector<uint8_t> p{0xEE};
    ASSERT_TRUE(vz::BuildTalkPacket(c.addr, c.port, samples.data(), samples.size(), p));
    ASSERT_EQ(p.size(), 32 + c.samples);
    EXPECT_EQ(U32At(p, 0), 0xDDDDDDDDu);
    EXPECT_EQ(U32At(p, 4), c.samples + 24);
    std::string addr(reinterpret_cast<const char*>(&p[8]), 20);
    EXPECT_EQ(addr.substr(0, addr.find('\0')), c.wantAddr);
    for (std::size_t i = 8 + c.wantAddr.size(); i < 28; ++i) EXPECT_EQ(p[i], 0) << "address byte " << i;
    EXPECT_EQ(U32At(p, 28), static_cast<uint32_t>(c.port));
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), p.begin() + 32));
  }
}

TEST(TalkPacket, ExactBytesOfAShortPacket) {
  const uint8_t samples[] = {0x01, 0x80, 0xFF};
  std::vector<uint8_t> p;
  ASSERT_TRUE(vz::BuildTalkPacket("10.0.0.2", 0x0BB9, samples, sizeof samples, p));
  const std::vector<uint8_t> want = {
      0xDD, 0xDD, 0xDD, 0xDD, 27, 0, 0, 0,                        //
      '1', '0', '.', '0', '.', '0', '.', '2', 0, 0, 0, 0, 0, 0,  //
      0, 0, 0, 0, 0, 0,                                           //
      0xB9, 0x0B, 0, 0, 0x01, 0x80, 0xFF};
  EXPECT_EQ(p, want);
}

TEST(TalkPacket, RefusesMoreThanOneBufferOrMissingSamples) {
  std::vector<uint8_t> samples(4097, 0x55);
  std::vector<uint8_t> p{1, 2, 3};
  EXPECT_FALSE(vz::BuildTalkPacket("a", 1, samples.data(), samples.size(), p));
  EXPECT_TRUE(p.empty());
  EXPECT_FALSE(vz::BuildTalkPacket("a", 1, nullptr, 10, p));
  EXPECT_TRUE(vz::BuildTalkPacket("a", 1, nullptr, 0, p));
  EXPECT_EQ(p.size(), 32u);
}

}  // namespace
