// Each fault switch as the client sees it on the wire, and the device's
// answer to malformed framing.
#include <chrono>
#include <cstring>

#include "SimFixture.h"

namespace devsimtest {
namespace {

using vz::TCmdPkt;
using Clock = std::chrono::steady_clock;

TCmdPkt NetGet() {
  TCmdPkt p{};
  vz::BuildRecordGet(vz::TRecordKind::Net, 0, p);
  return p;
}

struct FaultCase {
  const char* name;
  vzsim::Fault fault;
  int arg;
  uint32_t onlyCmd;
  // Runs against a device with the fault on; `port` is the device's.
  void (*check)(uint16_t port, vzsim::DevSim& sim);
};

class FaultTest : public SimFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, IsObservableOnTheWire) {
  StartSim();
  sim_->SetFault(0, GetParam().fault, GetParam().arg, GetParam().onlyCmd);
  GetParam().check(Port(), *sim_);
  // Switched off, the device behaves again.
  sim_->SetFault(0, vzsim::Fault::None);
  SimTestClient c;
  LogIn(c);
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(NetGet(), reply));
  EXPECT_TRUE(vz::ReplySucceeded(vz::kCmdGetNetCfg, reply));
}

// Connects and logs in as the administrator (on a stream connection when asked).
void Open(SimTestClient& c, uint16_t port, int32_t stream = 0) {
  ASSERT_TRUE(c.Connect(port));
  ASSERT_TRUE(c.Login("admin", "admin", stream));
}

void RefusedLogin(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  ASSERT_TRUE(c.Connect(port));
  vz::TLoginReply reply;
  EXPECT_FALSE(c.Login("admin", "admin", 0, &reply));
  EXPECT_EQ(reply.LoginId, 0u);
  std::vector<uint8_t> rest;
  EXPECT_TRUE(c.ReadUntilClosed(rest));
}

void WrongCodeOnGet(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  Open(c, port);  // the login itself is not touched
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(NetGet(), reply));
  EXPECT_FALSE(vz::ReplyEchoes(vz::kCmdGetNetCfg, reply));
}

void WrongCodeOnLogin(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  ASSERT_TRUE(c.Connect(port));
  vz::TLoginRequest req{"admin", "admin", "127.0.0.1", 0};
  TCmdPkt login{}, reply{};
  ASSERT_TRUE(vz::BuildLoginRequest(req, login));
  ASSERT_TRUE(c.Exchange(login, reply));
  EXPECT_NE(reply.Head.Cmd, vz::kCmdLogin);
  EXPECT_NE(reply.Head.LoginId, 0u);
}

void ResultZeroOnSet(uint16_t port, vzsim::DevSim& sim) {
  SimTestClient c;
  Open(c, port);
  vz::TNetCfg net = sim.Config(0).Net;
  const vz::TNetCfg stored = net;
  net.RtspPort = 9554;
  TCmdPkt set{}, reply{};
  ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::Net, &net, sizeof net, 0, set));
  ASSERT_TRUE(c.Exchange(set, reply));
  EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdSetNetCfg, reply));
  EXPECT_EQ(reply.Result, 0);
  EXPECT_EQ(0, std::memcmp(reply.Payload, &stored, sizeof stored));
  EXPECT_EQ(sim.Config(0).Net.RtspPort, stored.RtspPort);
}

void ResultZeroOnLogin(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  ASSERT_TRUE(c.Connect(port));
  TCmdPkt login{}, reply{};
  ASSERT_TRUE(vz::BuildLoginRequest({"admin", "admin", "127.0.0.1", 0}, login));
  ASSERT_TRUE(c.Exchange(login, reply));
  EXPECT_EQ(reply.Head.Cmd, vz::kCmdLogin);
  EXPECT_EQ(reply.Result, 0);
  EXPECT_NE(reply.Head.LoginId, 0u);  // a client must look at Result too
  std::vector<uint8_t> rest;
  EXPECT_TRUE(c.ReadUntilClosed(rest));
}

void StallOnGet(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  Open(c, port);
  const auto t0 = Clock::now();
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(NetGet(), reply));
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(400));
  EXPECT_TRUE(vz::ReplySucceeded(vz::kCmdGetNetCfg, reply));
}

