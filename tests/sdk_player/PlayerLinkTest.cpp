// The player against the simulator: connect with each user level, the
// configuration operations over the short command connection, raw packets.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstring>
#include <memory>

#include "DevSim.h"
#include "PlayerEnv.h"
#include "TestEnv.h"
#include "VzMessageEvent.h"
#include "vz_protocol.h"

namespace playertest {
namespace {

bool SimEventually(const std::function<bool()>& done) { return Eventually(done, 10000); }

std::vector<uint8_t> FrameUnitForAlarm() {
  vz::TAlarmEvent ev;
  ev.Cmd = vz::kCmdAlarmRaised;
  ev.Type = 1;
  ev.Time = 1700000000;
  vz::TCmdPkt pkt{};
  vz::BuildAlarmEvent(ev, pkt);
  vz::StampPkt(pkt, 0);
  const uint8_t* b = vz::PktBytes(pkt);
  return std::vector<uint8_t>(b, b + sizeof(pkt));
}

class PlayerLink : public ::testing::Test {
 protected:
  void SetUp() override {
    vzsim::SimOptions o;
    o.stateDir = dir_.str();
    o.model = "ipc";
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  PlayerPtr Connected(const std::string& user = "admin") {
    PlayerPtr p = NewPlayer();
    p->SetAutoReConn(false);
    p->SetConnectArgs(LocalArgs(sim_->Port(0), user));
    EXPECT_TRUE(p->Connect());
    return p;
  }

  size_t Count(uint32_t cmd) const {
    size_t n = 0;
    for (const auto& e : sim_->Journal(0)) n += e.cmd == cmd ? 1 : 0;
    return n;
  }

  vztest::TempDir dir_;
  std::unique_ptr<vzsim::DevSim> sim_;
};

TEST_F(PlayerLink, ConnectsWithEachUserLevelAndTakesTheDeviceConfiguration) {
  const struct {
    const char* user;
    int32_t level;
  } cases[] = {{"admin", 3}, {"operator", 2}, {"guest", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user);
    PlayerPtr p = Connected(c.user);
    EXPECT_TRUE(p->IsConnect());
    EXPECT_FALSE(p->IsConning());
    EXPECT_FALSE(p->P2PMode());
    EXPECT_EQ(p->UserLevel(), c.level);
    EXPECT_EQ(p->Width(), 1280);
    EXPECT_EQ(p->Height(), 720);
    EXPECT_EQ(p->SubWidth(), 352);
    EXPECT_EQ(p->SubHeight(), 288);
    EXPECT_EQ(p->DevModel(), "IPC-C100");
    EXPECT_EQ(p->DevType(), 1);
    p->SetStreamMasks(1, 1, 0);
    EXPECT_TRUE(p->Play());
    EXPECT_TRUE(p->IsPlay());
    EXPECT_TRUE(SimEventually([&] { return sim_->StreamMasks(0) == std::vector<uint32_t>{1, 1, 0}; }));
    EXPECT_TRUE(p->DisConn());
    EXPECT_FALSE(p->IsConnect());
    EXPECT_FALSE(p->IsPlay());
  }
}

// Records the SDK's messages that reach the application object.
class MessageLog : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == vz::TVzMessageEvent::Type()) {
      const auto* m = static_cast<vz::TVzMessageEvent*>(e);
      msgs.push_back(m->Msg());
      wparams.push_back(m->WParam());
    }
    return QObject::eventFilter(watched, e);
  }
  std::vector<uint32_t> msgs;
  std::vector<uintptr_t> wparams;
};

