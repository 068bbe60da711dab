// Commands beside the records: colours, time, PTZ, alarms, survey, sensors,
// firmware upload, reboot, factory default and the stream connection.
#include <sys/socket.h>
#include <zlib.h>

#include <cstring>

#include "SimFixture.h"

namespace devsimtest {
namespace {

using vz::TCmdPkt;

TEST_F(SimFixture, ColoursReachTheChannelsVideoRecordOnlyAboveGuestLevel) {
  StartSim("dvr");
  struct Case {
    const char* user;
    int channel;
    bool applied;
  };
  const Case cases[] = {{"operator", 2, true}, {"admin", 0, true}, {"guest", 1, false}, {"admin", 9, false}};
  uint8_t value = 10;
  for (const Case& cs : cases) {
    SCOPED_TRACE(std::string(cs.user) + " channel " + std::to_string(cs.channel));
    SimTestClient c;
    LogIn(c, cs.user);
    const std::vector<uint8_t> before = sim_->VideoConfigBytes(0, cs.channel);
    TCmdPkt p{};
    vz::BuildColours(cs.channel, value, value + 1, value + 2, value + 3, value + 4, p);
    ASSERT_TRUE(c.Send(p));
    // The colours have no reply; a following exchange shows they were handled.
    TCmdPkt get{}, reply{};
    ASSERT_TRUE(vz::BuildRecordGet(vz::TRecordKind::Net, 0, get));
    ASSERT_TRUE(c.Exchange(get, reply));
    const std::vector<uint8_t> after = sim_->VideoConfigBytes(0, cs.channel);
    if (!cs.applied) {
      EXPECT_EQ(after, before);
      continue;
    }
    const uint8_t expected[] = {value, uint8_t(value + 1), uint8_t(value + 2), uint8_t(value + 3)};
    EXPECT_EQ(0, std::memcmp(after.data() + 28, expected, 4));
    EXPECT_EQ(after[116], value + 4);
    if (cs.channel == 0) {
      EXPECT_EQ(sim_->Config(0).Video.Brightness, value);
    }
    value += 20;
  }
}

TEST_F(SimFixture, TimeSetOnTheStreamConnectionIsReadBackOnACommandConnection) {
  StartSim();
  SimTestClient stream, cmd;
  ASSERT_TRUE(stream.Connect(Port()));
  ASSERT_TRUE(stream.Login("admin", "admin", 1));
  const uint32_t set = 1500000000u;  // 2017-07-14, far from the host's clock
  TCmdPkt p{};
  vz::BuildSetTime(set, p);
  ASSERT_TRUE(stream.Send(p));
  LogIn(cmd, "guest");
  EXPECT_TRUE(Eventually([&] {
    TCmdPkt reply{};
    return cmd.Exchange(vz::NewPkt(vz::kCmdGetTime), reply) && reply.Result >= int32_t(set) &&
           reply.Result < int32_t(set + 60);
  }));
}

TEST_F(SimFixture, RepliesOfTheSmallCommands) {
  StartSim();
  struct Case {
    const char* user;
    TCmdPkt request;
    int32_t result;
  };
  TCmdPkt clear0{}, clear7{}, light2{}, light3{};
  vz::BuildClearAlarm(1000, 0, clear0);
  vz::BuildClearAlarm(1000, 7, clear7);
  ASSERT_TRUE(vz::BuildRfLight(2, true, light2));
  light3 = light2;
  vz::PktPutI32(light3, vz::pkt::kLightIndex, 3);
  const Case cases[] = {
      {"admin", clear0, 1},    {"operator", clear0, 0}, {"admin", clear7, 0},
      {"guest", light2, 1},    {"guest", light3, 0},    {"guest", vz::NewPkt(vz::kCmdRfPanic), 1},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(std::string(cs.user) + " code " + std::to_string(cs.request.Head.Cmd));
    SimTestClient c;
    LogIn(c, cs.user);
    TCmdPkt reply{};
    ASSERT_TRUE(c.Exchange(cs.request, reply));
    EXPECT_TRUE(vz::ReplyEchoes(cs.request.Head.Cmd, reply));
    EXPECT_EQ(reply.Result, cs.result);
  }
}

TEST_F(SimFixture, SiteSurveyListsNetworksInThirtyEntries) {
  StartSim();
  SimTestClient c;
  LogIn(c, "guest");
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(vz::NewPkt(vz::kCmdSiteSurvey), reply));
  vz::TSiteSurveyEntry entries[vz::pkt::kSiteSurveyEntries];
  ASSERT_TRUE(vz::ParseSiteSurvey(reply, entries));
  EXPECT_STREQ(entries[0].Ssid, "vzsim-office");
  EXPECT_EQ(entries[0].Signal, 88);
  EXPECT_EQ(entries[2].Signal, 40);
  EXPECT_EQ(entries[3].Ssid[0], 0);
  EXPECT_EQ(entries[29].Signal, 0);
}

TEST_F(SimFixture, PtzAndSerialPassThroughAreJournaledWithoutReply) {
  StartSim();
  SimTestClient c;
  LogIn(c, "operator");
  TCmdPkt ptz{}, serial{};
  vz::BuildPtz(5, 1, 32, 0, 7, ptz);
  std::vector<uint8_t> data(vz::kSerialMaxBytes);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
  ASSERT_TRUE(vz::BuildSerial(data.data(), data.size(), serial));
  ASSERT_TRUE(c.Send(ptz));
  ASSERT_TRUE(c.Send(serial));
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(vz::NewPkt(vz::kCmdGetTime), reply));
  EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdGetTime, reply));  // nothing else was answered before
  const auto journal = sim_->Journal(0);
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[1].cmd, vz::kCmdPtz);
  EXPECT_EQ(journal[2].cmd, vz::kCmdPtz);
  EXPECT_EQ(0, std::memcmp(journal[2].packet.data() + 28, data.data(), data.size()));
  EXPECT_EQ(journal[2].packet[128], 100);
}

