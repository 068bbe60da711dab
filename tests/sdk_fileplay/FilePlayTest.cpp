// The playback thread's states, driven through the play control with the
// picture path and the window replaced by fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "FilePlayFakes.h"
#include "TestEnv.h"

namespace {

using fptest::TSeen;
using vz::TFilePlay;

class FilePlayTest : public ::testing::Test {
 protected:
  std::string Write(const fptest::TRecBytes& rec, const std::string& name = "a.av") {
    const auto path = dir_ / name;
    vztest::WriteFileBytes(path, rec.bytes);
    return path.string();
  }
  static bool StateIs(TFilePlay& p, int32_t state) {
    for (int i = 0; i < 1000; ++i) {
      if (p.PlayState() == state) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // Rewinds with PS_Stop and forgets what was seen so far: the player
  // then waits paused at the first frame.
  void Rewind(TFilePlay& p) {
    seen_.Clear();
    p.PlayCtrl(PS_Stop, 0, 0);
    ASSERT_TRUE(seen_.WaitFor([&] { return std::count(seen_.messages.begin(), seen_.messages.end(), 11123u) > 0; }))
        << "state " << p.PlayState() << " ended " << p.ThreadEnded() << " msgs " << seen_.messages.size();
    ASSERT_TRUE(StateIs(p, PS_Pause));
    seen_.Clear();
  }
  size_t VideoCount() {
    std::lock_guard<std::mutex> g(seen_.lock);
    return seen_.video.size();
  }

  vztest::TempDir dir_;
  TSeen seen_;
};

TEST_F(FilePlayTest, OpenRefusesMissingAndHeaderOnlyFiles) {
  struct Case {
    const char* what;
    size_t bytes;
    bool opens;
  } cases[] = {{"empty", 0, false}, {"header only", 256, false}, {"one byte more", 257, true}};
  for (const Case& c : cases) {
    const auto path = dir_ / (std::string(c.what) + ".av");
    vztest::WriteFileBytes(path, std::string(c.bytes, '\0'));
    auto play = TFilePlay::Open(path.string());
    EXPECT_EQ(play != nullptr, c.opens) << c.what;
    if (play) {
      EXPECT_TRUE(play->Close());
    }
  }
  EXPECT_EQ(TFilePlay::Open((dir_ / "missing.av").string()), nullptr);
}

TEST_F(FilePlayTest, OneKeyFramePlaysAndReportsTheEnd) {
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile({{true, true, 1000, 50}})), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  play->PlayCtrl(PS_Play, 0, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return std::count(seen_.messages.begin(), seen_.messages.end(), 11123u) > 0; }));
  ASSERT_TRUE(StateIs(*play, PS_Pause));
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.video, std::vector<uint32_t>{0});
    // The progress after the frame names the position behind it.
    ASSERT_FALSE(seen_.lparams.empty());
    EXPECT_EQ(seen_.messages.front(), 11122u);
    EXPECT_EQ(seen_.lparams.front(), 256u + 24u + 50u);
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, StopRewindsToTheFirstFrameAndReports11123) {
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(fptest::Gops(12, 4, false))), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  play->PlayCtrl(PS_Play, 0, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 3; }));
  Rewind(*play);  // asserts the report and the pause
  play->PlayCtrl(PS_Play, 0, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return !seen_.video.empty(); }));
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.video.front(), 0u);
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, FastBackwardAtTheStartRepeatsTheFirstKeyFrame) {
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(fptest::Gops(12, 4, true))), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  play->PlayCtrl(PS_StepForward, 0, 0);  // the first key frame is frame 0
  ASSERT_TRUE(StateIs(*play, PS_Pause));
  seen_.Clear();
  play->PlayCtrl(PS_FastBackward, 8, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 4; }));
  EXPECT_EQ(play->PlayState(), PS_FastBackward);
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    for (uint32_t index : seen_.video) EXPECT_EQ(index, 0u);
    for (const std::string& text : seen_.speedTexts) EXPECT_EQ(text, "X 8");
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, FastBackwardWalksKeyFramesDownToTheFirst) {
  // Video frame i is file frame 2i (audio in between); keys at 0, 4, 8.
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(fptest::Gops(12, 4, true))), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  play->PlayCtrl(PS_FastForward, 16, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 3; }));  // keys 0, 8, 16 in file frames
  play->PlayCtrl(PS_Pause, 0, 0);
  ASSERT_TRUE(StateIs(*play, PS_Pause));
  seen_.Clear();
  play->PlayCtrl(PS_FastBackward, 16, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 4; }));
  play->PlayCtrl(PS_Pause, 0, 0);
  std::lock_guard<std::mutex> g(seen_.lock);
  const std::vector<uint32_t> first4(seen_.video.begin(), seen_.video.begin() + 4);
  EXPECT_EQ(first4, (std::vector<uint32_t>{8, 0, 0, 0}));
}