void StallOnAimedCode(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  Open(c, port);
  TCmdPkt reply{};
  const auto t0 = Clock::now();
  ASSERT_TRUE(c.Exchange(vz::NewPkt(vz::kCmdGetRecCfg), reply));
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(400));
  EXPECT_TRUE(vz::ReplySucceeded(vz::kCmdGetRecCfg, reply));
}

void CloseMidReply(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  Open(c, port);
  ASSERT_TRUE(c.Send(NetGet()));
  std::vector<uint8_t> got;
  EXPECT_TRUE(c.ReadUntilClosed(got));
  EXPECT_EQ(got.size(), vz::kPktSize / 2);
}

void CloseMidBlock(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  Open(c, port, 1);
  ASSERT_TRUE(c.Send(vz::NewPkt(vz::kCmdGetAllCfg)));
  std::vector<uint8_t> got;
  EXPECT_TRUE(c.ReadUntilClosed(got));
  EXPECT_GT(got.size(), 8u);
  EXPECT_LT(got.size(), 8u + sizeof(vz::TDevCfg));
}

// Reads heads the way the code-28 exchange does and counts the foreign ones.
void ForeignHeadsBeforeBlock(uint16_t port, vzsim::DevSim& sim) {
  SimTestClient c;
  Open(c, port, 1);
  ASSERT_TRUE(c.Send(vz::NewPkt(vz::kCmdGetAllCfg)));
  int foreign = 0;
  for (;;) {
    std::vector<uint8_t> head;
    ASSERT_TRUE(c.RecvBytes(head, 8));
    vz::TUnitHead h{};
    ASSERT_TRUE(vz::ParseUnitHead(head.data(), head.size(), h));
    if (h.Marker == vz::kMarkerCfgBlock) {
      EXPECT_EQ(h.Length, sizeof(vz::TDevCfg));
      break;
    }
    ++foreign;
    ASSERT_LT(foreign, 100);
  }
  EXPECT_EQ(foreign, 5);
  std::vector<uint8_t> block;
  ASSERT_TRUE(c.RecvBytes(block, sizeof(vz::TDevCfg)));
  EXPECT_EQ(block, sim.ConfigBytes(0));
}

void WrongBlockLength(uint16_t port, vzsim::DevSim&) {
  SimTestClient c;
  Open(c, port, 1);
  ASSERT_TRUE(c.Send(vz::NewPkt(vz::kCmdGetAllCfg)));
  std::vector<uint8_t> head;
  ASSERT_TRUE(c.RecvBytes(head, 8));
  vz::TUnitHead h{};
  ASSERT_TRUE(vz::ParseUnitHead(head.data(), head.size(), h));
  EXPECT_EQ(vz::CheckCfgBlockHead(h, 0), vz::TCfgHeadVerdict::Fail);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, FaultTest,
    ::testing::Values(
        FaultCase{"RefuseLogin", vzsim::Fault::RefuseLogin, 0, 0, RefusedLogin},
        FaultCase{"WrongCode", vzsim::Fault::WrongCode, 0, 0, WrongCodeOnGet},
        FaultCase{"WrongCodeAtLogin", vzsim::Fault::WrongCode, 0, vz::kCmdLogin, WrongCodeOnLogin},
        FaultCase{"ResultZero", vzsim::Fault::ResultZero, 0, 0, ResultZeroOnSet},
        FaultCase{"ResultZeroAtLogin", vzsim::Fault::ResultZero, 0, vz::kCmdLogin, ResultZeroOnLogin},
        FaultCase{"Stall", vzsim::Fault::Stall, 400, 0, StallOnGet},
        FaultCase{"StallAimed", vzsim::Fault::Stall, 400, vz::kCmdGetRecCfg, StallOnAimedCode},
        FaultCase{"CloseMidPacket", vzsim::Fault::CloseMidPacket, 0, 0, CloseMidReply},
        FaultCase{"CloseMidBlock", vzsim::Fault::CloseMidPacket, 0, vz::kCmdGetAllCfg, CloseMidBlock},
        FaultCase{"ForeignHeads", vzsim::Fault::ForeignHeads, 5, 0, ForeignHeadsBeforeBlock},
        FaultCase{"WrongBlockLength", vzsim::Fault::WrongCode, 0, vz::kCmdGetAllCfg, WrongBlockLength}),
    [](const ::testing::TestParamInfo<FaultCase>& i) { return std::string(i.param.name); });

