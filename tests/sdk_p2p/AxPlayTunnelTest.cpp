// The live player on the tunnel path, with the double of the tunnel libraries.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "DevSim.h"
#include "P2PDouble.h"
#include "PlayParts.h"
#include "TestEnv.h"
#include "class_AxPlay.h"
#include "class_AxPlayTunnel.h"
#include "class_P2PLib.h"
#include "class_PlayVideo.h"

namespace {

struct PlayerFree {
  void operator()(TAxPlay* p) const { TAxPlay::Free(p); }
};
using PlayerPtr = std::unique_ptr<TAxPlay, PlayerFree>;

std::atomic<int64_t> g_seconds{1700000000};
int64_t FakeClock() { return g_seconds.load(); }

bool Eventually(const std::function<bool()>& done, int ms = 15000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

vz::TConnectArgs TunnelArgs(const std::string& uid) {
  vz::TConnectArgs a;
  a.UserName = "operator";
  a.Password = "pw";
  a.DevAddr = uid;
  a.SvrAddr = uid;
  return a;
}

class AxPlayTunnel : public ::testing::Test {
 protected:
  void SetUp() override {
    P2PDouble_Reset();
    P2PDouble_AddDevice("ABCD1234", "Garden Cam");
    lib_ = std::make_unique<vz::TP2PLib>(P2P_DOUBLE_TUNNEL, P2P_DOUBLE_CHANNEL);
    ASSERT_TRUE(lib_->Usable()) << lib_->Error();
    vz::RegisterTunnelPath(lib_.get());
  }
  void TearDown() override {
    vz::RegisterPlayTunnel(nullptr);
    lib_.reset();
  }

  PlayerPtr TunnelPlayer(const std::string& uid = "AB-CD-1234") {
    PlayerPtr p(TAxPlay::New(0));
    p->SetConnectArgs(TunnelArgs(uid));
    return p;
  }

  std::unique_ptr<vz::TP2PLib> lib_;
};

TEST_F(AxPlayTunnel, AConnectedTunnelPlayerCarriesTheFixedConfigurationAndTheAdminLogin) {
  P2PDouble_SetNameAnswerTry(4);
  PlayerPtr p = TunnelPlayer();
  ASSERT_TRUE(p->Connect());
  EXPECT_TRUE(p->P2PMode());
  EXPECT_TRUE(p->IsConnect());
  EXPECT_FALSE(p->IsConning());
  EXPECT_EQ(p->ConnectArgs().UserName, "admin");
  EXPECT_GE(p->P2PSid(), 0);
  EXPECT_GE(p->P2PChannel(), 0);
  EXPECT_EQ(p->DevType(), 11);
  EXPECT_EQ(p->Width(), 640);
  EXPECT_EQ(p->Height(), 480);
  const vz::TDevCfg cfg = p->Cfg();
  EXPECT_STREQ(cfg.Video.OsdTitle, "Garden Cam");
  EXPECT_EQ(cfg.Video.Codec, 2);
  EXPECT_TRUE(p->Play());
  EXPECT_TRUE(p->DisConn());
  EXPECT_FALSE(p->IsConnect());
  EXPECT_EQ(p->P2PSid(), -1);
  EXPECT_EQ(p->P2PChannel(), -1);
}

TEST_F(AxPlayTunnel, ATunnelFrameOf1000BytesReachesTheFrameHookAs1024Bytes) {
  std::vector<uint8_t> payload(1000, 0x5A);
  P2PDouble_QueueFrame(payload.data(), 1000, 1);
  PlayerPtr p = TunnelPlayer();
  std::mutex m;
  std::vector<std::vector<uint8_t>> seen;
  p->SetOnAVData([&](TAxPlay&, const uint8_t* frame, int32_t, uint32_t total) {
    std::lock_guard<std::mutex> lock(m);
    seen.emplace_back(frame, frame + total);
  });
  ASSERT_TRUE(p->Connect());
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard<std::mutex> lock(m);
    return !seen.empty();
  }));
  p->DisConn();
  std::lock_guard<std::mutex> lock(m);
  ASSERT_EQ(seen[0].size(), 1024u);
  vz::TAVFrameHead h;
  std::memcpy(&h, seen[0].data(), sizeof h);
  EXPECT_EQ(h.Magic, 0xBBBBBBBBu);
  EXPECT_EQ(h.Len, 1016u);
  EXPECT_EQ(h.Chl, 0);
  EXPECT_EQ(h.IsIFrame, 1);
  EXPECT_EQ(h.StreamType, 1);
  EXPECT_GT(p->LastRecvTime(), 0);
}

