// Byte layout of every request the client builds: each case lists the bytes
// it expects at packet offsets, and every byte not listed must be zero (a
// packet is zero-filled before any field is set).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "vz_protocol.h"

namespace {

using vz::TCmdPkt;

using Bytes = std::vector<uint8_t>;

Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct LayoutCase {
  const char* name;
  std::function<bool(TCmdPkt&)> build;
  std::map<std::size_t, Bytes> expect;  // packet offset -> bytes; the rest zero
};

// What the sender puts in front of every packet, Marker2 included.
std::map<std::size_t, Bytes> Head(uint32_t cmd, uint32_t loginId, bool marker2 = true) {
  std::map<std::size_t, Bytes> m{{0, U32(0xAAAAAAAA)}, {4, U32(1452)}, {12, U32(cmd)}};
  if (marker2) m[8] = U32(0xAAAAAAAA);
  if (loginId != 0) m[16] = U32(loginId);
  return m;
}

std::map<std::size_t, Bytes> With(std::map<std::size_t, Bytes> m,
                                  const std::map<std::size_t, Bytes>& more) {
  for (const auto& [off, b] : more) m[off] = b;
  return m;
}

Bytes Serial100() {
  Bytes b(100);
  for (int i = 0; i < 100; ++i) b[i] = uint8_t(0x80 + i);
  return b;
}

const uint32_t kId = 0x01020304;

const LayoutCase kLayoutCases[] = {
    {"login, stream connection",
     [](TCmdPkt& p) {
       return vz::BuildLoginRequest({"admin", "secret", "10.0.0.7", 1}, p);
     },
     With(Head(1, 0), {{24, Str("admin")}, {44, Str("secret")}, {64, Str("10.0.0.7")},
                       {88, U32(1)}, {912, U32(1)}})},
    {"login, names filling their fields",
     [](TCmdPkt& p) {
       return vz::BuildLoginRequest(
           {std::string(20, 'u'), std::string(20, 'p'), std::string(20, 'a'), 0}, p);
     },
     With(Head(1, 0), {{24, Bytes(20, 'u')}, {44, Bytes(20, 'p')}, {64, Bytes(20, 'a')},
                       {912, U32(1)}})},
    {"start stream leaves Marker2 zero",
     [](TCmdPkt& p) {
       vz::BuildStartStream(0x3, 0x1, 0xC, p);
       return true;
     },
     With(Head(2, kId, false), {{24, U32(3)}, {28, U32(1)}, {36, U32(0xC)}})},
    {"PTZ form",
     [](TCmdPkt& p) {
       vz::BuildPtz(21, 0x7F, 5, 9, -2, p);
       return true;
     },
     With(Head(13, kId), {{24, U32(21)}, {32, Bytes{0x7F}}, {36, U32(5)}, {40, U32(9)},
                          {44, U32(0xFFFFFFFE)}})},
    {"serial pass-through of exactly 100 bytes",
     [](TCmdPkt& p) {
       const Bytes data = Serial100();
       return vz::BuildSerial(data.data(), data.size(), p);
     },
     With(Head(13, kId), {{28, Serial100()}, {128, U32(100)}})},
    {"colours",
     [](TCmdPkt& p) {
       vz::BuildColours(2, 11, 22, 33, 44, 55, p);
       return true;
     },
     With(Head(24, kId), {{24, U32(2)}, {28, Bytes{11, 22, 33, 44, 55}}})},
    {"clear alarm",
     [](TCmdPkt& p) {
       vz::BuildClearAlarm(1700000000, 3, p);
       return true;
     },
     With(Head(15, kId), {{28, U32(1700000000)}, {32, U32(3)}})},
    {"set time carries the time at +20",
     [](TCmdPkt& p) {
       vz::BuildSetTime(0x5F000001, p);
       return true;
     },
     With(Head(17, kId), {{20, U32(0x5F000001)}})},
    {"factory default",
     [](TCmdPkt& p) {
       vz::BuildFactoryDefault(p);
       return true;
     },
     With(Head(19, kId), {{20, U32(1)}})},
    {"wireless light",
     [](TCmdPkt& p) { return vz::BuildRfLight(2, true, p); },
     With(Head(66, kId), {{24, U32(2)}, {28, U32(1)}})},
    {"firmware begin, type 2",
     [](TCmdPkt& p) { return vz::BuildFirmwareBegin(2, 8193, "/tmp/fw.bin", 0xCBF43926, p); },
     With(Head(7, kId), {{24, U32(2)}, {28, U32(8193)}, {32, Str("/tmp/fw.bin")},
                         {296, Str("/img.bin")}, {552, U32(0xCBF43926)}})},
    {"firmware begin, type 8, path of 255 characters",
     [](TCmdPkt& p) { return vz::BuildFirmwareBegin(8, 1, std::string(255, 'f'), 7, p); },
     With(Head(7, kId), {{24, U32(8)}, {28, U32(1)}, {32, Bytes(255, 'f')},
                         {296, Str("/img.img")}, {552, U32(7)}})},
    {"get video record of channel 3",
     [](TCmdPkt& p) { return vz::BuildRecordGet(vz::TRecordKind::Video, 3, p); },
     With(Head(39, kId), {{24, U32(3)}})},
    {"get record configuration sends no channel",
     [](TCmdPkt& p) { return vz::BuildRecordGet(vz::TRecordKind::Rec, 3, p); },
     Head(55, kId)},
};

class PacketLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PacketLayout, BytesAsSpecifiedAndZeroElsewhere) {
  const LayoutCase& c = GetParam();
  TCmdPkt p;
  std::memset(&p, 0x5A, sizeof p);  // the builder must clear what it does not set
  ASSERT_TRUE(c.build(p));
  vz::StampPkt(p, p.Head.Cmd == vz::kCmdLogin ? 0 : kId);
  Bytes want(vz::kPktSize, 0);
  for (const auto& [off, b] : c.expect) {
    ASSERT_LE(off + b.size(), want.size());
    std::copy(b.begin(), b.end(), want.begin() + off);
  }
  const uint8_t* got = vz::PktBytes(p);
  for (std::size_t i = 0; i < vz::kPktSize; ++i)
    ASSERT_EQ(got[i], want[i]) << c.name << ": byte " << i;
  EXPECT_TRUE(vz::PktHeadValid(p));
}

