// The live video path: frame handler, decode-style gate, TLiveDecode with
// its codec switches and size reports, and the picture hand-over.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "TestStreams.h"
#include "class_FrameHandler.h"
#include "class_LiveDecode.h"

namespace {

using vztest::TTestCodec;

struct TSink : vz::IPictureSink {
  int Variant = 0;
  std::vector<int> Indices;
  std::vector<std::string> Faults;
  std::vector<uint8_t> Channels;
  std::vector<std::pair<int, int>> Sizes;
  void ShowPicture(const vz::TDecodedPicture& p, const vz::TFrameView& f) override {
    int index = -1;
    const std::string fault = vztest::CheckPicture(p, Variant, index);
    if (!fault.empty()) Faults.push_back(fault);
    Indices.push_back(index);
    Channels.push_back(f.Head.Chl);
    Sizes.emplace_back(p.Width, p.Height);
  }
};

// A player's video path in small: the handler's gate is the decoder's gate.
struct TLivePath {
  std::mutex decoder_lock;
  vz::TAVDecode decoder;
  TSink sink;
  std::vector<std::tuple<int, int, int>> size_reports;
  int32_t configured_codec = vz::Codec_H264;
  vz::TLiveDecode live{MakeSeams()};
  vz::TFrameHandler handler{MakeFrameSeams()};
  uint64_t time_us = 1700000000000000ull;

  TLivePath() { decoder.UseGate(&handler.Gate()); }