TEST_F(SimFixture, FaultAimedAtOneCodeLeavesTheOthersAlone) {
  StartSim();
  sim_->SetFault(0, vzsim::Fault::WrongCode, 0, vz::kCmdGetRecCfg);
  SimTestClient c;
  LogIn(c);
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(NetGet(), reply));
  EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdGetNetCfg, reply));
  ASSERT_TRUE(c.Exchange(vz::NewPkt(vz::kCmdGetRecCfg), reply));
  EXPECT_FALSE(vz::ReplyEchoes(vz::kCmdGetRecCfg, reply));
}

TEST_F(SimFixture, StoppingWhileStalledReturnsPromptly) {
  StartSim();
  sim_->SetFault(0, vzsim::Fault::Stall, 600000);
  SimTestClient c;
  LogIn(c);
  ASSERT_TRUE(c.Send(NetGet()));
  ASSERT_TRUE(Eventually([&] { return sim_->Journal(0).size() == 2; }));
  const auto t0 = Clock::now();
  sim_->Stop();
  EXPECT_LT(Clock::now() - t0, std::chrono::seconds(30));  // not the stall's ten minutes
}

// ---- framing ---------------------------------------------------------------------

struct FramingCase {
  const char* name;
  uint32_t marker;
  uint32_t length;
};

class FramingTest : public SimFixture, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(FramingTest, UnitThatIsNoCommandClosesTheConnection) {
  StartSim();
  SimTestClient c;
  LogIn(c);
  uint8_t head[8];
  vz::WriteUnitHead(GetParam().marker, GetParam().length, head);
  ASSERT_TRUE(c.SendRaw(head, sizeof head));
  std::vector<uint8_t> rest;
  EXPECT_TRUE(c.ReadUntilClosed(rest));
  EXPECT_TRUE(rest.empty());
}

INSTANTIATE_TEST_SUITE_P(Heads, FramingTest,
                         ::testing::Values(FramingCase{"UnknownMarker", 0x12345678u, 1452},
                                           FramingCase{"VideoMarker", vz::kMarkerVideo, 100},
                                           FramingCase{"ShortPacket", vz::kMarkerPacket, 1000},
                                           FramingCase{"HugePacket", vz::kMarkerPacket, 0xFFFFFFFFu}),
                         [](const ::testing::TestParamInfo<FramingCase>& i) { return std::string(i.param.name); });

TEST_F(SimFixture, PacketWithoutItsSecondMarkerIsIgnored) {
  StartSim();
  SimTestClient c;
  LogIn(c);
  TCmdPkt bad = NetGet();
  vz::StampPkt(bad, c.LoginId());
  bad.Head.Marker2 = 0;
  ASSERT_TRUE(c.SendRaw(&bad, sizeof bad));
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(vz::NewPkt(vz::kCmdGetTime), reply));
  EXPECT_TRUE(vz::ReplyEchoes(vz::kCmdGetTime, reply));  // the first reply is the second request's
}

TEST_F(SimFixture, SilentConnectionsDoNotHoldTheDeviceBack) {
  StartSim();
  std::vector<std::unique_ptr<SimTestClient>> idle;
  for (int i = 0; i < 8; ++i) {
    idle.push_back(std::make_unique<SimTestClient>());
    ASSERT_TRUE(idle.back()->Connect(Port()));
    const uint8_t partial[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ASSERT_TRUE(idle.back()->SendRaw(partial, sizeof partial));  // half a head, then silence
  }
  SimTestClient c;
  LogIn(c);
  TCmdPkt reply{};
  ASSERT_TRUE(c.Exchange(NetGet(), reply));
  EXPECT_TRUE(vz::ReplySucceeded(vz::kCmdGetNetCfg, reply));
}

}  // namespace
}  // namespace devsimtest
