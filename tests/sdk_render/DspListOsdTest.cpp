// The display list and the live overlay items.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "LiveOsd.h"
#include "RenderTestUtil.h"
#include "class_DspInfoLst.h"
#include "class_DRender.h"

namespace {

TEST(DspInfoLst, HoldsTheCallersRecordsOnceAndReadsThemAfresh) {
  vz::TDspInfoLst list;
  vz::TDspInfo a{11, 0, {0, 0, 10, 10}}, b{12, 0, {0, 0, 20, 20}}, c{13, 1, {0, 0, 30, 30}};
  EXPECT_FALSE(list.Add(nullptr));
  EXPECT_TRUE(list.Add(&a));
  EXPECT_TRUE(list.Add(&b));
  EXPECT_TRUE(list.Add(&a));  // already listed: not twice
  EXPECT_TRUE(list.Add(&c));
  EXPECT_EQ(list.Count(), 3);

  // Last added first, one channel only, the rectangle as it is now.
  b.DspRect.Right = 25;
  auto ch0 = list.ForChannel(0);
  ASSERT_EQ(ch0.size(), 2u);
  EXPECT_EQ(ch0[0].Record, &b);
  EXPECT_EQ(ch0[0].DspRect.Right, 25);
  EXPECT_EQ(ch0[1].Record, &a);
  ASSERT_EQ(list.ForChannel(1).size(), 1u);
  EXPECT_TRUE(list.ForChannel(2).empty());

  // Removals are counted so stale reads can be told apart.
  uint64_t seq0 = 99, seq1 = 99;
  list.ForChannel(0, &seq0);
  EXPECT_TRUE(list.Remove(&b));
  EXPECT_TRUE(list.Remove(&b));  // not listed any more: still true
  list.ForChannel(0, &seq1);
  EXPECT_EQ(seq0, 0u);
  EXPECT_EQ(seq1, 1u);
  EXPECT_FALSE(list.Contains(&b));
  EXPECT_EQ(list.Count(), 2);
}

vz::TVideoCfg VideoCfg() {
  vz::TVideoCfg v;
  std::memset(&v, 0, sizeof v);
  std::memcpy(v.OsdTitle, "Gate", 4);
  v.OsdTimeItem = vz::TOsdItem{24, 0, 1, 15, 10, 20};
  v.OsdTitleItem = vz::TOsdItem{0, 0, 1, 7, 300, 20};
  v.OsdRateItem = vz::TOsdItem{16, 0, 0, 12, 10, 500};
  return v;
}

TEST(LiveOsd, TextItemsFollowTheRecordWhileItsRefreshFlagIsZero) {
  vz::TRender render;
  render.SetPictureSize(704, 576);
  vz::TVideoCfg v = VideoCfg();
  vz::TLiveOsdFrame f;
  f.Second = 1700000000;  // 2023-11-14 22:13:20 on the device clock
  f.StatusLine = "25 fps ,  512 Kbps";
  vz::UpdateLiveOsd(render, v, f);

  const vz::TTextParam time = render.TextItem(0);
  EXPECT_EQ(time.Text, "2023-11-14 22:13:20");
  EXPECT_EQ(time.Visible, 1);
  EXPECT_EQ(time.Colour, 0xFFFFFFu);  // palette 15
  EXPECT_EQ(time.Size, 24);
  EXPECT_EQ(time.X, 10);
  const vz::TTextParam title = render.TextItem(1);
  EXPECT_EQ(title.Text, "Gate");
  EXPECT_EQ(title.Colour, 0x0000FFu);  // palette 7, red
  EXPECT_EQ(title.X, 300);
  const vz::TTextParam rate = render.TextItem(2);
  EXPECT_EQ(rate.Text, "25 fps ,  512 Kbps");
  EXPECT_EQ(rate.Visible, 0);  // the record's show-frame-rate setting is off
  EXPECT_EQ(rate.Colour, 0xFFFF00u);

  // Refresh flag set: the item keeps what it had.
  v.OsdTimeItem.Refresh = 1;
  f.Second += 5;
  vz::UpdateLiveOsd(render, v, f);
  EXPECT_EQ(render.TextItem(0).Text, "2023-11-14 22:13:20");
  EXPECT_EQ(render.TextItem(3).Visible, 0);  // the file player's item is untouched
}

TEST(LiveOsd, IndicatorsBlinkInTheSecondHalfOfEachSecondWhileTheOsdIsOn) {
  vz::TRender render;
  render.SetPictureSize(704, 576);
  const vz::TVideoCfg v = VideoCfg();
  struct Case {
    uint64_t us;
    bool recording, alarm, osd;
    bool rec_lit, alarm_lit;
  } cases[] = {
      {1'000'499'999, true, true, true, false, false},
      {1'000'500'000, true, true, true, true, true},
      {1'000'999'999, true, false, true, true, false},
      {1'000'700'000, false, true, true, false, true},
      {1'000'700'000, true, true, false, false, false},  // OSD off: nothing shown
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.us);
    vz::TLiveOsdFrame f;
    f.Second = static_cast<int64_t>(c.us / 1'000'000);
    f.TimeStamp = c.us;
    f.NormalRecording = c.recording;
    f.AlarmOn = c.alarm;
    f.ShowOSD = c.osd;
    vz::UpdateLiveOsd(render, v, f);
    EXPECT_EQ(render.IndicatorItem(0).Visible != 0, c.rec_lit);
    EXPECT_EQ(render.IndicatorItem(1).Visible != 0, c.alarm_lit);
    if (c.osd) {
      EXPECT_EQ(render.IndicatorItem(0).X, 704 - 80);
      EXPECT_EQ(render.IndicatorItem(0).Colour, 0x0000FFu);
      EXPECT_EQ(render.IndicatorItem(1).X, 704 - 120);
      EXPECT_EQ(render.IndicatorItem(1).Colour, 0x00FFFFu);
    }
  }
}

TEST(LiveOsd, AlarmIndicatorCountsTenSecondsFromTheAlarmAndEarlierFrames) {
  EXPECT_TRUE(vz::AlarmIndicatorOn(1009, 1000));
  EXPECT_FALSE(vz::AlarmIndicatorOn(1010, 1000));
  EXPECT_TRUE(vz::AlarmIndicatorOn(990, 1000));  // a frame older than the alarm
}


// The decoding thread draws while API threads change the targets and take
// snapshots (no GUI application here: pictures are kept, not presented).
TEST(RenderThreads, DrawingWhileTargetsChangeAndSnapshotsAreTaken) {
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  const rendertest::TPicture pic(176, 144, rendertest::kGrey);
  std::atomic<bool> stop{false};
  std::thread drawer([&] {
    while (!stop.load() || render.RenderedCount() < 20) render.Render(pic.View(), 0, &list);
  });
  vz::TDspInfo infos[8];
  for (int round = 0; round < 200; ++round) {
    for (vz::TDspInfo& d : infos) {
      d = vz::TDspInfo{1, round % 2, {0, 0, 100 + round, 100}};
      list.Add(&d);
    }
    render.SetEqualScaling(round % 2 == 0);
    const QImage shot = render.Capture();
    if (!shot.isNull()) {
      EXPECT_EQ(shot.size(), QSize(176, 144));
    }
    for (vz::TDspInfo& d : infos) list.Remove(&d);
  }
  stop.store(true);
  drawer.join();
  EXPECT_GT(render.RenderedCount(), 0u);
}

}  // namespace