TEST_F(AxPlayTunnel, TheWatchdogCutsATunnelSilentForFortyOneSeconds) {
  PlayerPtr p = TunnelPlayer();
  p->SetAutoReConn(false);
  p->SetClock(&FakeClock);
  ASSERT_TRUE(p->Connect());
  ASSERT_TRUE(p->IsConnect());
  // One second at a time, each seen by the reading step's watchdog.
  for (int s = 1; s <= 40; ++s) {
    g_seconds.fetch_add(1);
    ASSERT_TRUE(Eventually([&] { return p->WatchdogCount() >= s; })) << s;
  }
  EXPECT_TRUE(p->IsConnect());
  EXPECT_EQ(P2PDouble_Calls("avClientStop"), 0);
  g_seconds.fetch_add(1);
  ASSERT_TRUE(Eventually([&] { return !p->IsConnect(); }));
  EXPECT_EQ(P2PDouble_Calls("avClientStop"), 1);
  EXPECT_EQ(P2PDouble_OpenSessions(), 0);
  EXPECT_TRUE(Eventually([] { return vztest::ThreadsNamed("vzSDK p2p") == 0; }));
}

TEST_F(AxPlayTunnel, FramesKeepTheWatchdogFromCuttingTheTunnel) {
  if (P2PDouble_SetVideo(1) == 0) GTEST_SKIP() << "no H.264 encoder in this libavcodec";
  PlayerPtr p = TunnelPlayer();
  p->SetAutoReConn(false);
  p->SetClock(&FakeClock);
  ASSERT_TRUE(p->Connect());
  for (int s = 1; s <= 60; ++s) {
    const int reads = P2PDouble_Calls("avRecvFrameData");
    g_seconds.fetch_add(1);
    ASSERT_TRUE(Eventually([&] { return P2PDouble_Calls("avRecvFrameData") > reads + 2; }));
  }
  EXPECT_TRUE(p->IsConnect());
  EXPECT_LT(p->WatchdogCount(), 40);
}

TEST_F(AxPlayTunnel, FreeingAStreamingPlayerLeavesNoReaderThread) {
  P2PDouble_SetVideo(1);
  PlayerPtr p = TunnelPlayer();
  ASSERT_TRUE(p->Connect());
  ASSERT_TRUE(Eventually([] { return vztest::ThreadsNamed("vzSDK p2p") == 1; }));
  p.reset();
  EXPECT_EQ(vztest::ThreadsNamed("vzSDK p2p"), 0);
  EXPECT_EQ(P2PDouble_ReadersInside(), 0);
  EXPECT_EQ(P2PDouble_OpenSessions(), 0);
}

// With the real video unit behind the player: the tunnel's own decoder
// reopen at connect takes the decoder lock once, and its pictures arrive.
TEST_F(AxPlayTunnel, TheVideoUnitDecodesTunnelPicturesAfterEachConnect) {
  if (P2PDouble_SetVideo(1) == 0) GTEST_SKIP() << "no H.264 encoder in this libavcodec";
  {
    PlayerPtr p = TunnelPlayer();
    auto* video = static_cast<vz::TPlayVideo*>(p->Video());
    ASSERT_NE(video, nullptr);
    p->SetShowOSD(false);
    p->SetDecodeStyle(2);
    for (int round = 0; round < 2; ++round) {
      const uint64_t pictures = video->Render().RenderedCount();
      ASSERT_TRUE(p->Connect()) << round;
      EXPECT_EQ(video->CodecKind(), 2);
      EXPECT_TRUE(Eventually([&] { return video->Render().RenderedCount() > pictures + 2; })) << round;
      EXPECT_EQ(video->PictureWidth(), 640);
      EXPECT_TRUE(p->DisConn());
    }
  }
}

TEST(AxPlayNoTunnelLibraries, TheTunnelAnswersFalseAndTheTcpPathStillConnects) {
  P2PDouble_Reset();
  vz::TP2PLib missing("/nonexistent/libIOTCAPIs.so", "/nonexistent/libAVApis.so");
  vz::RegisterTunnelPath(&missing);
  {
    PlayerPtr tunnel(TAxPlay::New(0));
    tunnel->SetConnectArgs(TunnelArgs("AB-CD-1234"));
    EXPECT_FALSE(tunnel->Connect());
    EXPECT_FALSE(tunnel->IsConnect());
    EXPECT_FALSE(tunnel->IsConning());

    vztest::TempDir state;
    vzsim::SimOptions o;
    o.stateDir = state.str();
    vzsim::DevSim sim(o);
    ASSERT_TRUE(sim.Start()) << sim.Error();
    PlayerPtr tcp(TAxPlay::New(0));
    vz::TConnectArgs a;
    a.UserName = a.Password = "admin";
    a.DevAddr = a.SvrAddr = "127.0.0.1";
    a.DataPort = sim.Port(0);
    tcp->SetConnectArgs(a);
    EXPECT_TRUE(tcp->Connect());
    EXPECT_TRUE(tcp->IsConnect());
    EXPECT_FALSE(tcp->P2PMode());
    EXPECT_TRUE(tcp->DisConn());
  }
  EXPECT_EQ(P2PDouble_Calls("IOTC_Connect_ByUID"), 0);
  vz::RegisterPlayTunnel(nullptr);
}

}  // namespace