// ---- firmware upload ---------------------------------------------------------

struct UploadCase {
  const char* name;
  size_t size;
  uint32_t type;
  int crcDelta;    // added to the true CRC-32
  long sizeDelta;  // bytes sent beyond (or short of) the announced size
  vzsim::UploadState expected;
};

class UploadTest : public SimFixture, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(UploadTest, DeviceChecksSizeAndCrc) {
  StartSim();
  const UploadCase& uc = GetParam();
  std::vector<uint8_t> image(uc.size);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
  const uint32_t crc = static_cast<uint32_t>(::crc32(0L, image.data(), static_cast<uInt>(image.size()))) +
                       static_cast<uint32_t>(uc.crcDelta);
  SimTestClient c;
  LogIn(c);
  TCmdPkt begin{}, reply{};
  ASSERT_TRUE(vz::BuildFirmwareBegin(uc.type, static_cast<uint32_t>(uc.size), "/tmp/image.bin", crc, begin));
  ASSERT_TRUE(c.Exchange(begin, reply));
  EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdFirmwareBegin, reply));
  ASSERT_EQ(reply.Result, 1);
  EXPECT_EQ(vz::PktGetU32(reply, vz::pkt::kFwSize), uc.size);
  EXPECT_EQ(vz::PktGetU32(reply, vz::pkt::kFwCrc), crc);
  image.resize(static_cast<size_t>(static_cast<long>(uc.size) + uc.sizeDelta), 0x5A);
  size_t chunks = 0;
  for (size_t pos = 0; pos < image.size(); pos += vz::kFirmwareChunkMax, ++chunks) {
    const size_t n = std::min(vz::kFirmwareChunkMax, image.size() - pos);
    uint8_t head[vz::kUnitHeadSize];
    ASSERT_TRUE(vz::WriteFirmwareChunkHead(n, head));
    ASSERT_TRUE(c.SendRaw(head, sizeof head));
    ASSERT_TRUE(c.SendRaw(image.data() + pos, n));
  }
  TCmdPkt end{};
  vz::BuildFirmwareEnd(reply, end);
  ASSERT_TRUE(c.Send(end));
  ASSERT_TRUE(Eventually([&] { return sim_->LastUploadState(0) != vzsim::UploadState::Receiving; }));
  EXPECT_EQ(sim_->LastUploadState(0), uc.expected);
  image.resize(std::min(image.size(), uc.size));
  EXPECT_EQ(sim_->LastUpload(0), image);
  size_t chunkEntries = 0;
  for (const auto& e : sim_->Journal(0)) chunkEntries += e.cmd == vzsim::kChunkEntry;
  EXPECT_EQ(chunkEntries, chunks);
}

