// The player against the streaming simulator: every frame the device sends
// reaches the hook in order, alarms and status arrive, the device's channel
// masks are honoured, and every media fault leaves the player working or
// reconnecting.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <tuple>

#include "DevSim.h"
#include "PlayerEnv.h"
#include "ReturnsWithin.h"
#include "class_DecodeGate.h"
#include "TestEnv.h"
#include "vz_protocol.h"

namespace playertest {
namespace {

class PlayerSim : public ::testing::Test {
 protected:
  void StartSim(const std::string& model = "ipc") {
    vzsim::SimOptions o;
    o.stateDir = dir_.str();
    o.model = model;
    vzsim::SimCamera cam;
    std::string error;
    ASSERT_TRUE(vzsim::ParseCamera("h264:cif:25:256:25", &cam, &error)) << error;
    o.cameras.push_back(cam);
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  PlayerPtr Playing(const std::string& user, uint32_t mainMask = 1, uint32_t audioMask = 1,
                    uint32_t subMask = 0) {
    PlayerPtr p = NewPlayer();
    // Pictures are decoded as in a live view: every test here also drives
    // its frames through the decoder.
    p->SetDecodeStyle(vz::Decode_All);
    p->SetClock(&FakeClock);
    seen_.Install(*p);
    p->SetConnectArgs(LocalArgs(sim_->Port(0), user));
    EXPECT_TRUE(p->Connect());
    p->SetStreamMasks(mainMask, audioMask, subMask);
    EXPECT_TRUE(p->Play());
    return p;
  }

  size_t Frames() const { return seen_.FrameCount(); }

  // Frames keep coming: at least n more than now.
  bool Flowing(size_t n = 10) {
    const size_t before = Frames();
    return Eventually([&] { return Frames() >= before + n; }, 20000);
  }

  void Tick(TAxPlay& p) {
    const int32_t before = p.WatchdogCount();
    FakeSeconds().fetch_add(1);
    Eventually([&] { return p.WatchdogCount() != before; }, 3000);
  }

  vztest::TempDir dir_;
  std::unique_ptr<vzsim::DevSim> sim_;
  Seen seen_;
};

// This program names neither the video unit nor the recorder: a player gets
// both from the library's own start-up, as every player of the shared
// library does, so it decodes the device's pictures and records its stream.
TEST_F(PlayerSim, EveryPlayerDecodesAndRecordsThroughTheLibrarysOwnUnits) {
  StartSim();
  PlayerPtr p = Playing("admin");
  ASSERT_NE(p->Video(), nullptr);
  p->SetDecodeStyle(vz::Decode_All);
  EXPECT_TRUE(Eventually([&] { return p->Video()->PictureWidth() == 352; }, 20000));
  vztest::TempDir rec(vztest::ShortTempRoot());  // record names must fit 63 characters
  p->SetRecPath(rec.str() + "/nml", rec.str() + "/alm", "");
  ASSERT_TRUE(p->StartNmlRec(0));
  EXPECT_TRUE(p->IsNmlRec(0));
  EXPECT_TRUE(p->StopNmlRec(0));
}

TEST_F(PlayerSim, AlarmsAndStatusArriveAndNegativeChannelsAreIgnored) {
  StartSim();
  PlayerPtr p = Playing("admin");
  ASSERT_TRUE(Flowing());
  sim_->RaiseAlarm(0, -1, 2, 1);
  sim_->RaiseAlarm(0, 0, 2, 1);
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard<std::mutex> g(seen_.lock);
    return seen_.alarms.size() == 1;
  }));
  EXPECT_TRUE(p->IsAlarm());
  sim_->ClearAlarm(0, -1);
  sim_->ClearAlarm(0, 0);
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard<std::mutex> g(seen_.lock);
    return seen_.alarms.size() == 2;
  }));
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.alarms[0].Type, 2);
    EXPECT_EQ(seen_.alarms[0].Chl, 0);
    EXPECT_EQ(seen_.alarms[0].Flag, 1);
    EXPECT_EQ(seen_.alarms[1].Type, 0);
  }
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard<std::mutex> g(seen_.lock);
    return !seen_.statuses.empty();
  }));
  uint8_t h[TAxPlay::kStatusHistoryEntries][4];
  p->StatusHistory(h);
  std::lock_guard<std::mutex> g(seen_.lock);
  ASSERT_GE(seen_.statuses.back().size(), 2u);
  EXPECT_EQ(seen_.statuses.back()[0], 0);
}