INSTANTIATE_TEST_SUITE_P(Requests, PacketLayout, ::testing::ValuesIn(kLayoutCases),
                         [](const auto& param) { return "case" + std::to_string(param.index); });

// Requests that must not be built at all: nothing is sent for them.
TEST(PacketLayout, RefusedRequestsLeaveThePacketAlone) {
  struct Refused {
    const char* name;
    std::function<bool(TCmdPkt&)> build;
  };
  const Bytes serial101(101, 1);
  const Refused cases[] = {
      {"user name of 21", [](TCmdPkt& p) { return vz::BuildLoginRequest({std::string(21, 'u'), "p", "a", 0}, p); }},
      {"password of 21", [](TCmdPkt& p) { return vz::BuildLoginRequest({"u", std::string(21, 'p'), "a", 0}, p); }},
      {"address with a NUL", [](TCmdPkt& p) { return vz::BuildLoginRequest({"u", "p", std::string("a\0b", 3), 0}, p); }},
      {"serial of 101 bytes", [&](TCmdPkt& p) { return vz::BuildSerial(serial101.data(), serial101.size(), p); }},
      {"serial without data", [](TCmdPkt& p) { return vz::BuildSerial(nullptr, 4, p); }},
      {"image type 3", [](TCmdPkt& p) { return vz::BuildFirmwareBegin(3, 1, "/f", 0, p); }},
      {"image type 0", [](TCmdPkt& p) { return vz::BuildFirmwareBegin(0, 1, "/f", 0, p); }},
      {"firmware path of 256", [](TCmdPkt& p) { return vz::BuildFirmwareBegin(2, 1, std::string(256, 'f'), 0, p); }},
      {"light 3", [](TCmdPkt& p) { return vz::BuildRfLight(3, true, p); }},
      {"light -1", [](TCmdPkt& p) { return vz::BuildRfLight(-1, false, p); }},
      {"get of the P2P record", [](TCmdPkt& p) { return vz::BuildRecordGet(vz::TRecordKind::P2P, 0, p); }},
  };
  for (const Refused& c : cases) {
    TCmdPkt p;
    std::memset(&p, 0x5A, sizeof p);
    EXPECT_FALSE(c.build(p)) << c.name;
    for (std::size_t i = 0; i < vz::kPktSize; ++i)
      ASSERT_EQ(vz::PktBytes(p)[i], 0x5A) << c.name << ": byte " << i;
  }
}