INSTANTIATE_TEST_SUITE_P(
    Images, UploadTest,
    ::testing::Values(UploadCase{"Empty", 0, 2, 0, 0, vzsim::UploadState::Complete},
                      UploadCase{"OneByte", 1, 8, 0, 0, vzsim::UploadState::Complete},
                      UploadCase{"OneChunk", 8192, 2, 0, 0, vzsim::UploadState::Complete},
                      UploadCase{"ChunkPlusOne", 8193, 2, 0, 0, vzsim::UploadState::Complete},
                      UploadCase{"ThreeChunks", 3 * 8192, 8, 0, 0, vzsim::UploadState::Complete},
                      UploadCase{"WrongCrc", 5000, 2, 1, 0, vzsim::UploadState::CrcMismatch},
                      UploadCase{"Short", 9000, 2, 0, -1, vzsim::UploadState::SizeMismatch},
                      UploadCase{"Long", 9000, 2, 0, 100, vzsim::UploadState::SizeMismatch}),
    [](const ::testing::TestParamInfo<UploadCase>& i) { return std::string(i.param.name); });

TEST_F(SimFixture, UploadBeginIsRefusedForOtherTypesAndBelowAdministrator) {
  StartSim();
  struct Case {
    const char* user;
    uint32_t type;
  };
  const Case cases[] = {{"admin", 3}, {"admin", 0}, {"operator", 2}};
  for (const Case& cs : cases) {
    SCOPED_TRACE(std::string(cs.user) + " type " + std::to_string(cs.type));
    SimTestClient c;
    LogIn(c, cs.user);
    TCmdPkt begin{}, reply{};
    ASSERT_TRUE(vz::BuildFirmwareBegin(2, 10, "/tmp/x", 0, begin));
    vz::PktPutU32(begin, vz::pkt::kFwType, cs.type);
    ASSERT_TRUE(c.Exchange(begin, reply));
    EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdFirmwareBegin, reply));
    EXPECT_EQ(reply.Result, 0);
  }
  EXPECT_EQ(sim_->LastUploadState(0), vzsim::UploadState::None);
}

TEST_F(SimFixture, ChunkLongerThanTheLimitClosesTheConnectionAndAbortsTheUpload) {
  StartSim();
  SimTestClient c;
  LogIn(c);
  TCmdPkt begin{}, reply{};
  ASSERT_TRUE(vz::BuildFirmwareBegin(2, 20000, "/tmp/x", 0, begin));
  ASSERT_TRUE(c.Exchange(begin, reply));
  ASSERT_EQ(reply.Result, 1);
  uint8_t head[8];
  vz::WriteUnitHead(vz::kMarkerFirmware, vz::kFirmwareChunkMax + 1, head);
  ASSERT_TRUE(c.SendRaw(head, sizeof head));
  std::vector<uint8_t> rest;
  EXPECT_TRUE(c.ReadUntilClosed(rest));
  EXPECT_TRUE(Eventually([&] { return sim_->LastUploadState(0) == vzsim::UploadState::Aborted; }));
}

// ---- reboot and factory default ------------------------------------------------

