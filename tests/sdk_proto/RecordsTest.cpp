// Configuration records: the command and position table, record requests
// with their channel rules, the echo, a few field positions read back as raw
// bytes, and the bounded string fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vz_fields.h"
#include "vz_protocol.h"

namespace {

using vz::TCmdPkt;
using vz::TRecordKind;

const struct RecordRow {
  TRecordKind kind;
  uint32_t get, set;
  std::size_t size;
  int cfgOffset;
} kRecordTable[] = {
    {TRecordKind::Net, 34, 35, 372, 0},          {TRecordKind::WiFi, 37, 38, 200, 372},
    {TRecordKind::DevInfo, 30, 31, 180, 572},    {TRecordKind::User, 32, 33, 1048, 752},
    {TRecordKind::Alm, 49, 50, 268, 1800},       {TRecordKind::Rs485, 51, 52, 280, 2068},
    {TRecordKind::DiDo, 47, 48, 528, 2348},      {TRecordKind::Video, 39, 40, 148, 2876},
    {TRecordKind::Audio, 41, 42, 48, 3024},      {TRecordKind::MD, 45, 46, 96, 3072},
    {TRecordKind::HideArea, 43, 44, 72, 3168},   {TRecordKind::Disk, 53, 54, 888, 3240},
    {TRecordKind::Rec, 55, 56, 260, 4128},       {TRecordKind::FTP, 57, 58, 232, 4388},
    {TRecordKind::P2P, 0, 62, 88, 4620},         {TRecordKind::Email, 59, 60, 500, 4708},
    {TRecordKind::Rf, 64, 65, 648, -1},
};

TEST(Records, CommandsSizesAndPositions) {
  static_assert(sizeof kRecordTable / sizeof kRecordTable[0] == vz::kRecordKinds);
  vz::TDevCfg cfg{};
  for (const RecordRow& row : kRecordTable) {
    const vz::TRecordInfo& info = vz::RecordInfo(row.kind);
    SCOPED_TRACE(info.Name);
    EXPECT_EQ(info.Kind, row.kind);
    EXPECT_EQ(info.GetCmd, row.get);
    EXPECT_EQ(info.SetCmd, row.set);
    EXPECT_EQ(info.Size, row.size);
    EXPECT_EQ(info.CfgOffset, row.cfgOffset);
    EXPECT_EQ(vz::RecordInfoByCmd(row.set), &info);
    if (row.get != 0) {
      EXPECT_EQ(vz::RecordInfoByCmd(row.get), &info);
    }
    uint8_t* at = vz::RecordInCfg(cfg, row.kind);
    if (row.cfgOffset < 0) {
      EXPECT_EQ(at, nullptr);
    } else {
      EXPECT_EQ(at - reinterpret_cast<uint8_t*>(&cfg), row.cfgOffset);
    }
  }
  for (uint32_t other : {0u, 1u, 28u, 36u, 61u, 63u, 66u, 1000u})
    EXPECT_EQ(vz::RecordInfoByCmd(other), nullptr) << other;
}

// Set requests carry the record byte for byte, reserved bytes included; only
// the channel rule changes anything.
TEST(Records, SetRequestCarriesTheRecordWithTheChannelRule) {
  for (const RecordRow& row : kRecordTable) {
    SCOPED_TRACE(vz::RecordInfo(row.kind).Name);
    std::vector<uint8_t> rec(row.size);
    for (std::size_t i = 0; i < rec.size(); ++i) rec[i] = uint8_t(0x31 + i * 7);
    TCmdPkt p;
    ASSERT_TRUE(vz::BuildRecordSet(row.kind, rec.data(), rec.size(), 5, p));
    EXPECT_EQ(p.Head.Cmd, row.set);
    std::vector<uint8_t> want = rec;
    if (row.kind == TRecordKind::Video || row.kind == TRecordKind::Audio)
      std::memcpy(want.data(), "\x05\0\0\0", 4);
    if (row.kind == TRecordKind::Rec) std::memcpy(want.data() + 8, "\x05\0\0\0", 4);
    EXPECT_EQ(std::memcmp(vz::PktBytes(p) + 24, want.data(), want.size()), 0);
    for (std::size_t i = 24 + row.size; i < vz::kPktSize; ++i)
      ASSERT_EQ(vz::PktBytes(p)[i], 0) << "byte " << i;

    std::vector<uint8_t> back(row.size);
    ASSERT_TRUE(vz::ReadRecord(p, row.kind, back.data(), back.size()));
    EXPECT_EQ(back, want);
    EXPECT_FALSE(vz::ReadRecord(p, row.kind, back.data(), back.size() - 1));
    EXPECT_FALSE(vz::BuildRecordSet(row.kind, rec.data(), rec.size() + 1, 0, p));
    EXPECT_FALSE(vz::BuildRecordSet(row.kind, nullptr, rec.size(), 0, p));
  }
}

TEST(Records, DeviceEchoReplacesTheCallersCopyEvenWithResultZero) {
  vz::TNetCfg sent{};
  sent.DataPort = 2000;
  ASSERT_TRUE(vz::SetStrField(sent.IP, "192.0.2.10"));
  TCmdPkt request;
  ASSERT_TRUE(vz::BuildRecordSet(TRecordKind::Net, &sent, sizeof sent, 0, request));

  vz::TNetCfg stored = sent;
  stored.DataPort = 2001;  // the device kept something else
  TCmdPkt reply;
  ASSERT_TRUE(vz::BuildRecordReply(vz::kCmdSetNetCfg, 0, &stored, sizeof stored, reply));
  ASSERT_TRUE(vz::ReplyEchoes(request.Head.Cmd, reply));
  EXPECT_FALSE(vz::ReplySucceeded(request.Head.Cmd, reply));
  vz::TNetCfg caller = sent;
  ASSERT_TRUE(vz::ReadRecord(reply, TRecordKind::Net, &caller, sizeof caller));
  EXPECT_EQ(caller.DataPort, 2001);
  EXPECT_EQ(vz::GetStrField(caller.IP), "192.0.2.10");
}

uint32_t RawU32(const void* rec, std::size_t off) {
  uint32_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(rec) + off, 4);
  return v;
}

