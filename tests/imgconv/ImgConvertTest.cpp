// vzImgConvert: format numbers, plane order, line sizes and refusals.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ConvertKernels.h"
#include "ImgTestUtil.h"
#include "vzbb.h"

namespace {

using vzbb::PixelLayout;
using imgtest::Guarded;

struct FormatCase {
  int format;
  PixelLayout layout;
};

const FormatCase kFormats[] = {
    {VZ_PIX_FMT_RGB24, PixelLayout::kRgb24},   {VZ_PIX_FMT_BGR24, PixelLayout::kBgr24},
    {VZ_PIX_FMT_RGB32, PixelLayout::kRgb32},   {VZ_PIX_FMT_RGB565, PixelLayout::kRgb16},
    {VZ_PIX_FMT_BGR32, PixelLayout::kBgr32},   {VZ_PIX_FMT_BGR565, PixelLayout::kBgr16},
};

struct Picture {
  int width = 38, height = 6, luma_stride = 40, chroma_stride = 21;
  std::vector<uint8_t> y, cb, cr;
  vzPicture pic{};
  explicit Picture(std::mt19937& rng) {
    y = imgtest::RandomBytes(rng, size_t(luma_stride * height));
    cb = imgtest::RandomBytes(rng, size_t(chroma_stride * height / 2));
    cr = imgtest::RandomBytes(rng, cb.size());
    pic.data[0] = y.data();
    pic.data[1] = cb.data();
    pic.data[2] = cr.data();
    pic.linesize[0] = luma_stride;
    pic.linesize[1] = chroma_stride;
    pic.linesize[2] = chroma_stride;
  }
};

TEST(ImgConvert, EachFormatNumberPicksItsConverter) {
  std::mt19937 rng(7);
  Picture src(rng);
  for (const FormatCase& f : kFormats) {
    SCOPED_TRACE("format " + std::to_string(f.format));
    const int bpp = vzbb::BytesPerPixel(f.layout);
    // A line size with 3 spare pixels and 1 spare byte: the extension is in
    // whole pixels.
    const int linesize = (src.width + 3) * bpp + 1;
    Guarded want(size_t(linesize * src.height));
    vzbb::ReferenceConvert({src.y.data(), src.cb.data(), src.cr.data(), want.data(),
                            src.luma_stride, src.chroma_stride, src.width, src.height, 3, f.layout});
    Guarded got(want.size());
    vzPicture dst{};
    dst.data[0] = got.data();
    dst.linesize[0] = linesize;
    EXPECT_EQ(1, vzImgConvert(&dst, f.format, &src.pic, VZ_PIX_FMT_YUV420P, src.width, src.height));
    EXPECT_EQ(want.raw(), got.raw());
  }
}

TEST(ImgConvert, PlaneOneIsBlueDifference) {
  // A picture whose plane 1 pushes blue and plane 2 is neutral must come out
  // blue in every format.
  std::vector<uint8_t> y(16 * 2, 41), cb(8, 240), cr(8, 128);
  vzPicture src{};
  src.data[0] = y.data();
  src.data[1] = cb.data();
  src.data[2] = cr.data();
  src.linesize[0] = 16;
  src.linesize[1] = src.linesize[2] = 8;
  std::vector<uint8_t> out(16 * 2 * 4, 0);
  vzPicture dst{};
  dst.data[0] = out.data();
  dst.linesize[0] = 64;
  ASSERT_EQ(1, vzImgConvert(&dst, VZ_PIX_FMT_BGR32, &src, VZ_PIX_FMT_YUV420P, 16, 2));
  EXPECT_GT(out[0], 200);  // B
  EXPECT_LT(out[2], 40);   // R
}

struct RefuseCase {
  const char* what;
  int dst_format, src_format, linesize;
  bool null_dst, null_src;
  int result;
};

const RefuseCase kRefusals[] = {
    {"source format 15", VZ_PIX_FMT_BGR32, 15, 38 * 4, false, false, 0},
    {"source format 2", VZ_PIX_FMT_BGR32, 2, 38 * 4, false, false, 0},
    {"destination format 0", 0, 0, 38 * 4, false, false, 0},
    {"destination format 4", 4, 0, 38 * 4, false, false, 0},
    {"destination format 24", 24, 0, 38 * 4, false, false, 0},
    {"destination format -1", -1, 0, 38 * 4, false, false, 0},
    {"line size one pixel short", VZ_PIX_FMT_BGR32, 0, 37 * 4 + 3, false, false, 1},
    {"line size of 24-bit pixels", VZ_PIX_FMT_RGB24, 0, 37 * 3, false, false, 1},
    {"negative line size", VZ_PIX_FMT_RGB565, 0, -38 * 2, false, false, 1},
    {"null destination picture", VZ_PIX_FMT_BGR32, 0, 38 * 4, true, false, 0},
    {"null source picture", VZ_PIX_FMT_BGR32, 0, 38 * 4, false, true, 0},
};

TEST(ImgConvert, RefusalsLeaveTheDestinationUntouched) {
  std::mt19937 rng(8);
  Picture src(rng);
  for (const RefuseCase& c : kRefusals) {
    SCOPED_TRACE(c.what);
    Guarded out(size_t(38 * 4 * 6));
    vzPicture dst{};
    dst.data[0] = out.data();
    dst.linesize[0] = c.linesize;
    EXPECT_EQ(c.result, vzImgConvert(c.null_dst ? nullptr : &dst, c.dst_format,
                                     c.null_src ? nullptr : &src.pic, c.src_format, src.width,
                                     src.height));
    EXPECT_TRUE(out.AllSentinel());
  }
}

TEST(ImgConvert, NullPlanesGiveZero) {
  std::mt19937 rng(9);
  for (int plane = 0; plane < 4; ++plane) {
    Picture src(rng);
    Guarded out(size_t(38 * 4 * 6));
    vzPicture dst{};
    dst.data[0] = out.data();
    dst.linesize[0] = 38 * 4;
    if (plane < 3)
      src.pic.data[plane] = nullptr;
    else
      dst.data[0] = nullptr;
    EXPECT_EQ(0, vzImgConvert(&dst, VZ_PIX_FMT_BGR32, &src.pic, 0, src.width, src.height)) << plane;
    EXPECT_TRUE(out.AllSentinel());
  }
}

}  // namespace
