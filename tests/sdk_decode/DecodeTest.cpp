// The decoder on its own: pictures of each codec against the painted
// pattern, open failures, statistics, and input that is broken on purpose.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TestStreams.h"
#include "class_Decode.h"

namespace {

using vztest::TTestCodec;

struct TDecoded {
  std::vector<int> Indices;
  std::vector<std::string> Faults;
};

// Decodes every frame, checks every picture that comes out.
TDecoded DecodeAll(vz::TAVDecode& dec, const std::vector<vztest::TEncodedFrame>& frames, int variant = 0) {
  TDecoded out;
  uint64_t second = 1000;
  for (const auto& f : frames) {
    if (!dec.Decode(f.Bytes.data(), static_cast<int32_t>(f.Bytes.size()), second++)) continue;
    dec.TakePicture([&](const vz::TDecodedPicture& p) {
      int index = -1;
      const std::string fault = vztest::CheckPicture(p, variant, index);
      if (!fault.empty()) out.Faults.push_back(fault);
      out.Indices.push_back(index);
    });
  }
  return out;
}

struct TCodecCase {
  const char* Name;
  TTestCodec Codec;
  int32_t Kind;
  int Width, Height;
};

class DecodeCodecs : public ::testing::TestWithParam<TCodecCase> {};

TEST_P(DecodeCodecs, PicturesShowThePaintedPatternInOrder) {
  const TCodecCase& c = GetParam();
  const auto frames = vztest::EncodeStream(c.Codec, c.Width, c.Height, 24, 8);
  ASSERT_EQ(frames.size(), 24u);
  vz::TAVDecode dec;
  dec.SetCodec(c.Kind);
  ASSERT_TRUE(dec.Open());
  const TDecoded got = DecodeAll(dec, frames);
  EXPECT_TRUE(got.Faults.empty()) << got.Faults.front();
  // Each payload shows its own picture at once, none held back.
  std::vector<int> want(24);
  for (int i = 0; i < 24; ++i) want[static_cast<size_t>(i)] = i;
  EXPECT_EQ(got.Indices, want);
  EXPECT_EQ(dec.Width(), c.Width);
  EXPECT_EQ(dec.Height(), c.Height);
}

// A picture kept past the hand-over (its Keep copied) still shows its own
// frame after the decoder has gone on, and after the decoder is gone: the
// decoder never writes into planes that are held.
TEST_P(DecodeCodecs, KeptPicturesStayTheirOwnWhileLaterFramesAreDecoded) {
  const TCodecCase& c = GetParam();
  const auto frames = vztest::EncodeStream(c.Codec, c.Width, c.Height, 12, 4);
  ASSERT_EQ(frames.size(), 12u);
  std::vector<vz::TDecodedPicture> kept;
  {
    vz::TAVDecode dec;
    dec.SetCodec(c.Kind);
    ASSERT_TRUE(dec.Open());
    uint64_t second = 1000;
    for (const auto& f : frames) {
      ASSERT_TRUE(dec.Decode(f.Bytes.data(), static_cast<int32_t>(f.Bytes.size()), second++));
      EXPECT_TRUE(dec.TakePicture([&](const vz::TDecodedPicture& p) {
        EXPECT_NE(p.Keep, nullptr);
        kept.push_back(p);
      }));
    }
  }
  ASSERT_EQ(kept.size(), 12u);
  for (size_t i = 0; i < kept.size(); ++i) {
    int index = -1;
    EXPECT_EQ(vztest::CheckPicture(kept[i], 0, index), "") << "picture " << i;
    EXPECT_EQ(index, static_cast<int>(i));
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DecodeCodecs,
                         ::testing::Values(TCodecCase{"H264_D1", TTestCodec::H264, vz::Codec_H264, 704, 576},
                                           TCodecCase{"H264_odd", TTestCodec::H264, vz::Codec_H264, 200, 120},
                                           TCodecCase{"MPEG4_CIF", TTestCodec::MPEG4, vz::Codec_MPEG4, 352, 288},
                                           TCodecCase{"MJPEG_420", TTestCodec::MJPEG420, vz::Codec_MJPEG, 320, 240},
                                           TCodecCase{"MJPEG_422", TTestCodec::MJPEG422, vz::Codec_MJPEG, 320, 240}),
                         [](const ::testing::TestParamInfo<TCodecCase>& i) { return std::string(i.param.Name); });

TEST(Decode, UnopenedOrUnknownCodecDecodesNothingButStillCounts) {
  const auto frames = vztest::EncodeStream(TTestCodec::H264, 176, 144, 1, 8);
  ASSERT_EQ(frames.size(), 1u);
  const auto& key = frames[0].Bytes;
  for (int32_t kind : {-1, 3, 28}) {
    vz::TAVDecode dec;
    dec.SetCodec(kind);
    EXPECT_FALSE(dec.Open()) << kind;
    EXPECT_FALSE(dec.IsOpen());
    // Frames of seconds 10, 10, 11: the third closes a second of two frames.
    EXPECT_FALSE(dec.Decode(key.data(), static_cast<int32_t>(key.size()), 10));
    EXPECT_FALSE(dec.Decode(key.data(), static_cast<int32_t>(key.size()), 10));
    EXPECT_FALSE(dec.Decode(key.data(), static_cast<int32_t>(key.size()), 11));
    EXPECT_EQ(dec.Fps(), 2);
    EXPECT_EQ(dec.BitRate(), static_cast<int64_t>(key.size()) * 16);
    EXPECT_FALSE(dec.TakePicture([](const vz::TDecodedPicture&) {}));
  }
  // A new decoder: nothing set, nothing allocated, Close harmless.
  vz::TAVDecode fresh;
  EXPECT_EQ(fresh.Codec(), vz::Codec_None);
  EXPECT_EQ(fresh.AudioCodec(), -1);
  EXPECT_EQ(fresh.DecodeStyle(), vz::Decode_None);
  EXPECT_TRUE(fresh.Gate().WaitingForKey());
  EXPECT_TRUE(fresh.Close());
  EXPECT_TRUE(fresh.Close());
}

TEST(Decode, CloseThenReopenWithAnotherCodecDecodesIt) {
  const auto h264 = vztest::EncodeStream(TTestCodec::H264, 320, 240, 4, 4);
  const auto jpeg = vztest::EncodeStream(TTestCodec::MJPEG420, 160, 120, 3, 1, 1);
  vz::TAVDecode dec;
  std::mutex lock;
  ASSERT_TRUE(dec.Reopen(vz::Codec_H264, lock));
  EXPECT_EQ(DecodeAll(dec, h264).Indices.size(), 4u);
  dec.SetDecodeStyle(vz::Decode_All);
  dec.Gate().Admit(true);
  ASSERT_TRUE(dec.Reopen(vz::Codec_MJPEG, lock));
  EXPECT_TRUE(dec.Gate().WaitingForKey()) << "every open restarts at a key frame";
  const TDecoded got = DecodeAll(dec, jpeg, 1);
  EXPECT_TRUE(got.Faults.empty());
  EXPECT_EQ(got.Indices, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(dec.Width(), 160);
}

// Broken payloads of every kind between good frames: no crash, no picture
// from garbage, and the next key frame decodes as before.
TEST(Decode, BrokenInputIsRefusedAndTheStreamRecoversAtTheNextKeyFrame) {
  std::mt19937 rng(7);
  for (TTestCodec codec : {TTestCodec::H264, TTestCodec::MPEG4, TTestCodec::MJPEG420}) {
    const int32_t kind = codec == TTestCodec::H264 ? vz::Codec_H264
                         : codec == TTestCodec::MPEG4 ? vz::Codec_MPEG4
                                                      : vz::Codec_MJPEG;
    const auto frames = vztest::EncodeStream(codec, 352, 288, 16, 8);
    ASSERT_EQ(frames.size(), 16u);
    const auto& key = frames[0].Bytes;
    std::vector<std::vector<uint8_t>> broken;
    broken.emplace_back(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(key.size() / 2));  // cut short
    broken.emplace_back(key.begin(), key.begin() + 5);
    std::vector<uint8_t> flipped = key;
    for (size_t i = flipped.size() / 3; i < flipped.size(); i += 7) flipped[i] ^= 0x5A;
    broken.push_back(flipped);
    std::vector<uint8_t> noise(4000);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    broken.push_back(noise);
    broken.push_back({0x00, 0x00, 0x01});
    broken.push_back({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x03});

    vz::TAVDecode dec;
    dec.SetCodec(kind);
    ASSERT_TRUE(dec.Open());
    EXPECT_FALSE(dec.Decode(nullptr, 100, 1));
    EXPECT_FALSE(dec.Decode(key.data(), 0, 1));
    EXPECT_FALSE(dec.Decode(key.data(), -5, 1));
    for (const auto& b : broken) {
      dec.Decode(b.data(), static_cast<int32_t>(b.size()), 1);
      dec.TakePicture([](const vz::TDecodedPicture& p) {
        // Whatever came out must be a whole picture the caller can read.
        ASSERT_GT(p.Width, 0);
        volatile uint8_t last = p.Plane[0][(p.Height - 1) * p.LineSize[0] + p.Width - 1];
        (void)last;
      });
    }
    // The second group of pictures starts with a key frame.
    const std::vector<vztest::TEncodedFrame> rest(frames.begin() + 8, frames.end());
    const TDecoded got = DecodeAll(dec, rest);
    EXPECT_TRUE(got.Faults.empty()) << static_cast<int>(codec) << ": " << got.Faults.front();
    ASSERT_GE(got.Indices.size(), 6u) << static_cast<int>(codec);
    EXPECT_GE(got.Indices.back(), 14);
  }
}

// Parameter sets alone are taken without a picture; the picture comes with
// the payload that completes it.
TEST(Decode, APayloadTakenWithoutAPictureAnswersTrue) {
  const auto frames = vztest::EncodeStream(TTestCodec::H264, 320, 240, 1, 8);
  ASSERT_EQ(frames.size(), 1u);
  const auto& key = frames[0].Bytes;
  // The first slice of the key picture: a NAL unit of type 5.
  size_t idr = 0;
  for (size_t i = 0; i + 4 < key.size(); ++i)
    if (key[i] == 0 && key[i + 1] == 0 && key[i + 2] == 1 && (key[i + 3] & 0x1F) == 5) {
      idr = i;
      break;
    }
  ASSERT_GT(idr, 0u);
  vz::TAVDecode dec;
  dec.SetCodec(vz::Codec_H264);
  ASSERT_TRUE(dec.Open());
  EXPECT_TRUE(dec.Decode(key.data(), static_cast<int32_t>(idr), 1));
  EXPECT_FALSE(dec.TakePicture([](const vz::TDecodedPicture&) {}));
  EXPECT_TRUE(dec.Decode(key.data() + idr, static_cast<int32_t>(key.size() - idr), 1));
  int index = -1;
  EXPECT_TRUE(dec.TakePicture([&](const vz::TDecodedPicture& p) { EXPECT_EQ(vztest::CheckPicture(p, 0, index), ""); }));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(dec.TakePicture([](const vz::TDecodedPicture&) {})) << "each picture is handed out once";
}

TEST(Decode, AudioPassesThroughUntouched) {
  vz::TAVDecode dec;
  const uint8_t pcm[4] = {1, 2, 3, 4};
  EXPECT_TRUE(dec.OpenAudio());
  EXPECT_TRUE(dec.PassAudio(pcm, 4));
  EXPECT_EQ(dec.AudioData(), pcm);
  EXPECT_EQ(dec.AudioLength(), 4);
  EXPECT_TRUE(dec.CloseAudio());
}

}  // namespace