// Fields written through the structures land where the tables put them.
TEST(Records, FieldPositionsSeenAsBytes) {
  vz::TDevCfg cfg{};
  cfg.Net.UpnpActive = 0x11111111;
  cfg.DevInfo.SubResolutions = 0x0102030405060708ull;
  cfg.DevInfo.TimeZone = -12;
  cfg.User.Users[19].Password[0] = 'p';
  cfg.Alm.Schedules[15].EndMinute = 59;
  cfg.Rs485.Ptz[31].Speed = 9;
  ASSERT_TRUE(vz::SetStrField(cfg.Rs485.ProtocolNames[5], "PELCO"));
  cfg.DiDo.DoActiveLevel = 1;
  cfg.Video.OsdRateItem.Show = 1;
  cfg.Video.OsdRateItem.Colour = 15;
  cfg.Video.OsdTimeItem.Y = -2;
  cfg.MD.FracBottom = 1.0f;
  cfg.HideArea.Resolution = 18;
  cfg.Rec.Schedule[6][3].EndMinute = 30;
  cfg.Email.Password[39] = 'z';
  const auto* b = reinterpret_cast<const uint8_t*>(&cfg);
  EXPECT_EQ(RawU32(b, 0 + 360), 0x11111111u);
  EXPECT_EQ(RawU32(b, 572 + 144), 0x05060708u);
  EXPECT_EQ(RawU32(b, 572 + 148), 0x01020304u);
  EXPECT_EQ(b[572 + 168], 0xF4);
  EXPECT_EQ(b[752 + 4 + 52 * 19 + 28], 'p');
  EXPECT_EQ(b[1800 + 140 + 8 * 15 + 7], 59);
  EXPECT_EQ(b[2068 + 20 + 4 * 31 + 2], 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 2068 + 152 + 100)), "PELCO");
  EXPECT_EQ(b[2348 + 269], 1);
  EXPECT_EQ(b[2876 + 122], 1);  // the frame-rate item's show flag
  EXPECT_EQ(b[2876 + 123], 15);  // its colour
  EXPECT_EQ(b[2876 + 104 + 6], 0xFE);
  EXPECT_EQ(RawU32(b, 3072 + 88), 0x3F800000u);
  EXPECT_EQ(RawU32(b, 3168 + 68), 18u);
  EXPECT_EQ(b[4128 + 32 + 32 * 6 + 8 * 3 + 4], 30);
  EXPECT_EQ(b[4708 + 448 + 39], 'z');
}