  vz::TLiveDecodeSeams MakeSeams() {
    vz::TLiveDecodeSeams s;
    s.Decoder = &decoder;
    s.DecoderLock = &decoder_lock;
    s.Sink = &sink;
    s.CodecForStream = [this](int32_t) { return configured_codec; };
    s.OnSizeChanged = [this](int32_t w, int32_t h, uint8_t chl) { size_reports.emplace_back(w, h, chl); };
    return s;
  }
  vz::TFrameSeams MakeFrameSeams() {
    vz::TFrameSeams s;
    s.Video = &live;
    s.DecoderLock = &decoder_lock;
    return s;
  }
  // What the player does at connect.
  void Connect(int32_t codec, int w, int h) {
    configured_codec = codec;
    live.SetShownSize(w, h);
    ASSERT_TRUE(live.Reopen(codec));
  }
  void Feed(const vztest::TEncodedFrame& f, uint8_t channel = 0) {
    const auto bytes = vztest::MakeFrame(f, time_us, channel);
    time_us += 40000;
    handler.Handle(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
};

const std::vector<vztest::TEncodedFrame>& H264Stream() {
  // 24 pictures, key frames at 0, 8 and 16.
  static const auto frames = vztest::EncodeStream(TTestCodec::H264, 352, 288, 24, 8);
  return frames;
}

struct TStyleCase {
  const char* Name;
  uint8_t Style;
  int SwitchAt;  // -1: none; else switch to SwitchTo before this frame
  uint8_t SwitchTo;
  std::vector<int> Shown;
};

std::vector<int> Range(int from, int to) {
  std::vector<int> r;
  for (int i = from; i < to; ++i) r.push_back(i);
  return r;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class DecodeStyles : public ::testing::TestWithParam<TStyleCase> {};

TEST_P(DecodeStyles, ShowExactlyTheFramesTheStyleAdmits) {
  const TStyleCase& c = GetParam();
  ASSERT_EQ(H264Stream().size(), 24u);
  TLivePath path;
  path.Connect(vz::Codec_H264, 352, 288);
  path.decoder.SetDecodeStyle(c.Style);
  for (int i = 0; i < 24; ++i) {
    if (i == c.SwitchAt) path.decoder.SetDecodeStyle(c.SwitchTo);
    path.Feed(H264Stream()[static_cast<size_t>(i)]);
  }
  EXPECT_TRUE(path.sink.Faults.empty());
  EXPECT_EQ(path.sink.Indices, c.Shown);
  EXPECT_TRUE(path.size_reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Live, DecodeStyles,
    ::testing::Values(TStyleCase{"NeverSet", vz::Decode_None, -1, 0, {}},
                      TStyleCase{"KeyFramesOnly", vz::Decode_IFrame, -1, 0, {0, 8, 16}},
                      TStyleCase{"All", vz::Decode_All, -1, 0, Range(0, 24)},
                      // Mid-GOP switch: nothing until the next key frame.
                      TStyleCase{"KeyOnlyThenAllMidGroup", vz::Decode_IFrame, 11, vz::Decode_All,
                                 Join({0, 8}, Range(16, 24))},
                      TStyleCase{"AllThenNone", vz::Decode_All, 5, vz::Decode_None, Range(0, 5)},
                      TStyleCase{"NoneThenAllMidGroup", vz::Decode_None, 3, vz::Decode_All, Range(8, 24)}),
    [](const ::testing::TestParamInfo<TStyleCase>& i) { return std::string(i.param.Name); });

TEST(LiveDecode, Mpeg4KeyFramesOnlyShowsEachKeyFrameWithItsOwnPayload) {
  const auto mpeg4 = vztest::EncodeStream(TTestCodec::MPEG4, 352, 288, 24, 8);
  ASSERT_EQ(mpeg4.size(), 24u);
  TLivePath path;
  path.Connect(vz::Codec_MPEG4, 352, 288);
  path.decoder.SetDecodeStyle(vz::Decode_IFrame);
  std::vector<size_t> shown_after;
  for (const auto& f : mpeg4) {
    path.Feed(f);
    shown_after.push_back(path.sink.Indices.size());
  }
  EXPECT_EQ(path.sink.Indices, (std::vector<int>{0, 8, 16}));
  EXPECT_EQ(shown_after[0], 1u);
  EXPECT_EQ(shown_after[8], 2u);
  EXPECT_EQ(shown_after[16], 3u);
}

TEST(LiveDecode, ReopenForADisplayStreamChangeRestartsAtAKeyFrame) {
  TLivePath path;
  path.Connect(vz::Codec_H264, 352, 288);
  path.decoder.SetDecodeStyle(vz::Decode_All);
  for (int i = 0; i < 4; ++i) path.Feed(H264Stream()[static_cast<size_t>(i)]);
  path.handler.SetDisplayStreamType(1);  // the sub stream is shown from now on
  for (int i = 4; i < 12; ++i) {
    const auto bytes = vztest::MakeFrame(H264Stream()[static_cast<size_t>(i)], path.time_us, 0, 1);
    path.handler.SetStreamSource(vz::TStreamSource::WithSubStream);
    path.handler.Handle(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  EXPECT_EQ(path.sink.Indices, Join(Range(0, 4), Range(8, 12)));
}

TEST(LiveDecode, AJpegPictureInAnMpeg4StreamSwitchesToMotionJpegForGood) {
  const auto mpeg4 = vztest::EncodeStream(TTestCodec::MPEG4, 352, 288, 10, 5);
  const auto jpeg = vztest::EncodeStream(TTestCodec::MJPEG420, 352, 288, 3, 1, 1, 20);
  ASSERT_EQ(mpeg4.size(), 10u);
  ASSERT_EQ(jpeg.size(), 3u);
  TLivePath path;
  path.Connect(vz::Codec_MPEG4, 352, 288);
  path.decoder.SetDecodeStyle(vz::Decode_All);
  for (const auto& f : mpeg4) path.Feed(f);
  EXPECT_EQ(path.decoder.Codec(), vz::Codec_MPEG4);
  ASSERT_GE(path.sink.Indices.size(), 9u);
  EXPECT_TRUE(path.sink.Faults.empty());

  // As the encoder writes it (application segment first): not the marker
  // sequence that switches, so the MPEG-4 decoder gets it and shows nothing.
  ASSERT_NE(jpeg[0].Bytes[3], 0xC0);
  const size_t shown = path.sink.Indices.size();
  path.Feed(jpeg[0]);
  EXPECT_EQ(path.decoder.Codec(), vz::Codec_MPEG4);

  path.sink.Variant = 1;
  path.sink.Faults.clear();
  const size_t before = path.sink.Indices.size();
  for (const auto& f : jpeg) {
    vztest::TEncodedFrame sof_first{vztest::JpegWithFrameHeaderFirst(f.Bytes), true};
    ASSERT_FALSE(sof_first.Bytes.empty());
    path.Feed(sof_first);
    EXPECT_EQ(path.decoder.Codec(), vz::Codec_MJPEG);
  }
  EXPECT_GE(before, shown);
  EXPECT_TRUE(path.sink.Faults.empty()) << path.sink.Faults.front();
  EXPECT_EQ(std::vector<int>(path.sink.Indices.begin() + static_cast<std::ptrdiff_t>(before), path.sink.Indices.end()),
            (std::vector<int>{20, 21, 22}));
  // No way back by itself: MPEG-4 payloads now go to the JPEG decoder.
  path.Feed(mpeg4[5]);
  EXPECT_EQ(path.decoder.Codec(), vz::Codec_MJPEG);
}

TEST(LiveDecode, JpegMarkerCheckIsExact) {
  const std::vector<std::pair<std::vector<uint8_t>, bool>> cases = {
      {{0xFF, 0xD8, 0xFF, 0xC0}, true},
      {{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11}, true},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}, false},
      {{0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x11}, false},
      {{0xFF, 0xD8, 0xFF}, false},
      {{}, false},
  };
  for (const auto& [bytes, want] : cases)
    EXPECT_EQ(vz::StartsWithJpegBaseline(bytes.data(), static_cast<uint32_t>(bytes.size())), want);
  EXPECT_FALSE(vz::StartsWithJpegBaseline(nullptr, 4));
}

TEST(LiveDecode, AChangedPictureSizeIsReportedOnceWithTheChannel) {
  const auto small = vztest::EncodeStream(TTestCodec::H264, 352, 288, 4, 4);
  const auto large = vztest::EncodeStream(TTestCodec::H264, 704, 576, 4, 4, 0, 4);
  TLivePath path;
  path.Connect(vz::Codec_H264, 352, 288);
  path.decoder.SetDecodeStyle(vz::Decode_All);
  for (const auto& f : small) path.Feed(f, 3);
  EXPECT_TRUE(path.size_reports.empty());
  for (const auto& f : large) path.Feed(f, 3);
  for (const auto& f : small) path.Feed(f, 3);
  using R = std::tuple<int, int, int>;
  EXPECT_EQ(path.size_reports, (std::vector<R>{R{704, 576, 3}, R{352, 288, 3}}));
  EXPECT_EQ(path.live.ShownWidth(), 352);
  ASSERT_EQ(path.sink.Sizes.size(), 12u);
  EXPECT_EQ(path.sink.Sizes[4], std::make_pair(704, 576));
  EXPECT_EQ(path.sink.Indices, Join(Join(Range(0, 4), Range(4, 8)), Range(0, 4)));
  EXPECT_EQ(path.sink.Channels.front(), 3);
}

TEST(LiveDecode, TunnelFramesAlwaysGoToTheH264Decoder) {
  TLivePath path;
  path.Connect(vz::Codec_MPEG4, 640, 480);
  path.live.SetTunnel(true, 5);
  path.decoder.SetDecodeStyle(vz::Decode_All);
  path.handler.SetStreamSource(vz::TStreamSource::Tunnel);
  for (int i = 0; i < 10; ++i) path.Feed(H264Stream()[static_cast<size_t>(i)]);
  EXPECT_EQ(path.decoder.Codec(), vz::Codec_H264);
  EXPECT_EQ(path.decoder.TunnelChannel(), 5);
  // The switch reopens the decoder on a key frame: that frame starts the
  // new decoder, and the P-frames that build on it are shown too.
  EXPECT_EQ(path.sink.Indices, Range(0, 10));
  using R = std::tuple<int, int, int>;
  EXPECT_EQ(path.size_reports, (std::vector<R>{R{352, 288, 0}}));
}

// The caller's thread reconnects (close, set, open) and changes the style
// while the receiving thread decodes: every picture that reaches the sink
// is whole, and the stream still decodes once the caller is done.
TEST(LiveDecode, ReopensFromAnotherThreadWhileDecoding) {
  TLivePath path;
  path.Connect(vz::Codec_H264, 352, 288);
  path.decoder.SetDecodeStyle(vz::Decode_All);
  std::atomic<bool> done{false};
  std::thread caller([&] {
    for (int i = 0; i < 40; ++i) {
      path.live.Reopen(i % 5 == 4 ? vz::Codec_MJPEG : vz::Codec_H264);
      path.decoder.SetDecodeStyle(i % 3 == 0 ? vz::Decode_IFrame : vz::Decode_All);
      std::this_thread::yield();
    }
    path.live.Reopen(vz::Codec_H264);
    path.decoder.SetDecodeStyle(vz::Decode_All);
    done.store(true);
  });
  while (!done.load())
    for (const auto& f : H264Stream()) path.Feed(f);
  caller.join();
  path.sink.Indices.clear();
  path.sink.Faults.clear();
  for (const auto& f : H264Stream()) path.Feed(f);
  EXPECT_TRUE(path.sink.Faults.empty());
  EXPECT_EQ(path.sink.Indices, Range(0, 24));
  // Closed: frames still arrive and are dropped quietly.
  path.live.Close();
  EXPECT_FALSE(path.decoder.IsOpen());
  for (const auto& f : H264Stream()) path.Feed(f);
  EXPECT_EQ(path.sink.Indices.size(), 24u);
}

}  // namespace