TEST_F(FilePlayTest, DragTo300LandsOnTheFirstKeyFrameAndPlays) {
  // The first key frame (256 + 24 + 100) ends after offset 300.
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(fptest::Gops(12, 4, false))), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  struct {
    const char* from;
    int32_t setup;
  } starts[] = {{"after some frames", PS_FastForward}, {"at the start", PS_Pause}};
  for (const auto& start : starts) {
    play->PlayCtrl(start.setup, 4, 0);
    if (start.setup == PS_FastForward) {
      ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 2; }));
    }
    play->PlayCtrl(PS_Pause, 0, 0);
    ASSERT_TRUE(StateIs(*play, PS_Pause));
    seen_.Clear();
    play->PlayCtrl(PS_DragPos, 0, 300);
    ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 2; })) << start.from;
    {
      std::lock_guard<std::mutex> g(seen_.lock);
      EXPECT_EQ(seen_.video[0], 0u) << start.from;
      EXPECT_EQ(seen_.video[1], 1u) << start.from << ": plays on";
    }
    Rewind(*play);
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, DragForwardFindsTheKeyFrameEndingAtOrAfterThePosition) {
  const auto rec = fptest::BuildRecFile(fptest::Gops(12, 4, false));
  fptest::TPlayer play(fptest::OpenWithFakes(Write(rec), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  // Inside frame 5: the next key frame is 8.
  play->PlayCtrl(PS_DragPos, 0, static_cast<uint32_t>(rec.offsets[5] + 10));
  ASSERT_TRUE(seen_.WaitFor([&] { return !seen_.video.empty(); }));
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.video[0], 8u);
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, StepForwardFromAPFrameSkipsToTheNextKeyFrame) {
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(fptest::Gops(12, 4, true))), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  // Pause while frame 1 (a P-frame) is shown.
  seen_.SetOnVideo([&](uint32_t index) {
    if (index == 2) play->PlayCtrl(PS_Pause, 0, 0);
  });
  play->PlayCtrl(PS_Play, 0, 0);
  ASSERT_TRUE(StateIs(*play, PS_Pause));
  seen_.SetOnVideo(nullptr);
  seen_.Clear();
  play->PlayCtrl(PS_StepForward, 0, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return !seen_.video.empty(); }));
  ASSERT_TRUE(StateIs(*play, PS_Pause));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard<std::mutex> g(seen_.lock);
  // File frames: video i at 2i; the next key after video frame 1 is video 4.
  EXPECT_EQ(seen_.video, std::vector<uint32_t>{8});
  EXPECT_TRUE(seen_.audio.empty());
}

TEST_F(FilePlayTest, MuteSilencesTheAudioCallback) {
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(fptest::Gops(6, 3, true))), seen_));
  ASSERT_TRUE(play);
  for (bool mute : {true, false}) {
    Rewind(*play);
    play->SetAudioMute(mute);
    play->PlayCtrl(PS_Play, 0, 0);
    ASSERT_TRUE(seen_.WaitFor([&] { return std::count(seen_.messages.begin(), seen_.messages.end(), 11123u) > 0; }));
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.video.size(), 6u) << "mute " << mute;
    EXPECT_EQ(seen_.audio.size(), mute ? 0u : 6u);
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, FileCutShortPlaysToItsLastCompleteFrame) {
  auto rec = fptest::BuildRecFile(fptest::Gops(8, 4, false));
  rec.bytes.resize(rec.bytes.size() - 30);  // the last frame loses its tail; header length stays 0
  fptest::TPlayer play(fptest::OpenWithFakes(Write(rec), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  play->PlayCtrl(PS_Play, 0, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return std::count(seen_.messages.begin(), seen_.messages.end(), 11123u) > 0; }));
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.video.size(), 7u);
  }
  // A drag into the cut tail lands on the last key frame before it.
  seen_.Clear();
  play->PlayCtrl(PS_DragPos, 0, static_cast<uint32_t>(rec.bytes.size() - 5));
  ASSERT_TRUE(seen_.WaitFor([&] { return !seen_.video.empty(); }));
  {
    std::lock_guard<std::mutex> g(seen_.lock);
    EXPECT_EQ(seen_.video[0], 4u);
  }
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, BrokenBackLinkEndsPlaybackAndCloseStillWorks) {
  auto rec = fptest::BuildRecFile(fptest::Gops(8, 4, false));
  // Frame 6 links into the middle of frame 5: no frame head there.
  fptest::PutI32(rec.bytes, rec.offsets[6] + vz::kStreamTypeOffset, static_cast<int32_t>(rec.offsets[5] + 7));
  fptest::TPlayer play(fptest::OpenWithFakes(Write(rec), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  seen_.SetOnVideo([&](uint32_t index) {
    if (index == 6) play->PlayCtrl(PS_StepBackward, 0, 0);
  });
  play->PlayCtrl(PS_Play, 0, 0);
  for (int i = 0; i < 1000 && !play->ThreadEnded(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(play->ThreadEnded());
  EXPECT_TRUE(play->Close());
}

TEST_F(FilePlayTest, CloseEndsTheThreadWhileItWaitsOutALongGap) {
  std::vector<fptest::TFrameSpec> frames = {{true, true, 1000000, 50}, {true, false, 9000000, 50},
                                            {true, false, 9100000, 50}};
  fptest::TPlayer play(fptest::OpenWithFakes(Write(fptest::BuildRecFile(frames)), seen_));
  ASSERT_TRUE(play);
  Rewind(*play);
  play->PlayCtrl(PS_Play, 0, 0);
  ASSERT_TRUE(seen_.WaitFor([&] { return seen_.video.size() >= 2; }));
  // Now pacing waits about 7 s before frame 2; Close must not.
  EXPECT_TRUE(play->Close());
  EXPECT_TRUE(play->ThreadEnded());
}

}  // namespace