// A field with guards either side: reads stop at its end, writes never
// touch the guards, and a value that does not fit changes nothing.
struct Guarded {
  char before[4];
  char field[8];
  char after[4];
};

TEST(StringFields, BoundsOfReadsAndWrites) {
  enum Mode { Record, Full };
  const struct {
    const char* name;
    std::string value;
    Mode mode;
    bool ok;
  } cases[] = {
      {"empty", "", Record, true},
      {"seven characters", "abcdefg", Record, true},
      {"eight characters in a record", "abcdefgh", Record, false},
      {"eight characters in a packet field", "abcdefgh", Full, true},
      {"nine characters", "abcdefghi", Full, false},
      {"embedded NUL", std::string("ab\0cd", 5), Record, false},
  };
  for (const auto& c : cases) {
    Guarded g;
    std::memset(&g, 'G', sizeof g);
    std::memcpy(g.field, "oldvalue", 8);
    const bool ok =
        c.mode == Record ? vz::SetStrField(g.field, c.value) : vz::SetStrFieldFull(g.field, c.value);
    ASSERT_EQ(ok, c.ok) << c.name;
    EXPECT_EQ(std::string(g.before, 4), "GGGG") << c.name;
    EXPECT_EQ(std::string(g.after, 4), "GGGG") << c.name;
    if (!ok) {
      EXPECT_EQ(std::string(g.field, 8), "oldvalue") << c.name;
      continue;
    }
    EXPECT_EQ(vz::GetStrField(g.field), c.value) << c.name;
    for (std::size_t i = c.value.size(); i < 8; ++i) EXPECT_EQ(g.field[i], '\0') << c.name;
  }
  Guarded g;
  std::memset(&g, 'G', sizeof g);
  std::memcpy(g.field, "full8chr", 8);
  EXPECT_EQ(vz::GetStrField(g.field), "full8chr");  // no terminator: stops at the field's end
  std::memcpy(g.field, "ab\0cdefg", 8);
  EXPECT_EQ(vz::GetStrField(g.field), "ab");
}

TEST(StringFields, DocumentedLimitsOfRecordFields) {
  vz::TEmailCfg mail{};
  EXPECT_TRUE(vz::SetStrField(mail.Recipients, std::string(319, 'r')));
  EXPECT_FALSE(vz::SetStrField(mail.Recipients, std::string(320, 'r')));
  EXPECT_TRUE(vz::SetStrField(mail.Server, std::string(39, 's')));
  EXPECT_FALSE(vz::SetStrField(mail.Server, std::string(40, 's')));
  vz::TFTPCfg ftp{};
  EXPECT_TRUE(vz::SetStrField(ftp.Server, std::string(99, 'f')));
  EXPECT_FALSE(vz::SetStrField(ftp.Server, std::string(100, 'f')));
  // A full field from the device (no terminator) reads as exactly its size.
  vz::TDevInfo info{};
  std::memset(info.Model, 'M', sizeof info.Model);
  info.Serial = 0x41414141;  // would show up as "AAAA" on an over-read
  EXPECT_EQ(vz::GetStrField(info.Model), std::string(12, 'M'));
}

}  // namespace