TEST_F(PlayerLink, ConnectTellsTheApplicationAndWithoutOneTheMessagesAreDropped) {
  {
    PlayerPtr p = Connected();  // no application object yet: nothing to post to
    EXPECT_FALSE(vz::PostAppMessage(vz::kMsgConnected, 0, 0));
  }
  int argc = 1;
  char name[] = "sdk_player_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  MessageLog log;
  app.installEventFilter(&log);
  PlayerPtr p = Connected();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(log.msgs, (std::vector<uint32_t>{1282, 1284}));
  EXPECT_EQ(log.wparams, (std::vector<uintptr_t>(2, reinterpret_cast<uintptr_t>(p.get()))));
}

TEST_F(PlayerLink, FailedLoginsLeaveThePlayerDisconnected) {
  PlayerPtr p = NewPlayer();
  p->SetAutoReConn(false);
  vz::TConnectArgs a = LocalArgs(sim_->Port(0));
  a.Password = "wrong";
  p->SetConnectArgs(a);
  EXPECT_FALSE(p->Connect());
  EXPECT_FALSE(p->IsConnect());
  EXPECT_FALSE(p->IsConning());

  sim_->SetFault(0, vzsim::Fault::RefuseLogin);
  p->SetConnectArgs(LocalArgs(sim_->Port(0)));
  EXPECT_FALSE(p->Connect());
  EXPECT_FALSE(p->IsConnect());
}

TEST_F(PlayerLink, StopThenPlaySendsASecondStartStream) {
  PlayerPtr p = Connected();
  EXPECT_TRUE(p->Play());
  EXPECT_TRUE(p->Stop());
  EXPECT_FALSE(p->IsPlay());
  EXPECT_TRUE(p->Play());
  EXPECT_TRUE(SimEventually([&] { return Count(vz::kCmdStartStream) == 2; }));
  EXPECT_EQ(sim_->OpenConnections(0), 1) << "one stream connection carries both";
}

TEST_F(PlayerLink, ConfigurationOperationsRefreshThePlayersCopy) {
  PlayerPtr p = Connected();
  vz::TVideoCfg v{};
  ASSERT_TRUE(p->GetVideoCfg(&v, 0, false));
  std::strcpy(v.OsdTitle, "Gate");
  ASSERT_TRUE(p->SetVideoCfg(&v, 0));
  EXPECT_STREQ(p->Cfg().Video.OsdTitle, "Gate");
  EXPECT_STREQ(sim_->Config(0).Video.OsdTitle, "Gate");

  vz::TNetCfg n{};
  ASSERT_TRUE(p->GetNetCfg(&n, false));
  n.WebPort = 8181;
  ASSERT_TRUE(p->SetNetCfg(&n));
  EXPECT_EQ(p->Cfg().Net.WebPort, 8181);
  vz::TNetCfg cached{};
  ASSERT_TRUE(p->GetNetCfg(&cached, true));
  EXPECT_EQ(cached.WebPort, 8181);

  ASSERT_TRUE(p->SetColors(0, 128, 128, 128, 128, 128));
  const vz::TDevCfg dev = sim_->Config(0);
  EXPECT_EQ(dev.Video.Brightness, 128);
  EXPECT_EQ(dev.Video.Sharpness, 128);
  uint8_t b = 0, c = 0, h = 0, s = 0, sh = 0;
  EXPECT_TRUE(p->GetColors(3, &b, &c, &h, &s, &sh));
  EXPECT_EQ(sh, 128);

  // Every operation ran on a connection of its own, closed again.
  EXPECT_TRUE(SimEventually([&] { return sim_->OpenConnections(0) == 1; }));

  p->DisConn();
  vz::TVideoCfg fromCache{};
  EXPECT_TRUE(p->GetVideoCfg(&fromCache, 0, true));
  EXPECT_STREQ(fromCache.OsdTitle, "Gate");
  const size_t before = sim_->Journal(0).size();
  EXPECT_FALSE(p->GetNetCfg(&n, false));
  EXPECT_FALSE(p->SetVideoCfg(&v, 0));
  EXPECT_EQ(sim_->Journal(0).size(), before) << "no traffic while disconnected";
}

