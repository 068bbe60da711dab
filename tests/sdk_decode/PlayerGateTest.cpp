// The wait for a key frame inside a whole live player: whichever way its
// decoder is reopened in the middle of a group of pictures (as at connect,
// the tunnel's switch to H.264, the switch to Motion JPEG), the frame
// handler's gate holds the P-frames back from the fresh decoder and
// pictures resume at the next key frame.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TestStreams.h"
#include "class_AxPlay.h"
#include "class_PlayVideo.h"

namespace {

using vztest::TEncodedFrame;
using vztest::TTestCodec;

struct PlayerFree {
  void operator()(TAxPlay* p) const { TAxPlay::Free(p); }
};

constexpr int kWidth = 320;
constexpr int kHeight = 240;

std::vector<int> Range(int from, int to) {
  std::vector<int> r;
  for (int i = from; i < to; ++i) r.push_back(i);
  return r;
}

// The first four frames of a stream in one codec (key frame at 0), then,
// after the reopen, twelve frames that join another stream at its fifth
// frame: P-frames 4..7, then a key frame at 8.
struct TReopenCase {
  const char* Name;
  int32_t OpenCodec;
  TTestCodec Before;
  TTestCodec After;
  std::function<void(vz::IPlayVideo&)> Reopen;
  std::vector<int> Reached;  // frames (by position) handed to the decoder
};

void PrintTo(const TReopenCase& c, std::ostream* os) { *os << c.Name; }

std::vector<TEncodedFrame> Stream(TTestCodec codec) {
  auto frames = vztest::EncodeStream(codec, kWidth, kHeight, 16, 8);
  if (codec == TTestCodec::MJPEG420)
    for (auto& f : frames) f.Bytes = vztest::JpegWithFrameHeaderFirst(f.Bytes);
  return frames;
}

class PlayerReopen : public ::testing::TestWithParam<TReopenCase> {
 protected:
  void SetUp() override {
    player_.reset(TAxPlay::New(0));
    ASSERT_NE(player_->Video(), nullptr);
    video_ = static_cast<vz::TPlayVideo*>(player_->Video());
    player_->SetShowOSD(false);
    player_->SetDecodeStyle(vz::Decode_All);
  }
  void Feed(const TEncodedFrame& f) {
    const auto bytes = vztest::MakeFrame(f, time_us_);
    time_us_ += 40000;
    player_->HandleFrame(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }

  std::unique_ptr<TAxPlay, PlayerFree> player_;
  vz::TPlayVideo* video_ = nullptr;
  uint64_t time_us_ = 1700000000000000ull;
};

TEST_P(PlayerReopen, NoPFrameReachesTheNewDecoderBeforeAKeyFrame) {
  const TReopenCase& c = GetParam();
  const auto before = Stream(c.Before);
  const auto after = Stream(c.After);
  if (before.size() != 16u || after.size() != 16u) GTEST_SKIP() << "an encoder is missing";
  ASSERT_TRUE(player_->Video()->OpenVideo(c.OpenCodec));

  std::vector<int> reached;
  std::vector<int> shown;
  const auto feed = [&](const TEncodedFrame& f, int position) {
    const uint64_t payloads = video_->Decoder().Payloads();
    const uint64_t pictures = video_->Render().RenderedCount();
    Feed(f);
    if (video_->Decoder().Payloads() != payloads) reached.push_back(position);
    if (video_->Render().RenderedCount() != pictures) shown.push_back(position);
  };
  for (int i = 0; i < 4; ++i) feed(before[static_cast<size_t>(i)], i);
  ASSERT_EQ(shown, Range(0, 4));

  c.Reopen(*player_->Video());
  for (int i = 4; i < 16; ++i) feed(after[static_cast<size_t>(i)], i);
  EXPECT_EQ(reached, c.Reached);
  // Every frame that reached a decoder gave a picture.
  EXPECT_EQ(shown, c.Reached);
  EXPECT_EQ(player_->Width(), kWidth);
}

INSTANTIATE_TEST_SUITE_P(
    Live, PlayerReopen,
    ::testing::Values(
        // What a connect (or a tunnel's reconnect) does to an open decoder.
        TReopenCase{"ReopenAsAtConnect", vz::Codec_H264, TTestCodec::H264, TTestCodec::H264,
                    [](vz::IPlayVideo& v) { ASSERT_TRUE(v.OpenVideo(vz::Codec_H264)); },
                    [] {
                      auto r = Range(0, 4);
                      for (int i : Range(8, 16)) r.push_back(i);
                      return r;
                    }()},
        // Tunnel frames are H.264: the first one reopens the MPEG-4 decoder,
        // and it is a P-frame.
        TReopenCase{"TunnelSwitchesToH264", vz::Codec_MPEG4, TTestCodec::MPEG4, TTestCodec::H264,
                    [](vz::IPlayVideo& v) { v.SetTunnelChannel(1); },
                    [] {
                      auto r = Range(0, 4);
                      for (int i : Range(8, 16)) r.push_back(i);
                      return r;
                    }()},
        // JPEG pictures are whole pictures: the first one switches the
        // decoder and is shown, and none after it is lost.
        TReopenCase{"Mpeg4TurnsIntoJpegPictures", vz::Codec_MPEG4, TTestCodec::MPEG4, TTestCodec::MJPEG420,
                    [](vz::IPlayVideo&) {}, Range(0, 16)}),
    [](const ::testing::TestParamInfo<TReopenCase>& i) { return std::string(i.param.Name); });

}  // namespace