TEST_F(PlayerSim, ADvrSendsTheChannelsOfTheMasks) {
  StartSim("dvr");
  PlayerPtr p = Playing("admin", 0b0101, 0b0001, 0b0010);
  ASSERT_TRUE(Flowing(200));
  std::set<std::tuple<uint32_t, uint8_t, int32_t>> kinds;
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    for (const auto& f : seen_.frames) kinds.insert({f.Magic, f.Chl, f.Stream});
  }
  const std::set<std::tuple<uint32_t, uint8_t, int32_t>> want = {
      {vz::kMarkerVideo, 0, 0}, {vz::kMarkerVideo, 2, 0}, {vz::kMarkerVideo, 1, 1}, {vz::kMarkerAudio, 0, 0}};
  EXPECT_EQ(kinds, want);
}

TEST_F(PlayerSim, EveryMediaFaultLeavesThePlayerWorkingOrReconnecting) {
  StartSim();
  PlayerPtr p = Playing("admin");
  ASSERT_TRUE(Flowing());
  const struct {
    vzsim::Fault fault;
    bool cuts;
  } cases[] = {
      {vzsim::Fault::StreamGarbage, false}, {vzsim::Fault::StreamOverLong, false},
      {vzsim::Fault::ClockBack, false},     {vzsim::Fault::JpegInMpeg4, false},
      {vzsim::Fault::StreamCut, true},      {vzsim::Fault::StreamSilent, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(vzsim::FaultName(c.fault));
    sim_->SetFault(0, c.fault);
    if (!c.cuts) {
      EXPECT_TRUE(Flowing()) << "frames keep coming with the fault on";
    } else {
      // Cut or silent: the watchdog gives up on the stream and reconnects.
      EXPECT_TRUE(Eventually([&] {
        Tick(*p);
        return !p->IsConnect();
      }, 60000));
      sim_->SetFault(0, vzsim::Fault::None);
      EXPECT_TRUE(Eventually([&] {
        Tick(*p);
        return p->IsConnect() && p->IsPlay();
      }, 60000));
    }
    sim_->SetFault(0, vzsim::Fault::None);
    EXPECT_TRUE(Flowing()) << "and after it";
  }
}

TEST_F(PlayerSim, FreeOfStreamingPlayersReturnsPromptly) {
  StartSim();
  std::vector<PlayerPtr> players;
  for (int i = 0; i < 4; ++i) players.push_back(Playing("admin"));
  ASSERT_TRUE(Flowing(100));
  for (auto& p : players) {
    const auto t0 = std::chrono::steady_clock::now();
    p.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
  }
  EXPECT_TRUE(Eventually([&] { return sim_->Stats(0).streaming == 0; }));
}

// Players logged in with each user level stream at once, each into its own
// hooks, and are freed while the frames flow.
TEST_F(PlayerSim, FramesReachPlayersOfEachUserLevel) {
  StartSim();
  const char* const users[] = {"admin", "operator", "guest"};
  Seen seen[3];
  std::vector<PlayerPtr> players;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(users[i]);
    PlayerPtr p = NewPlayer();
    p->SetClock(&FakeClock);
    seen[i].Install(*p);
    p->SetConnectArgs(LocalArgs(sim_->Port(0), users[i]));
    ASSERT_TRUE(p->Connect());
    EXPECT_EQ(p->UserLevel(), 3 - i);
    p->SetStreamMasks(1, 1, 0);
    ASSERT_TRUE(p->Play());
    players.push_back(std::move(p));
  }
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(users[i]);
    const size_t before = seen[i].FrameCount();
    EXPECT_TRUE(Eventually([&] { return seen[i].FrameCount() >= before + 25; }, 30000));
  }
  // Free runs on the GUI thread of a client: it must never hang.
  for (int i = 0; i < 3; ++i) {
    TAxPlay* p = players[static_cast<size_t>(i)].release();
    EXPECT_TRUE(vztest::ReturnsWithin([p] { TAxPlay::Free(p); }, std::chrono::seconds(30))) << users[i];
  }
  EXPECT_TRUE(Eventually([&] { return sim_->Stats(0).streaming == 0; }, 30000));
}

}  // namespace
}  // namespace playertest
