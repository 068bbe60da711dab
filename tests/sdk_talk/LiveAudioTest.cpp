// The live audio path of a connected player: which audio frames reach the
// sound layer ("default" records every byte into a file), the output format
// taken from the device at connect, and the rebuild after the device's
// audio settings were changed through the player.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeDevice.h"
#include "PlayerEnv.h"
#include "TalkEnv.h"
#include "TestEnv.h"
#include "WaveFormat.h"
#include "class_WaveOut.h"
#include "vz_protocol.h"

namespace playertest {
namespace {

bool SameFormat(const TWaveFormat& a, const TWaveFormat& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

class LiveAudio : public ::testing::Test {
 protected:
  void Start(uint64_t mask) {
    std::filesystem::remove(talktest::PlayedFile());
    player_ = NewPlayer();
    {
      std::lock_guard<std::mutex> g(seen_.lock);
      seen_.frames.clear();
      seen_.audioRaw.clear();
    }
    seen_.Install(*player_);
    player_->SetAudioPlayMask(mask);
    player_->SetConnectArgs(LocalArgs(dev_.Port()));
    ASSERT_TRUE(player_->Connect());
    ASSERT_TRUE(player_->Play());
    ASSERT_TRUE(Eventually([&] { return dev_.Streaming(); }));
    ASSERT_NE(player_->WaveOut(), nullptr);
  }

  // Pushes the units, then a video frame behind them: once the hook has
  // that one, the reading thread is done with every audio frame before it.
  void PushAndSettle(const std::vector<std::vector<uint8_t>>& units) {
    std::vector<uint8_t> burst;
    for (const auto& u : units) burst.insert(burst.end(), u.begin(), u.end());
    const auto tail = FrameUnit(vz::kMarkerVideo, 1, 0, true, 0, 100, 0xEE);
    burst.insert(burst.end(), tail.begin(), tail.end());
    const size_t before = seen_.FrameCount();
    ASSERT_TRUE(dev_.Push(burst));
    ASSERT_TRUE(Eventually([&] { return seen_.FrameCount() == before + units.size() + 1; }));
    ASSERT_TRUE(Eventually([&] { return player_->WaveOut()->BusyBuffers() == 0; }, 30000));
  }

  FakeDevice dev_;
  Seen seen_;
  PlayerPtr player_;
};

struct AudioFrame {
  uint8_t chl;
  uint32_t bytes;
  uint8_t fill;
};

// Frames of channels 0, 1, 2 and 33 at and around the limits: 1,023 bytes is
// below the playing minimum, 40,000 above what one output buffer holds.
const AudioFrame kFrames[] = {
    {0, 2048, 1},  {1, 2048, 2},  {33, 4096, 3},  {0, 1023, 4}, {0, 40000, 5},
    {33, 1023, 6}, {0, 1024, 7},  {33, 32768, 8}, {2, 1024, 9}, {0, 32768, 10},
};

TEST_F(LiveAudio, EnabledChannelsArePlayedInOrderAndShortOrOversizedBlocksAreNot) {
  struct Case {
    const char* name;
    uint64_t mask;
  };
  const Case cases[] = {
      {"mask 0", 0},
      {"bit 0", 1},
      {"bit 33", uint64_t{1} << 33},
      {"bits 0 and 33", 1 | (uint64_t{1} << 33)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start(c.mask);
    std::vector<std::vector<uint8_t>> units;
    std::string expected;
    std::vector<uint32_t> raw;
    for (const AudioFrame& f : kFrames) {
      units.push_back(FrameUnit(vz::kMarkerAudio, 1, f.chl, false, 0, f.bytes, f.fill));
      const bool enabled = ((c.mask >> f.chl) & 1) != 0;
      if (enabled && f.bytes >= 1024) raw.push_back(f.bytes);
      if (enabled && f.bytes >= 1024 && f.bytes <= TWaveOut::kBufferBytes) expected.append(f.bytes, static_cast<char>(f.fill));
    }
    PushAndSettle(units);
    {
      std::lock_guard<std::mutex> g(seen_.lock);
      EXPECT_EQ(seen_.audioRaw, raw) << "the raw-audio hook sees every played size, oversized too";
      size_t audio = 0;
      for (const auto& f : seen_.frames) audio += f.Magic == vz::kMarkerAudio ? 1 : 0;
      EXPECT_EQ(audio, std::size(kFrames)) << "every audio frame reaches the data hook, mask or not";
    }
    player_.reset();  // closes the output: the file is complete
    const std::string played =
        std::filesystem::exists(talktest::PlayedFile()) ? vztest::ReadFileBytes(talktest::PlayedFile()) : "";
    if (expected.empty()) {
      // The sound layer pads the last period with silence, never with data.
      EXPECT_EQ(played.find_first_not_of('\0'), std::string::npos) << "something was played";
    } else {
      ASSERT_GE(played.size(), expected.size());
      EXPECT_TRUE(played.compare(0, expected.size(), expected) == 0) << "played bytes differ";
      EXPECT_EQ(played.find_first_not_of('\0', expected.size()), std::string::npos) << "more was played";
    }
  }
}

TEST_F(LiveAudio, ConnectTakesTheDevicesFormatAndANewCodecRebuildsTheOutput) {
  Start(1);
  TWaveOut* out = player_->WaveOut();
  EXPECT_TRUE(out->Active());
  EXPECT_TRUE(out->IsOpen());
  EXPECT_TRUE(SameFormat(out->Format(), vz::WaveFormatOfDevice(DefaultCfg().Audio)));

  struct Case {
    const char* name;
    int32_t active;
    int32_t codec;
    bool rebuilt;
  };
  // The codec the output was last built for starts as the device's.
  const Case cases[] = {
      {"same codec", 1, DefaultCfg().Audio.Codec, false},
      {"audio off", 0, 7, false},
      {"new codec", 1, 5, true},
      {"that codec again", 1, 5, false},
  };
  int32_t rate = 11025;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TWaveFormat before = out->Format();
    vz::TAudioCfg cfg = DefaultCfg().Audio;
    cfg.Active = c.active;
    cfg.Codec = c.codec;
    cfg.Channels = 2;
    cfg.SampleRate = rate;
    cfg.BlockAlign = 4;
    cfg.AvgBytesPerSec = rate * 4;
    rate += 1000;
    ASSERT_TRUE(player_->SetAudioCfg(&cfg, 0));
    EXPECT_EQ(player_->WaveOut(), out);
    EXPECT_TRUE(out->Active());
    if (c.rebuilt) {
      EXPECT_TRUE(SameFormat(out->Format(), vz::WaveFormatOfDevice(cfg)));
      EXPECT_TRUE(out->IsOpen());
    } else {
      EXPECT_TRUE(SameFormat(out->Format(), before));
    }
  }

  // The rebuilt output plays.
  std::vector<std::vector<uint8_t>> units = {FrameUnit(vz::kMarkerAudio, 1, 0, false, 0, 4096, 0x5A)};
  PushAndSettle(units);
  player_.reset();
  const std::string played = vztest::ReadFileBytes(talktest::PlayedFile());
  ASSERT_GE(played.size(), 4096u);
  EXPECT_EQ(played.substr(0, 4096), std::string(4096, '\x5A'));
}

}  // namespace
}  // namespace playertest
