// The stream path against a scripted device: frames, events and status
// through the socket, the no-data watchdog on a fake clock, lost
// connections, misbehaving streams and freeing a streaming player.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <functional>
#include <thread>

#include "FakeDevice.h"
#include "PlayerEnv.h"
#include "TalkPacket.h"
#include "vz_protocol.h"

namespace playertest {
namespace {

int ThreadCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.' ? 1 : 0;
    closedir(d);
  }
  return n;
}

class PlayerStream : public ::testing::Test {
 protected:
  void Start(bool autoReConn = true) {
    player_ = NewPlayer();
    player_->SetClock(&FakeClock);
    player_->SetAutoReConn(autoReConn);
    seen_.Install(*player_);
    player_->SetConnectArgs(LocalArgs(dev_.Port()));
    ASSERT_TRUE(player_->Connect());
    ASSERT_TRUE(player_->Play());
    ASSERT_TRUE(Eventually([&] { return dev_.Streaming(); }));
  }

  // Pushes one video frame and waits until the hook has it.
  void FrameThrough(uint8_t fill) {
    const size_t before = seen_.FrameCount();
    ASSERT_TRUE(dev_.Push(FrameUnit(vz::kMarkerVideo, 1000000ull * FakeClock(), 0, true, 0, 500, fill)));
    ASSERT_TRUE(Eventually([&] { return seen_.FrameCount() == before + 1; }));
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.frames.back().Fill, fill);
  }

  // One second of the fake clock, seen by the reading thread.
  void Tick() {
    const int32_t before = player_->WatchdogCount();
    FakeSeconds().fetch_add(1);
    ASSERT_TRUE(Eventually([&] { return player_->WatchdogCount() != before; }));
  }

  // Ticks until the device has seen `logins` logins and streams again.
  void TickUntilReconnected(int logins, int maxTicks) {
    for (int i = 0; i < maxTicks && !(dev_.Logins() >= logins && dev_.Streaming()); ++i) Tick();
    ASSERT_TRUE(Eventually([&] { return dev_.Logins() >= logins && dev_.Streaming(); }));
    ASSERT_TRUE(Eventually([&] { return player_->IsConnect() && player_->IsPlay(); }));
  }

  FakeDevice dev_;
  Seen seen_;
  PlayerPtr player_;
};

TEST_F(PlayerStream, FramesEventsAndStatusArriveInOrder) {
  Start();
  std::vector<uint8_t> burst;
  for (uint8_t i = 1; i <= 40; ++i) {
    const bool video = i % 4 != 0;
    const auto u = FrameUnit(video ? vz::kMarkerVideo : vz::kMarkerAudio, 1000000ull * FakeClock() + i,
                             0, i == 1, 0, video ? 3000u + i : 1024u, i);
    burst.insert(burst.end(), u.begin(), u.end());
  }
  const auto alarm = AlarmUnit(vz::kCmdAlarmRaised, 2, 1700000123, 0, 1);
  const auto status = StatusUnit(0, 42);
  burst.insert(burst.end(), alarm.begin(), alarm.end());
  burst.insert(burst.end(), status.begin(), status.end());
  ASSERT_TRUE(dev_.Push(burst));
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard<std::mutex> g(seen_.lock);
    return seen_.frames.size() == 40 && seen_.statuses.size() == 1;
  }));
  std::lock_guard<std::mutex> g(seen_.lock);
  for (uint8_t i = 1; i <= 40; ++i) {
    const auto& f = seen_.frames[i - 1];
    const bool video = i % 4 != 0;
    EXPECT_EQ(f.Fill, i);
    EXPECT_EQ(f.Magic, video ? vz::kMarkerVideo : vz::kMarkerAudio);
    EXPECT_EQ(f.Total, 24u + (video ? 3000u + i : 1024u));
  }
  ASSERT_EQ(seen_.alarms.size(), 1u);
  EXPECT_EQ(seen_.alarms[0].Type, 2);
  EXPECT_EQ(seen_.audioRaw.size(), 10u);
  EXPECT_EQ(player_->LastRecvTime(), FakeClock());
}

TEST_F(PlayerStream, ASilentStreamIsCutAfterSixteenSecondsAndRetriedTenLater) {
  Start();
  FrameThrough(1);
  ASSERT_EQ(player_->WatchdogCount(), 0);
  for (int k = 1; k <= 15; ++k) {
    Tick();
    ASSERT_EQ(player_->WatchdogCount(), k);
    ASSERT_TRUE(player_->IsConnect()) << k;
  }
  Tick();  // 16 s without a frame
  EXPECT_TRUE(Eventually([&] { return !player_->IsConnect(); }));
  EXPECT_EQ(player_->WatchdogCount(), 6);
  for (int k = 17; k <= 25; ++k) {
    Tick();
    ASSERT_EQ(dev_.Logins(), 1) << k;
  }
  Tick();  // 10 s after the cut
  EXPECT_TRUE(Eventually([&] { return dev_.Logins() == 2 && dev_.StartStreams() == 2; }));
  EXPECT_TRUE(Eventually([&] { return player_->IsConnect() && player_->IsPlay(); }));
  FrameThrough(2);
}

TEST_F(PlayerStream, WithoutAutoReconnectASilentStreamIsCutOnce) {
  Start(false);
  FrameThrough(1);
  for (int k = 1; k <= 16; ++k) Tick();
  EXPECT_TRUE(Eventually([&] { return !player_->IsConnect(); }));
  for (int k = 0; k < 40; ++k) Tick();
  EXPECT_EQ(dev_.Logins(), 1);
  EXPECT_FALSE(player_->IsConnect());
}

