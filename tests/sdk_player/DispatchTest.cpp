// The reading step's dispatch of units, fed without sockets.
#include <gtest/gtest.h>

#include "FakeDevice.h"
#include "PlayerEnv.h"
#include "vz_protocol.h"

namespace playertest {
namespace {

void Feed(TAxPlay& p, const std::vector<uint8_t>& unit, bool logged = true) {
  p.DispatchUnit(unit.data(), static_cast<uint32_t>(unit.size()), logged);
}

constexpr uint32_t kT = 1700000000;

struct AlarmCase {
  const char* name;
  uint32_t cmd;
  int32_t type;
  int32_t chl;
  bool raised;  // a hook call is expected
  int32_t hookType;
  bool activeAfter;
};

TEST(PlayerDispatch, AlarmPacketsRaiseTheHookAndTrackTheActiveState) {
  const AlarmCase cases[] = {
      {"raise", vz::kCmdAlarmRaised, 1, 2, true, 1, true},
      {"clear", vz::kCmdAlarmCleared, 5, 2, true, 0, false},
      {"raise on negative channel", vz::kCmdAlarmRaised, 1, -1, false, 0, false},
      {"clear on negative channel", vz::kCmdAlarmCleared, 1, -1, false, 0, false},
      {"other code", vz::kCmdGetTime, 1, 0, false, 0, false},
  };
  for (const AlarmCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerPtr p = NewPlayer();
    Seen seen;
    seen.Install(*p);
    Feed(*p, AlarmUnit(c.cmd, c.type, kT, c.chl, 77));
    ASSERT_EQ(seen.alarms.size(), c.raised ? 1u : 0u);
    EXPECT_EQ(p->IsAlarm(), c.activeAfter);
    if (c.raised) {
      EXPECT_EQ(seen.alarms[0].Type, c.hookType);
      EXPECT_EQ(seen.alarms[0].Chl, c.chl);
      EXPECT_EQ(seen.alarms[0].Flag, 77);
      EXPECT_DOUBLE_EQ(seen.alarms[0].Time, kT / 86400.0 + 25569.0);
    }
  }
}

TEST(PlayerDispatch, AlarmStaysActiveForTenSecondsOfVideoTime) {
  PlayerPtr p = NewPlayer();
  Feed(*p, AlarmUnit(vz::kCmdAlarmRaised, 1, kT, 0, 0));
  EXPECT_TRUE(p->IsAlarm());
  Feed(*p, FrameUnit(vz::kMarkerVideo, (kT + 9ull) * 1000000, 0, true, 0, 100, 1));
  EXPECT_TRUE(p->IsAlarm());
  Feed(*p, FrameUnit(vz::kMarkerAudio, (kT + 30ull) * 1000000, 0, false, 0, 100, 1));
  EXPECT_TRUE(p->IsAlarm()) << "audio frames do not end it";
  Feed(*p, FrameUnit(vz::kMarkerVideo, (kT + 10ull) * 1000000, 0, false, 0, 100, 1));
  EXPECT_FALSE(p->IsAlarm());
}

TEST(PlayerDispatch, StatusOfChannelZeroFillsTheHistoryNewestLast) {
  PlayerPtr p = NewPlayer();
  Seen seen;
  seen.Install(*p);
  for (int i = 1; i <= 61; ++i) Feed(*p, StatusUnit(0, static_cast<uint8_t>(i)));
  Feed(*p, StatusUnit(1, 200));  // other channels change nothing
  uint8_t h[TAxPlay::kStatusHistoryEntries][4];
  p->StatusHistory(h);
  EXPECT_EQ(h[59][1], 61);
  EXPECT_EQ(h[0][1], 2);
  EXPECT_EQ(h[0][0], 0);
  ASSERT_EQ(seen.statuses.size(), 61u);
  EXPECT_EQ(seen.statuses.back(), (std::vector<uint8_t>{0, 61}));
}

TEST(PlayerDispatch, FramesReachTheHooksInOrderAndShortAudioIsNotPlayed) {
  PlayerPtr p = NewPlayer();
  Seen seen;
  seen.Install(*p);
  p->SetAudioPlayMask(0b101);
  Feed(*p, FrameUnit(vz::kMarkerVideo, 1000000, 0, true, 0, 1000, 1));
  Feed(*p, FrameUnit(vz::kMarkerAudio, 1000000, 0, false, 0, 1023, 2));  // hook only
  Feed(*p, FrameUnit(vz::kMarkerAudio, 1000000, 0, false, 0, 1024, 3));  // played
  Feed(*p, FrameUnit(vz::kMarkerAudio, 1000000, 1, false, 0, 2048, 4));  // channel 1 muted
  Feed(*p, FrameUnit(vz::kMarkerAudio, 1000000, 2, false, 1, 4096, 5));  // channel 2 played
  Feed(*p, FrameUnit(vz::kMarkerVideo, 2000000, 0, false, 1, 0, 6));  // 24 bytes: nothing
  ASSERT_EQ(seen.frames.size(), 5u);
  const uint8_t fills[] = {1, 2, 3, 4, 5};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(seen.frames[i].Fill, fills[i]);
  EXPECT_EQ(seen.frames[0].Total, 1024u);
  EXPECT_EQ(seen.frames[4].Stream, 1);
  EXPECT_EQ(seen.frames[4].Chl, 2);
  EXPECT_EQ(seen.audioRaw, (std::vector<uint32_t>{1024, 4096}));
}

TEST(PlayerDispatch, EveryUnitCopiesTheLoginStateAndShortUnitsAreIgnored) {
  PlayerPtr p = NewPlayer();
  Seen seen;
  seen.Install(*p);
  Feed(*p, StatusUnit(3, 1), true);
  EXPECT_TRUE(p->IsConnect());
  EXPECT_TRUE(p->IsPlay());
  p->Stop();
  EXPECT_FALSE(p->IsPlay());
  Feed(*p, RawUnit(vz::kMarkerOther88, 0, 0, 0), true);
  EXPECT_TRUE(p->IsPlay()) << "the device keeps sending after Stop";
  // A head that announces more than the unit holds is not dispatched.
  std::vector<uint8_t> cut = FrameUnit(vz::kMarkerVideo, 1000000, 0, true, 0, 100, 9);
  cut.resize(cut.size() - 1);
  Feed(*p, cut, false);
  EXPECT_TRUE(p->IsConnect());
  EXPECT_EQ(seen.FrameCount(), 0u);
  p->DispatchUnit(nullptr, 0, false);
  Feed(*p, RawUnit(vz::kMarkerOtherDD, 0, 0, 0), false);
  EXPECT_FALSE(p->IsConnect());
  // Stop disconnects nothing, so the (unconnected) player stays as it was.
  EXPECT_TRUE(p->DisConn());
}

TEST(PlayerDispatch, ConfigurationOperationsOfAnUnconnectedPlayerFail) {
  PlayerPtr p = NewPlayer();
  vz::TNetCfg net{};
  vz::TVideoCfg video{};
  EXPECT_FALSE(p->GetNetCfg(&net, false));
  EXPECT_FALSE(p->SetNetCfg(&net));
  EXPECT_FALSE(p->ClearAlarm(0));
  EXPECT_EQ(p->GetDevTime(), 0.0);
  EXPECT_FALSE(p->SetDevTime(45000.0));
  EXPECT_FALSE(p->Reboot());
  EXPECT_FALSE(p->StartNmlRec(0));
  EXPECT_TRUE(p->GetVideoCfg(&video, 0, true)) << "the cached record answers without a connection";
  EXPECT_FALSE(p->Play());
  EXPECT_FALSE(p->IsPlay());
}

}  // namespace
}  // namespace playertest
