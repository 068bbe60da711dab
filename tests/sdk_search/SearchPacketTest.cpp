// The search datagrams byte by byte, without any network.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "SearchPacket.h"

namespace {

// Copies text into a fixed field, NUL-padded, cut at the field's size.
template <size_t N>
void Put(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::memcpy(field, text, std::min(N, std::strlen(text)));
}

uint32_t U32(const std::vector<uint8_t>& p, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, p.data() + at, 4);
  return v;
}

vz::TDevInfo Info(const char* name, int32_t type, int32_t channels) {
  vz::TDevInfo info{};
  Put(info.DevName, name);
  info.DevType = type;
  info.VideoChannels = channels;
  return info;
}

vz::TNetCfg Net(const char* ip) {
  vz::TNetCfg net{};
  net.DataPort = 5000;
  net.WebPort = 8080;
  Put(net.IP, ip);
  Put(net.Mac, "00:11:22:33:44:55");
  Put(net.Mask, "255.255.255.0");
  Put(net.Gateway, "10.1.2.254");
  Put(net.Dns, "10.1.2.253");
  return net;
}

TEST(SearchPacket, RequestsAreWholeZeroedPacketsWithMarker2Zero) {
  struct Case {
    uint32_t cmd;
    int32_t arg;
  };
  for (const Case& c : {Case{26, 0}, Case{17, 978307200}, Case{17, -5}}) {
    SCOPED_TRACE(c.cmd);
    const std::vector<uint8_t> p = vz::BuildSearchRequest(c.cmd, c.arg);
    ASSERT_EQ(p.size(), 1460u);
    EXPECT_EQ(U32(p, 0), 0xAAAAAAAAu);
    EXPECT_EQ(U32(p, 4), 1452u);
    EXPECT_EQ(U32(p, 8), 0u);
    EXPECT_EQ(U32(p, 12), c.cmd);
    EXPECT_EQ(U32(p, 16), 0u);
    EXPECT_EQ(static_cast<int32_t>(U32(p, 20)), c.arg);
    EXPECT_EQ(std::vector<uint8_t>(p.begin() + 24, p.end()), std::vector<uint8_t>(1436, 0));
  }
}

TEST(SearchPacket, ReplyFieldsAreReadAtTheirOffsets) {
  const std::vector<uint8_t> p = vz::BuildSearchReply(Info("Gate cam", 3, 4), Net("10.1.2.3"));
  ASSERT_EQ(p.size(), 1460u);
  EXPECT_EQ(U32(p, 40), 3u);
  EXPECT_EQ(U32(p, 184), 4u);
  EXPECT_EQ(U32(p, 204), 5000u);
  EXPECT_EQ(U32(p, 212), 8080u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 220)), "10.1.2.3");
  vz::TSearchReply r;
  ASSERT_TRUE(vz::ParseSearchReply(p.data(), p.size(), &r));
  EXPECT_EQ(r.DevType, 3);
  EXPECT_EQ(r.ChlCount, 4);
  EXPECT_EQ(r.DataPort, 5000);
  EXPECT_EQ(r.HttpPort, 8080);
  EXPECT_STREQ(r.DevName, "Gate cam");
  EXPECT_STREQ(r.DevIP, "10.1.2.3");
  EXPECT_STREQ(r.DevMAC, "00:11:22:33:44:55");
  EXPECT_STREQ(r.SubMask, "255.255.255.0");
  EXPECT_STREQ(r.Gateway, "10.1.2.254");
  EXPECT_STREQ(r.DNS, "10.1.2.253");
  EXPECT_EQ(r.Address, 0x0302010Au);
}

TEST(SearchPacket, MalformedRepliesAreRefused) {
  const std::vector<uint8_t> good = vz::BuildSearchReply(Info("cam", 1, 1), Net("10.1.2.3"));
  struct Case {
    const char* what;
    size_t size;
    size_t at;  // patched u32, or SIZE_MAX for none
    uint32_t value;
  };
  const Case cases[] = {
      {"1459 bytes", 1459, SIZE_MAX, 0},    {"1461 bytes", 1461, SIZE_MAX, 0},
      {"empty", 0, SIZE_MAX, 0},            {"set-time command", 1460, 12, 17},
      {"marker", 1460, 0, 0xBBBBBBBBu},     {"length 1451", 1460, 4, 1451},
      {"length 1460", 1460, 4, 1460},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> p = good;
    p.resize(c.size, 0x55);
    if (c.at != SIZE_MAX) std::memcpy(p.data() + c.at, &c.value, 4);
    vz::TSearchReply r;
    r.DevType = 77;
    EXPECT_FALSE(vz::ParseSearchReply(p.data(), p.size(), &r));
    EXPECT_EQ(r.DevType, 77);  // untouched
  }
  vz::TSearchReply r;
  EXPECT_FALSE(vz::ParseSearchReply(nullptr, 1460, &r));
}

TEST(SearchPacket, ReplyTextsEndInsideTheirFields) {
  // Every text field filled to its last byte, no terminator anywhere.
  std::vector<uint8_t> p = vz::BuildSearchReply(Info("", 1, 1), Net(""));
  for (size_t at : {84u, 220u, 240u, 260u, 280u, 300u}) std::memset(p.data() + at, 'N', 20);
  std::memset(p.data() + 104, 'X', 80);  // the bytes after the name
  vz::TSearchReply r;
  ASSERT_TRUE(vz::ParseSearchReply(p.data(), p.size(), &r));
  for (const char* text : {r.DevName, r.DevIP, r.DevMAC, r.SubMask, r.Gateway, r.DNS}) {
    EXPECT_EQ(std::string(text), std::string(20, 'N'));
  }
  EXPECT_EQ(r.Address, 0xFFFFFFFFu);
}

TEST(SearchPacket, AddressOfTheIPText) {
  struct Case {
    const char* text;
    uint32_t address;
  };
  const Case cases[] = {
      {"", 0},
      {"0.0.0.0", 0},
      {"10.77.1.50", 0x32014D0Au},
      {"camera", 0xFFFFFFFFu},
      {"10.77.1.500", 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(vz::SearchAddressOf(c.text, 20), c.address);
  }
  // Only the first maxLen characters count.
  EXPECT_EQ(vz::SearchAddressOf("10.77.1.5099", 10), 0x32014D0Au);
  EXPECT_EQ(vz::SearchAddressOf(nullptr, 20), 0u);
}

}  // namespace