TEST_F(PlayerStream, ADroppedConnectionRecovers) {
  Start();
  FrameThrough(1);
  dev_.Cut();
  ASSERT_TRUE(Eventually([&] { return !dev_.Streaming(); }));
  TickUntilReconnected(2, 40);
  FrameThrough(2);
}

TEST_F(PlayerStream, MisbehavingStreamsLeaveThePlayerWorkingOrReconnecting) {
  Start();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t frames;  // frames the hook gets from it
    bool cuts;  // the device closes the connection afterwards
  };
  // No four equal bytes in a row, so no head in it carries a known marker.
  std::vector<uint8_t> garbage(4096);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<uint8_t> midFrame = FrameUnit(vz::kMarkerVideo, 1000000ull * FakeClock(), 0, true, 0, 5000, 3);
  midFrame.resize(2000);
  const std::vector<Case> cases = {
      {"garbage", garbage, 0, false},
      {"over-long unit", RawUnit(vz::kMarkerVideo, vz::kMaxUnitLength + 1, 0, 0), 0, false},
      {"longest unit", RawUnit(vz::kMarkerOther88, vz::kMaxUnitLength, vz::kMaxUnitLength, 0x55), 0, false},
      {"frame of a clock set back", FrameUnit(vz::kMarkerVideo, 1000000, 0, true, 0, 100, 9), 1, false},
      {"JPEG in the stream", FrameUnit(vz::kMarkerVideo, 1000000ull * FakeClock(), 0, true, 0, 64, 0xFF), 1,
       false},
      {"cut mid-frame", midFrame, 0, true},
  };
  uint8_t fill = 100;
  int logins = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = seen_.FrameCount();
    ASSERT_TRUE(dev_.Push(c.bytes));
    ASSERT_TRUE(Eventually([&] { return seen_.FrameCount() == before + c.frames; }));
    if (c.cuts) {
      dev_.Cut();
      ASSERT_TRUE(Eventually([&] { return !dev_.Streaming(); }));
      TickUntilReconnected(++logins, 40);
    }
    FrameThrough(++fill);
  }
}

TEST_F(PlayerStream, FreeOfAStreamingPlayerReturnsPromptlyAndLeavesNoThread) {
  const int before = ThreadCount();
  Start();
  FrameThrough(1);
  // A unit whose body never comes: the reader waits inside the socket read.
  std::vector<uint8_t> stalled = FrameUnit(vz::kMarkerVideo, 1000000ull * FakeClock(), 0, true, 0, 4000, 2);
  stalled.resize(100);
  ASSERT_TRUE(dev_.Push(stalled));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto t0 = std::chrono::steady_clock::now();
  player_.reset();
  const auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_LT(took, std::chrono::seconds(4)) << "the read in flight is cut short, not waited out";
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));
}

// What goes out on the stream connection while the reader is inside a unit
// (its body still on the way) waits for that unit: cutting the read would
// cost the stream, and talk sends a packet every few milliseconds.
TEST_F(PlayerStream, SendsWaitForTheUnitBeingReadInsteadOfCuttingIt) {
  Start();
  FrameThrough(1);
  const double time = 1700000000 / 86400.0 + 25569.0;
  // Sized like a command packet, which the scripted device echoes.
  const std::vector<uint8_t> samples(sizeof(vz::TCmdPkt) - vz::kTalkHeadBytes, 0);
  std::vector<uint8_t> talk;
  ASSERT_TRUE(vz::BuildTalkPacket("127.0.0.1", dev_.Port(), samples.data(), samples.size(), talk));
  const struct {
    const char* what;
    std::function<bool()> send;
  } cases[] = {
      {"SetDevTime", [&] { return player_->SetDevTime(time); }},
      {"SendRaw", [&] { return player_->SendRaw(talk.data(), static_cast<int32_t>(talk.size())); }},
      {"Play", [&] { return player_->Play(); }},
  };
  const std::vector<uint8_t> unit = FrameUnit(vz::kMarkerVideo, 1000000ull * FakeClock(), 0, true, 0, 4000, 2);
  const std::vector<uint8_t> head(unit.begin(), unit.begin() + 100);
  const std::vector<uint8_t> rest(unit.begin() + 100, unit.end());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t before = seen_.FrameCount();
    ASSERT_TRUE(dev_.Push(head));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the reader waits for the body
    std::thread late([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      dev_.Push(rest);
    });
    EXPECT_TRUE(c.send());
    late.join();
    EXPECT_TRUE(Eventually([&] { return seen_.FrameCount() == before + 1; })) << "the unit came whole";
    EXPECT_TRUE(player_->IsConnect());
    FrameThrough(3);
  }
  EXPECT_EQ(dev_.Logins(), 1) << "never reconnected";
}

TEST_F(PlayerStream, FreeFromInsideAHookEndsThePlayerAfterTheHook) {
  const int before = ThreadCount();
  Start();
  std::atomic<bool> freed{false};
  TAxPlay* raw = player_.release();
  raw->SetOnAVData([&](TAxPlay& self, const uint8_t*, int32_t, uint32_t) {
    if (!freed.exchange(true)) TAxPlay::Free(&self);
  });
  ASSERT_TRUE(dev_.Push(FrameUnit(vz::kMarkerVideo, 1000000ull * FakeClock(), 0, true, 0, 100, 1)));
  EXPECT_TRUE(Eventually([&] { return freed.load(); }));
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));
  EXPECT_TRUE(Eventually([&] { return !dev_.Streaming(); }));
}

}  // namespace
}  // namespace playertest
