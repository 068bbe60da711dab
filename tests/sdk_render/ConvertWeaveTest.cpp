// Decoded pictures into RGB32, and stacked fields woven into frames.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "RenderTestUtil.h"
#include "class_FieldWeaver.h"
#include "class_YuvToRgb.h"

namespace {

using namespace rendertest;
using vz::TRgbPath;

// Converts into a sentinel-filled buffer one pixel wider than the picture.
std::vector<uint32_t> Convert(vz::TYuvToRgb& conv, const vz::TDecodedPicture& p, bool* ok) {
  const int stride_px = p.Width + 1;
  std::vector<uint32_t> out(static_cast<size_t>(stride_px * p.Height), 0x12345678u);
  *ok = conv.Convert(p, reinterpret_cast<uint8_t*>(out.data()), stride_px * 4);
  return out;
}

TEST(YuvToRgb, BothPathsGiveOpaqueColoursAndStayInsideTheWidth) {
  for (TRgbPath path : {TRgbPath::ImageLibrary, TRgbPath::Scaler}) {
    SCOPED_TRACE(static_cast<int>(path));
    vz::TYuvToRgb conv(path);
    // Odd width: the last column shares its chroma pair.
    TPicture pic(37, 10, kGrey);
    pic.Fill(0, 0, 18, 10, kRed);
    pic.Fill(18, 0, 19, 10, kBlue);
    bool ok = false;
    const auto out = Convert(conv, pic.View(), &ok);
    ASSERT_TRUE(ok);
    for (int y = 0; y < 10; ++y) {
      const uint32_t* row = out.data() + y * 38;
      EXPECT_TRUE(Near(row[0], 254, 0, 0, 4)) << std::hex << row[0];
      EXPECT_TRUE(Near(row[36], 0, 0, 255, 4)) << std::hex << row[36];
      EXPECT_EQ(qAlpha(row[0]), 255);
      EXPECT_EQ(qAlpha(row[36]), 255);
      EXPECT_EQ(row[37], 0x12345678u);  // the padding pixel is left alone
    }
  }
}

// Large pictures are converted in two halves at once; the seam must not
// show. Reference: the scaler over the whole picture in one go. Heights
// whose half is odd split at the even line above it. Several converters at
// once share the one helper.
TEST(YuvToRgb, LargePicturesConvertedInHalvesEqualTheWholeConversion) {
  const struct {
    int w, h;
    bool full_range;
  } cases[] = {{704, 576, false}, {1280, 720, false}, {1920, 1082, false}, {1280, 720, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.full_range ? " full range" : ""));
    TPicture pic(c.w, c.h, kGrey);
    for (int y = 0; y < c.h; y += 2) {
      for (int x = 0; x < c.w; x += 2) {
        const uint32_t n = static_cast<uint32_t>(x * 2654435761u ^ y * 40503u);
        pic.Fill(x, y, 2, 2, TYuv{static_cast<uint8_t>(16 + n % 220), static_cast<uint8_t>(n >> 8),
                                  static_cast<uint8_t>(n >> 16)});
      }
    }
    vz::TDecodedPicture p = pic.View();
    p.FullRange = c.full_range;

    std::vector<uint32_t> want(static_cast<size_t>(c.w * c.h));
    SwsContext* sws = sws_getContext(c.w, c.h, c.full_range ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P, c.w, c.h,
                                     AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    ASSERT_NE(sws, nullptr);
    const int src_stride[4] = {p.LineSize[0], p.LineSize[1], p.LineSize[2], 0};
    uint8_t* const out[4] = {reinterpret_cast<uint8_t*>(want.data()), nullptr, nullptr, nullptr};
    const int out_stride[4] = {c.w * 4, 0, 0, 0};
    ASSERT_EQ(sws_scale(sws, p.Plane, src_stride, 0, c.h, out, out_stride), c.h);
    sws_freeContext(sws);

    std::vector<std::vector<uint32_t>> got(3);
    std::vector<std::thread> threads;
    for (auto& g : got) {
      threads.emplace_back([&] {
        vz::TYuvToRgb conv(TRgbPath::Scaler);
        for (int round = 0; round < 3; ++round) {
          bool ok = false;
          g = Convert(conv, p, &ok);
          if (!ok) g.clear();
        }
      });
    }
    for (auto& t : threads) t.join();
    for (const auto& g : got) {
      ASSERT_EQ(g.size(), static_cast<size_t>((c.w + 1) * c.h));
      int differing = 0;
      for (int y = 0; y < c.h; ++y) {
        for (int x = 0; x < c.w; ++x) {
          differing += g[static_cast<size_t>(y * (c.w + 1) + x)] != want[static_cast<size_t>(y * c.w + x)];
        }
        EXPECT_EQ(g[static_cast<size_t>(y * (c.w + 1) + c.w)], 0x12345678u);
      }
      EXPECT_EQ(differing, 0);
    }
  }
}

TEST(YuvToRgb, FullRangePicturesKeepTheirBlackAndWhite) {
  vz::TYuvToRgb conv;
  TPicture pic(16, 4, TYuv{255, 128, 128});
  pic.Fill(0, 0, 8, 4, TYuv{0, 128, 128});
  vz::TDecodedPicture p = pic.View();
  p.FullRange = true;
  bool ok = false;
  const auto out = Convert(conv, p, &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(Near(out[0], 0, 0, 0, 2));
  EXPECT_TRUE(Near(out[15], 255, 255, 255, 2));
}

TEST(YuvToRgb, UnreadablePicturesAreRefusedAndNothingIsWritten) {
  vz::TYuvToRgb conv;
  TPicture pic(32, 8, kGrey);
  struct Case {
    const char* what;
    void (*spoil)(vz::TDecodedPicture&);
  } cases[] = {
      {"no luma", [](vz::TDecodedPicture& p) { p.Plane[0] = nullptr; }},
      {"no chroma", [](vz::TDecodedPicture& p) { p.Plane[2] = nullptr; }},
      {"zero width", [](vz::TDecodedPicture& p) { p.Width = 0; }},
      {"negative height", [](vz::TDecodedPicture& p) { p.Height = -8; }},
      {"short luma lines", [](vz::TDecodedPicture& p) { p.LineSize[0] = 31; }},
      {"short chroma lines", [](vz::TDecodedPicture& p) { p.LineSize[1] = 15; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vz::TDecodedPicture p = pic.View();
    c.spoil(p);
    std::vector<uint32_t> out(33 * 8, 0x12345678u);
    EXPECT_FALSE(conv.Convert(p, reinterpret_cast<uint8_t*>(out.data()), 33 * 4));
    EXPECT_EQ(out[0], 0x12345678u);
  }
  std::vector<uint32_t> small(16 * 8);
  EXPECT_FALSE(conv.Convert(pic.View(), reinterpret_cast<uint8_t*>(small.data()), 16 * 4));
}

TEST(FieldWeaver, StackedFieldsBecomeOneFrame) {
  // First field red in the top half, second field green in the bottom
  // half. A fresh deinterlacer has no still history, so the missing lines
  // come from the first field: the whole frame is red, bottom half too.
  TPicture pic(352, 288, kRed);
  pic.Fill(0, 144, 352, 144, kGreen);
  vz::TFieldWeaver weaver;
  vz::TDecodedPicture frame;
  ASSERT_TRUE(weaver.Weave(pic.View(), frame));
  ASSERT_EQ(frame.Width, 352);
  ASSERT_EQ(frame.Height, 288);
  vz::TYuvToRgb conv;
  std::vector<uint32_t> out(352 * 288);
  ASSERT_TRUE(conv.Convert(frame, reinterpret_cast<uint8_t*>(out.data()), 352 * 4));
  for (int y : {0, 100, 200, 287}) EXPECT_TRUE(Near(out[static_cast<size_t>(y * 352 + 176)], 254, 0, 0, 6)) << y;
}

TEST(FieldWeaver, RefusesWhatTheDeinterlacerCannotTakeAndRecovers) {
  vz::TFieldWeaver weaver;
  vz::TDecodedPicture frame;
  TPicture narrow(120, 96, kGrey);  // under 128 pixels
  EXPECT_FALSE(weaver.Weave(narrow.View(), frame));
  TPicture odd_lines(176, 146, kGrey);  // fields of unequal chroma
  EXPECT_FALSE(weaver.Weave(odd_lines.View(), frame));
  TPicture good(176, 144, kGrey);
  EXPECT_TRUE(weaver.Weave(good.View(), frame));
  // A new geometry re-creates the deinterlacer.
  TPicture bigger(352, 288, kGrey);
  EXPECT_TRUE(weaver.Weave(bigger.View(), frame));
  EXPECT_EQ(frame.Width, 352);
}

}  // namespace
