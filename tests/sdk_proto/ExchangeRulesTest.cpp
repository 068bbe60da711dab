// The rules of the exchanges: stream-unit heads, the search for the
// configuration block, reply matching, the login reply and the packets a
// device sends or receives.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vz_fields.h"
#include "vz_protocol.h"
#include "vz_values.h"

namespace {

using vz::TCfgHeadVerdict;
using vz::TCmdPkt;
using vz::TUnitHead;
using vz::TUnitKind;

TEST(StreamUnits, HeadsAreClassifiedByMarkerAndLength) {
  const struct {
    uint32_t marker, length;
    TUnitKind kind;
  } cases[] = {
      {0xAAAAAAAA, 1452, TUnitKind::Packet},
      {0xBBBBBBBB, 0, TUnitKind::Video},  // an empty unit is valid
      {0xBBBBBBBB, 524288, TUnitKind::Video},
      {0xBBBBBBBB, 524289, TUnitKind::Drop},
      {0xCCCCCCCC, 320, TUnitKind::Audio},
      {0x77777777, 2, TUnitKind::Status},
      {0x99999999, 5216, TUnitKind::CfgBlock},
      {0xEEEEEEEE, 8192, TUnitKind::Firmware},
      {0x88888888, 10, TUnitKind::Discard},
      {0xDDDDDDDD, 10, TUnitKind::Discard},
      {0xFFFFFFFF, 10, TUnitKind::Discard},
      {0xFFFFFFFF, 0xFFFFFFFF, TUnitKind::Drop},
      {0x12345678, 4, TUnitKind::Drop},
      {0, 0, TUnitKind::Drop},
  };
  for (const auto& c : cases) {
    uint8_t raw[8];
    vz::WriteUnitHead(c.marker, c.length, raw);
    const TUnitHead h = vz::ReadUnitHead(raw);
    EXPECT_EQ(h.Marker, c.marker);
    EXPECT_EQ(h.Length, c.length);
    EXPECT_EQ(vz::ClassifyUnit(h), c.kind) << std::hex << c.marker << " " << std::dec << c.length;
  }
  const uint8_t le[8] = {0x99, 0x99, 0x99, 0x99, 0x60, 0x14, 0, 0};  // 5216 little-endian
  TUnitHead h{};
  ASSERT_TRUE(vz::ParseUnitHead(le, sizeof le, h));
  EXPECT_EQ(h.Length, 5216u);
  EXPECT_FALSE(vz::ParseUnitHead(le, 7, h));
  EXPECT_FALSE(vz::ParseUnitHead(nullptr, 8, h));
}

// The code-28 exchange as the connection runs it: heads one after another.
TCfgHeadVerdict ScanForBlock(const std::vector<TUnitHead>& heads) {
  for (int attempt = 0; attempt < vz::kCfgBlockMaxHeads; ++attempt) {
    if (attempt >= static_cast<int>(heads.size())) return TCfgHeadVerdict::Fail;  // read times out
    const TCfgHeadVerdict v = vz::CheckCfgBlockHead(heads[attempt], attempt);
    if (v != TCfgHeadVerdict::Foreign) return v;
  }
  return TCfgHeadVerdict::Fail;
}

TEST(StreamUnits, ConfigurationBlockSearch) {
  const TUnitHead block{0x99999999, 5216};
  const TUnitHead foreign{0xBBBBBBBB, 100};
  const struct {
    const char* name;
    int foreignFirst;
    TUnitHead last;
    TCfgHeadVerdict want;
  } cases[] = {
      {"block first", 0, block, TCfgHeadVerdict::Found},
      {"after five foreign heads", 5, block, TCfgHeadVerdict::Found},
      {"after six foreign heads", 6, block, TCfgHeadVerdict::Fail},
      {"block of 5215 bytes", 0, {0x99999999, 5215}, TCfgHeadVerdict::Fail},
      {"block of 5217 bytes after two heads", 2, {0x99999999, 5217}, TCfgHeadVerdict::Fail},
  };
  for (const auto& c : cases) {
    std::vector<TUnitHead> heads(c.foreignFirst, foreign);
    heads.push_back(c.last);
    EXPECT_EQ(ScanForBlock(heads), c.want) << c.name;
  }
  // Each step on its own: the sixth head is the last one looked at.
  const struct {
    TUnitHead head;
    int attempt;
    TCfgHeadVerdict want;
  } steps[] = {
      {foreign, 0, TCfgHeadVerdict::Foreign}, {foreign, 4, TCfgHeadVerdict::Foreign},
      {foreign, 5, TCfgHeadVerdict::Fail},    {block, 5, TCfgHeadVerdict::Found},
      {{0x99999999, 0}, 0, TCfgHeadVerdict::Fail},
  };
  for (const auto& s : steps)
    EXPECT_EQ(vz::CheckCfgBlockHead(s.head, s.attempt), s.want) << s.attempt;
}

TEST(StreamUnits, StatusSample) {
  const uint8_t body[] = {3, 200, 9};
  int channel = -1;
  int value = -1;
  ASSERT_TRUE(vz::ParseStatusSample(body, 3, channel, value));
  EXPECT_EQ(channel, 3);
  EXPECT_EQ(value, 200);
  EXPECT_FALSE(vz::ParseStatusSample(body, 1, channel, value));
  EXPECT_FALSE(vz::ParseStatusSample(nullptr, 2, channel, value));
}

TEST(ReplyMatching, SuccessFollowsTheRuleOfEachCode) {
  const struct {
    uint32_t request, reply;
    int32_t result;
    bool ok;
  } cases[] = {
      {35, 35, 1, true},  // set: Result > 0
      {35, 35, 0, false},
      {35, 35, -1, false},
      {35, 34, 1, false},  // no echo
      {34, 34, 0, true},  // get: echo only
      {34, 35, 1, false},
      {55, 55, 0, false},  // get record configuration needs Result != 0
      {55, 55, -3, true},
      {7, 7, 1, true},  // firmware begin: exactly 1
      {7, 7, 2, false},
      {62, 62, 1, true},
      {62, 62, 5, false},
      {62, 61, 1, false},
      {64, 64, 0, true},
      {65, 65, 0, true},
      {15, 15, 1, true},  // client's alarm clear
      {15, 15, 0, false},
      {16, 16, 1700000000, true},  // Result carries the time
      {36, 36, 0, true},
      {18, 18, 1, false},  // reboot is not answered; its send decides
      {24, 24, 1, false},
  };
  for (const auto& c : cases) {
    TCmdPkt reply = vz::NewPkt(c.reply);
    reply.Result = c.result;
    EXPECT_EQ(vz::ReplySucceeded(c.request, reply), c.ok)
        << c.request << " <- " << c.reply << " result " << c.result;
  }
}

TEST(ReplyMatching, RulesOfTheRecordCodes) {
  for (uint32_t cmd = 30; cmd <= 60; ++cmd) {
    const vz::TRecordInfo* info = vz::RecordInfoByCmd(cmd);
    if (cmd == 36) {
      EXPECT_EQ(info, nullptr);
      continue;
    }
    ASSERT_NE(info, nullptr) << cmd;
    const bool isSet = cmd == info->SetCmd;
    EXPECT_EQ(isSet, cmd % 2 == (cmd <= 36 ? 1u : 0u)) << cmd;
    const vz::TReplyRule want = isSet ? vz::TReplyRule::EchoResultPositive
                                : cmd == 55 ? vz::TReplyRule::EchoResultNonZero
                                            : vz::TReplyRule::Echo;
    EXPECT_EQ(vz::ReplyRuleFor(cmd), want) << cmd;
  }
}

// A device's reply built with distinct bytes for each channel's extracts.
TCmdPkt LoginReplyFromDevice(uint32_t loginId, int32_t level) {
  vz::TLoginReply r;
  r.LoginId = loginId;
  r.UserLevel = level;
  EXPECT_TRUE(vz::SetStrField(r.DevInfo.SoftVer, "V2.118"));
  r.DevInfo.VideoChannels = 4;
  vz::TVideoCfg video[4];
  vz::TAudioCfg audio[4];
  for (int ch = 0; ch < 4; ++ch) {
    std::memset(&video[ch], 0x10 + ch, sizeof video[ch]);
    std::memset(&audio[ch], 0x20 + ch, sizeof audio[ch]);
  }
  vz::FillLoginExtracts(r, video, audio, 4);
  TCmdPkt p;
  vz::BuildLoginReply(r, p);
  return p;
}

TEST(Login, ReplyIsAcceptedOnlyWithCodeResultAndId) {
  const struct {
    uint32_t cmd;
    int32_t result;
    uint32_t loginId;
    bool ok;
  } cases[] = {
      {1, 1, 77, true},
      {1, -5, 77, true},
      {1, 0, 77, false},
      {1, 1, 0, false},
      {2, 1, 77, false},
  };
  for (const auto& c : cases) {
    TCmdPkt p = LoginReplyFromDevice(c.loginId == 0 ? 1 : c.loginId, 3);
    p.Head.Cmd = c.cmd;
    p.Result = c.result;
    p.Head.LoginId = c.loginId;
    vz::TLoginReply r;
    r.LoginId = 99;
    EXPECT_EQ(vz::ParseLoginReply(p, r), c.ok) << c.cmd << " " << c.result << " " << c.loginId;
    EXPECT_EQ(r.LoginId, c.ok ? c.loginId : 0u);
  }
  TCmdPkt refusal;
  vz::BuildLoginRefusal(refusal);
  vz::TLoginReply r;
  EXPECT_FALSE(vz::ParseLoginReply(refusal, r));
}

TEST(Login, ReplyFillsDevInfoAndTheLastChannelsExtracts) {
  const TCmdPkt p = LoginReplyFromDevice(0x4321, 2);
  EXPECT_EQ(vz::PktGetI32(p, 84), 2);
  EXPECT_EQ(vz::PktGetStr(p, 92 + 20, 20), "V2.118");
  EXPECT_EQ(vz::PktGetU8(p, 272 + 128 * 2), 0x12);
  EXPECT_EQ(vz::PktGetU8(p, 784 + 32 * 3 + 31), 0x23);
  EXPECT_EQ(vz::PktGetU32(p, 912), 0u);

  vz::TLoginReply r;
  ASSERT_TRUE(vz::ParseLoginReply(p, r));
  EXPECT_EQ(r.LoginId, 0x4321u);
  EXPECT_EQ(r.UserLevel, 2);

  vz::TDevCfg cfg;
  std::memset(&cfg, 0xEE, sizeof cfg);
  vz::StoreLoginReply(r, cfg);
  EXPECT_EQ(vz::GetStrField(cfg.DevInfo.SoftVer), "V2.118");
  EXPECT_EQ(cfg.DevInfo.VideoChannels, 4);
  const auto* video = reinterpret_cast<const uint8_t*>(&cfg.Video);
  for (std::size_t i = 0; i < sizeof cfg.Video; ++i)
    ASSERT_EQ(video[i], (i >= 12 && i < 140) ? 0x13 : 0xEE) << "video byte " << i;
  const auto* audio = reinterpret_cast<const uint8_t*>(&cfg.Audio);
  for (std::size_t i = 0; i < sizeof cfg.Audio; ++i)
    ASSERT_EQ(audio[i], (i >= 8 && i < 40) ? 0x23 : 0xEE) << "audio byte " << i;
  EXPECT_EQ(cfg.Net.DataPort, int32_t(0xEEEEEEEE));  // nothing else is touched
}

TEST(Login, RequestRoundTripOnTheDeviceSide) {
  TCmdPkt p;
  ASSERT_TRUE(vz::BuildLoginRequest({std::string(20, 'n'), "pw", "cam-1", 1}, p));
  vz::TLoginRequest got;
  ASSERT_TRUE(vz::ParseLoginRequest(p, got));
  EXPECT_EQ(got.UserName, std::string(20, 'n'));  // full field, not run into the password
  EXPECT_EQ(got.Password, "pw");
  EXPECT_EQ(got.SvrAddr, "cam-1");
  EXPECT_EQ(got.StreamFlag, 1);
  p.Head.Cmd = 34;
  EXPECT_FALSE(vz::ParseLoginRequest(p, got));
}

TEST(DevicePackets, AlarmEventsWithNegativeChannelsAreIgnored) {
  const struct {
    uint32_t cmd;
    int32_t channel;
    bool ok;
  } cases[] = {{14, 0, true}, {15, 3, true}, {14, -1, false}, {15, INT32_MIN, false}, {13, 0, false}};
  for (const auto& c : cases) {
    TCmdPkt p;
    vz::BuildAlarmEvent({c.cmd, vz::Alm_DigitalInput, 1234567, c.channel, 1}, p);
    vz::TAlarmEvent ev;
    ASSERT_EQ(vz::ParseAlarmEvent(p, ev), c.ok) << c.cmd << " " << c.channel;
    if (!c.ok) continue;
    EXPECT_EQ(vz::PktGetI32(p, 24), 2);
    EXPECT_EQ(vz::PktGetU32(p, 28), 1234567u);
    EXPECT_EQ(vz::PktGetI32(p, 56), 1);
    EXPECT_EQ(ev.Channel, c.channel);
    EXPECT_EQ(ev.Type, 2);
  }
}

TEST(DevicePackets, PtzAndSerialAsTheDeviceReadsThem) {
  TCmdPkt p;
  vz::BuildPtz(4, 200, 6, 7, 8, p);
  vz::TPtzRequest r;
  ASSERT_TRUE(vz::ParsePtz(p, r));
  EXPECT_FALSE(r.Serial);
  EXPECT_EQ(r.Addr, 200);
  EXPECT_EQ(r.Extra, 8);

  const uint8_t data[] = {0xFF, 0x01, 0x00, 0x08};
  ASSERT_TRUE(vz::BuildSerial(data, sizeof data, p));
  ASSERT_TRUE(vz::ParsePtz(p, r));
  EXPECT_TRUE(r.Serial);
  EXPECT_EQ(r.Data, std::string("\xFF\x01\x00\x08", 4));

  // A length the packet cannot hold is refused, not trusted.
  for (int32_t len : {-1, 101, INT32_MAX}) {
    vz::PktPutI32(p, 128, len);
    EXPECT_FALSE(vz::ParsePtz(p, r)) << len;
  }
}

TEST(DevicePackets, FirmwareBeginAsTheDeviceReadsIt) {
  TCmdPkt p;
  ASSERT_TRUE(vz::BuildFirmwareBegin(8, 16385, "/home/u/fw.img", 0xAABBCCDD, p));
  vz::TFirmwareBegin fw;
  ASSERT_TRUE(vz::ParseFirmwareBegin(p, fw));
  EXPECT_EQ(fw.ImageType, 8u);
  EXPECT_EQ(fw.FileSize, 16385u);
  EXPECT_EQ(fw.LocalPath, "/home/u/fw.img");
  EXPECT_EQ(fw.RemoteName, "/img.img");
  EXPECT_EQ(fw.Crc, 0xAABBCCDDu);
  vz::PktPutU32(p, 24, 5);
  EXPECT_FALSE(vz::ParseFirmwareBegin(p, fw));
}

TEST(DevicePackets, SiteSurveyCarriesThirtyEntries) {
  vz::TSiteSurveyEntry sent[30]{};
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(vz::SetStrField(sent[i].Ssid, "net" + std::to_string(i)));
    sent[i].Signal = uint8_t(i);
    sent[i].Cipher = 2;
  }
  TCmdPkt p;
  vz::BuildSiteSurvey(sent, p);
  EXPECT_EQ(vz::PktGetStr(p, 24 + 40 * 29, 32), "net29");
  EXPECT_EQ(vz::PktGetU8(p, 24 + 40 * 29 + 32), 29);
  vz::TSiteSurveyEntry got[30];
  ASSERT_TRUE(vz::ParseSiteSurvey(p, got));
  EXPECT_EQ(std::memcmp(got, sent, sizeof got), 0);
  p.Head.Cmd = 37;
  EXPECT_FALSE(vz::ParseSiteSurvey(p, got));
}

}  // namespace