TEST(PacketLayout, FirmwareEndIsTheBeginReplyWithCode8) {
  TCmdPkt reply;
  ASSERT_TRUE(vz::BuildFirmwareBegin(8, 5000, "/x/y.img", 0x1234, reply));
  reply.Result = 1;
  reply.Payload[700] = 0x77;  // whatever the device put there goes back
  TCmdPkt end;
  vz::BuildFirmwareEnd(reply, end);
  EXPECT_EQ(end.Head.Cmd, 8u);
  EXPECT_EQ(std::memcmp(vz::PktBytes(end) + 16, vz::PktBytes(reply) + 16, vz::kPktSize - 16), 0);
}

TEST(PacketLayout, FirmwareChunkHeads) {
  const struct {
    std::size_t n;
    bool ok;
  } cases[] = {{0, true}, {1, true}, {8192, true}, {8193, false}};
  for (const auto& c : cases) {
    uint8_t head[8];
    std::memset(head, 0x11, sizeof head);
    ASSERT_EQ(vz::WriteFirmwareChunkHead(c.n, head), c.ok) << c.n;
    if (!c.ok) continue;
    const Bytes want = [&] {
      Bytes b = U32(0xEEEEEEEE);
      const Bytes len = U32(uint32_t(c.n));
      b.insert(b.end(), len.begin(), len.end());
      return b;
    }();
    EXPECT_EQ(Bytes(head, head + 8), want) << c.n;
  }
}

TEST(PacketLayout, HeadChecks) {
  const struct {
    uint32_t m1, len, m2, cmd;
    bool valid;
  } cases[] = {
      {0xAAAAAAAA, 1452, 0xAAAAAAAA, 34, true},
      {0xAAAAAAAA, 1452, 0, 2, true},  // start stream only
      {0xAAAAAAAA, 1452, 0, 34, false},
      {0xAAAAAAAA, 1453, 0xAAAAAAAA, 34, false},
      {0xAAAAAAAA, 1460, 0xAAAAAAAA, 34, false},
      {0xBBBBBBBB, 1452, 0xAAAAAAAA, 34, false},
      {0xAAAAAAAA, 1452, 0xAAAAAAAB, 34, false},
  };
  for (const auto& c : cases) {
    TCmdPkt p = vz::NewPkt(c.cmd);
    p.Head.Marker1 = c.m1;
    p.Head.Length = c.len;
    p.Head.Marker2 = c.m2;
    EXPECT_EQ(vz::PktHeadValid(p), c.valid) << c.m1 << " " << c.len << " " << c.m2 << " " << c.cmd;
  }
  const Bytes raw(1461, 0);
  TCmdPkt p;
  for (std::size_t size : {std::size_t(0), std::size_t(20), std::size_t(1459), std::size_t(1461)})
    EXPECT_FALSE(vz::PktFromBytes(raw.data(), size, p)) << size;
  EXPECT_TRUE(vz::PktFromBytes(raw.data(), 1460, p));
  EXPECT_FALSE(vz::PktFromBytes(nullptr, 1460, p));
}

// Field helpers never reach outside the 1460 bytes.
TEST(PacketLayout, FieldHelpersStayInsideThePacket) {
  TCmdPkt p = vz::NewPkt(1);
  EXPECT_TRUE(vz::PktPutU32(p, 1456, 0xDEADBEEF));
  EXPECT_EQ(vz::PktGetU32(p, 1456), 0xDEADBEEFu);
  EXPECT_FALSE(vz::PktPutU32(p, 1457, 1));
  EXPECT_EQ(vz::PktGetU32(p, 1457), 0u);
  EXPECT_FALSE(vz::PktPutU8(p, 1460, 1));
  EXPECT_FALSE(vz::PktPutBytes(p, 1450, "0123456789A", 11));
  EXPECT_FALSE(vz::PktPutStr(p, 1450, 20, "x"));
  EXPECT_EQ(vz::PktGetStr(p, 1450, 20), "");
  EXPECT_FALSE(vz::PktPutU32(p, std::size_t(-2), 1));  // no wrap-around
  uint8_t out[4];
  EXPECT_FALSE(vz::PktGetBytes(p, std::size_t(-1), out, 4));
  // A full field is read to its end and no further.
  ASSERT_TRUE(vz::PktPutStr(p, 1440, 20, std::string(20, 'z')));
  EXPECT_EQ(vz::PktGetStr(p, 1440, 20), std::string(20, 'z'));
  ASSERT_TRUE(vz::PktPutStr(p, 44, 20, "next"));
  ASSERT_TRUE(vz::PktPutStr(p, 24, 20, std::string(20, 'q')));
  EXPECT_EQ(vz::PktGetStr(p, 24, 20), std::string(20, 'q'));  // +44 is not read
}

}  // namespace