TEST_F(PlayerLink, GuestsAreRefusedConfigurationWritesButReadRecords) {
  PlayerPtr p = Connected("guest");
  vz::TNetCfg n{};
  EXPECT_TRUE(p->GetNetCfg(&n, false));
  EXPECT_FALSE(p->SetNetCfg(&n));
  EXPECT_FALSE(p->ClearAlarm(0));
}

TEST_F(PlayerLink, ClearAlarmEndsTheActiveAlarmAndTimeGoesOnTheStreamConnection) {
  PlayerPtr p = Connected();
  const auto unit = FrameUnitForAlarm();
  p->DispatchUnit(unit.data(), static_cast<uint32_t>(unit.size()), true);
  ASSERT_TRUE(p->IsAlarm());
  EXPECT_TRUE(p->ClearAlarm(0));
  EXPECT_FALSE(p->IsAlarm());

  const double dt = 1700000000 / 86400.0 + 25569.0;
  EXPECT_TRUE(p->SetDevTime(dt));
  EXPECT_TRUE(SimEventually([&] { return Count(vz::kCmdSetTime) == 1; }));
  uint64_t streamConn = 0;
  uint64_t timeConn = 0;
  for (const auto& e : sim_->Journal(0)) {
    if (e.cmd == vz::kCmdGetAllCfg) streamConn = e.connection;
    if (e.cmd == vz::kCmdSetTime) timeConn = e.connection;
  }
  EXPECT_EQ(timeConn, streamConn);
  EXPECT_NEAR(static_cast<double>(sim_->DeviceTime(0)), 1700000000.0, 5.0);
  EXPECT_GT(p->GetDevTime(), 0.0);
}

TEST_F(PlayerLink, RawPacketsGoOutAndRequestsReadTheirReply) {
  PlayerPtr p = Connected();
  vz::TCmdPkt req = vz::NewPkt(vz::kCmdGetDevInfo);
  vz::StampPkt(req, 0);
  vz::TCmdPkt reply{};
  ASSERT_TRUE(p->RequestRaw(&req, sizeof(req), 3000, sizeof(reply), &reply));
  EXPECT_EQ(reply.Head.Cmd, vz::kCmdGetDevInfo);
  EXPECT_FALSE(p->RequestRaw("xyz", 3, 3000, sizeof(reply), &reply)) << "command packets only";

  vz::TCmdPkt ptz{};
  vz::BuildPtz(3, 1, 5, 0, 0, ptz);
  vz::StampPkt(ptz, 0);
  EXPECT_TRUE(p->SendRaw(&ptz, sizeof(ptz)));
  EXPECT_TRUE(SimEventually([&] { return Count(vz::kCmdPtz) == 1; }));
  EXPECT_TRUE(p->SerialSend("\x01\x02", 2));
  EXPECT_TRUE(SimEventually([&] { return Count(vz::kCmdPtz) == 2; }));
  EXPECT_TRUE(p->PTZControl(3, 0, 5, 0, 0));
  EXPECT_TRUE(SimEventually([&] { return Count(vz::kCmdPtz) == 3; }));
}

TEST_F(PlayerLink, AddressesThatAreNeitherIPv4NorHostNamesTakeTheTunnelPath) {
  for (const char* addr : {"ABCD-123456-XYZWV", "cam.local", "user@a.b.c"}) {
    SCOPED_TRACE(addr);
    PlayerPtr p = NewPlayer();
    p->SetAutoReConn(false);
    vz::TConnectArgs a = LocalArgs(sim_->Port(0));
    a.DevAddr = addr;
    p->SetConnectArgs(a);
    EXPECT_FALSE(p->Connect()) << "no tunnel unit is plugged in";
    EXPECT_TRUE(p->P2PMode());
    EXPECT_FALSE(p->IsConnect());
  }
  EXPECT_EQ(Count(vz::kCmdLogin), 0u);
}

}  // namespace
}  // namespace playertest