TEST_F(SimFixture, RebootDropsEveryConnectionRefusesForAMomentThenServesAgain) {
  StartSim();
  sim_->SetRebootRefusal(0, 3000);  // long enough to be seen on a busy machine
  SimTestClient other, guest, rebooter;
  LogIn(other);
  LogIn(guest, "guest");
  ASSERT_TRUE(guest.Send(vz::NewPkt(vz::kCmdReboot)));  // ignored for guests
  TCmdPkt reply{};
  ASSERT_TRUE(guest.Exchange(vz::NewPkt(vz::kCmdGetTime), reply));
  EXPECT_EQ(sim_->RebootCount(0), 0);

  LogIn(rebooter, "operator");
  ASSERT_TRUE(rebooter.Send(vz::NewPkt(vz::kCmdReboot)));
  std::vector<uint8_t> rest;
  EXPECT_TRUE(rebooter.ReadUntilClosed(rest));
  EXPECT_TRUE(other.ReadUntilClosed(rest));
  EXPECT_EQ(sim_->RebootCount(0), 1);
  SimTestClient probe;
  EXPECT_TRUE(Eventually([&] { return !probe.Connect(Port()); }, 5000)) << "never refused";
  EXPECT_TRUE(ConnectsWithin(Port(), 15000));
  SimTestClient again;
  LogIn(again);
}

TEST_F(SimFixture, FactoryDefaultRestoresTheStartingConfigurationForAdministratorsOnly) {
  StartSim();
  const std::vector<uint8_t> initial = sim_->ConfigBytes(0);
  SimTestClient c;
  LogIn(c);
  vz::TNetCfg net = sim_->Config(0).Net;
  net.WebPort = 8080;
  TCmdPkt set{}, reply{};
  ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::Net, &net, sizeof net, 0, set));
  ASSERT_TRUE(c.Exchange(set, reply));
  ASSERT_EQ(sim_->Config(0).Net.WebPort, 8080);

  SimTestClient op;
  LogIn(op, "operator");
  TCmdPkt def{};
  vz::BuildFactoryDefault(def);
  ASSERT_TRUE(op.Send(def));
  ASSERT_TRUE(op.Exchange(vz::NewPkt(vz::kCmdGetTime), reply));
  EXPECT_EQ(sim_->Config(0).Net.WebPort, 8080);

  ASSERT_TRUE(c.Send(def));
  ASSERT_TRUE(c.Exchange(vz::NewPkt(vz::kCmdGetTime), reply));
  EXPECT_EQ(sim_->ConfigBytes(0), initial);
}

// ---- stream connection -----------------------------------------------------------

TEST_F(SimFixture, StreamConnectionGetsTheWholeBlockAndItsStartPacket) {
  StartSim("dvr");
  SimTestClient c;
  ASSERT_TRUE(c.Connect(Port()));
  ASSERT_TRUE(c.Login("guest", "guest", 1));
  ASSERT_TRUE(c.Send(vz::NewPkt(vz::kCmdGetAllCfg)));
  std::vector<uint8_t> head, block;
  ASSERT_TRUE(c.RecvBytes(head, 8));
  vz::TUnitHead h{};
  ASSERT_TRUE(vz::ParseUnitHead(head.data(), head.size(), h));
  EXPECT_EQ(vz::CheckCfgBlockHead(h, 0), vz::TCfgHeadVerdict::Found);
  ASSERT_TRUE(c.RecvBytes(block, sizeof(vz::TDevCfg)));
  EXPECT_EQ(block, sim_->ConfigBytes(0));
  TCmdPkt start{};
  vz::BuildStartStream(0x1, 0x1, 0x6, start);
  ASSERT_TRUE(c.Send(start));  // stamped with Marker2 0
  ASSERT_TRUE(Eventually([&] { return !sim_->StreamMasks(0).empty(); }));
  EXPECT_EQ(sim_->StreamMasks(0), (std::vector<uint32_t>{0x1, 0x1, 0x6}));
}

}  // namespace
}  // namespace devsimtest
