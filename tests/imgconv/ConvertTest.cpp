// Converters: the colour arithmetic, every fast path against the reference
// on random pictures, and the exports' argument handling.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "ConvertKernels.h"
#include "ImgTestUtil.h"
#include "vzbb.h"

namespace {

using vzbb::PixelLayout;
using imgtest::Guarded;

using ExportFn = int (*)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int, int,
                         int, int);

struct Export {
  const char* name;
  ExportFn fn;
  PixelLayout layout;
  bool cb_first;  // the 16-bit converters take Cb before Cr
};

const Export kExports[] = {
    {"YUV420_RGB16", YUV420_RGB16, PixelLayout::kRgb16, true},
    {"YUV420_BGR16", YUV420_BGR16, PixelLayout::kBgr16, true},
    {"YUV420ToRGB24Ex", YUV420ToRGB24Ex, PixelLayout::kRgb24, false},
    {"YUV420ToBGR24Ex", YUV420ToBGR24Ex, PixelLayout::kBgr24, false},
    {"YUV420ToRGB32", YUV420ToRGB32, PixelLayout::kRgb32, false},
    {"YUV420ToBGR32", YUV420ToBGR32, PixelLayout::kBgr32, false},
};

int Call(const Export& e, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst,
         int ys, int cs, int w, int h, int ext) {
  return e.cb_first ? e.fn(y, cb, cr, dst, ys, cs, w, h, ext) : e.fn(y, cr, cb, dst, ys, cs, w, h, ext);
}

std::vector<uint8_t> PixelBytes(PixelLayout layout, int r, int g, int b) {
  auto word = [](int first, int mid, int third) {
    const int w = ((first >> 3) << 11) | ((mid >> 2) << 5) | (third >> 3);
    return std::vector<uint8_t>{uint8_t(w & 0xFF), uint8_t(w >> 8)};
  };
  switch (layout) {
    case PixelLayout::kRgb16: return word(r, g, b);
    case PixelLayout::kBgr16: return word(b, g, r);
    case PixelLayout::kRgb24: return {uint8_t(r), uint8_t(g), uint8_t(b)};
    case PixelLayout::kBgr24: return {uint8_t(b), uint8_t(g), uint8_t(r)};
    case PixelLayout::kRgb32: return {uint8_t(r), uint8_t(g), uint8_t(b), 0};
    case PixelLayout::kBgr32: return {uint8_t(b), uint8_t(g), uint8_t(r), 0};
  }
  return {};
}

struct Colour {
  uint8_t y, cb, cr;
  int r, g, b;
};

// Known values of the BT.601 studio-range arithmetic with truncating shifts.
const Colour kColours[] = {
    {16, 128, 128, 0, 0, 0},        // black
    {235, 128, 128, 254, 254, 254},  // white truncates to 254
    {0, 128, 128, 0, 0, 0},         // below black saturates
    {255, 128, 128, 255, 255, 255},  // above white saturates
    {128, 128, 255, 255, 27, 130},   // red saturates
    {81, 90, 240, 254, 0, 0},        // studio red
    {41, 240, 110, 0, 0, 255},       // studio blue
};

TEST(ConvertColours, EveryExportGivesTheKnownValues) {
  for (const Colour& c : kColours) {
    for (const Export& e : kExports) {
      SCOPED_TRACE(std::string(e.name) + " Y=" + std::to_string(c.y) + " Cb=" +
                   std::to_string(c.cb) + " Cr=" + std::to_string(c.cr));
      // 34 x 2 so that the widest kernel takes a full step as well as its tail.
      const int w = 34, h = 2;
      std::vector<uint8_t> y(w * h, c.y), cb(w / 2, c.cb), cr(w / 2, c.cr);
      const int bpp = vzbb::BytesPerPixel(e.layout);
      Guarded dst(size_t(w * h * bpp));
      ASSERT_EQ(1, Call(e, y.data(), cb.data(), cr.data(), dst.data(), w, w / 2, w, h, 0));
      const std::vector<uint8_t> want = PixelBytes(e.layout, c.r, c.g, c.b);
      for (int p = 0; p < w * h; ++p)
        ASSERT_EQ(0, std::memcmp(dst.data() + p * bpp, want.data(), size_t(bpp))) << "pixel " << p;
      EXPECT_TRUE(dst.GuardsIntact());
    }
  }
}

struct Shape {
  int width, height, luma_pad, chroma_pad, extension, offset;
};

const Shape kShapes[] = {
    {1, 1, 0, 0, 0, 0},     {2, 2, 0, 0, 0, 1},     {3, 5, 1, 0, 1, 0},    {15, 7, 0, 3, 0, 3},
    {16, 2, 0, 0, 2, 0},    {17, 3, 5, 1, 0, 1},    {31, 4, 0, 0, 1, 0},   {32, 6, 3, 0, 0, 7},
    {33, 9, 0, 2, 3, 0},    {63, 5, 1, 1, 0, 1},    {64, 2, 64, 32, 5, 0}, {65, 3, 0, 0, 0, 0},
    {127, 11, 7, 3, 1, 5},  {704, 8, 0, 0, 0, 0},   {1281, 5, 9, 4, 7, 2},
};

// Planes of exactly the bytes a picture covers, so a read past them shows
// under the address sanitizer.
struct Source {
  std::vector<uint8_t> y, cb, cr;
  int luma_stride, chroma_stride;
  Source(std::mt19937& rng, const Shape& s) {
    luma_stride = s.width + s.luma_pad;
    chroma_stride = (s.width + 1) / 2 + s.chroma_pad;
    y = imgtest::RandomBytes(rng, size_t(s.offset + (s.height - 1) * luma_stride + s.width));
    const int crow = (s.height + 1) / 2;
    cb = imgtest::RandomBytes(rng, size_t(s.offset + (crow - 1) * chroma_stride + (s.width + 1) / 2));
    cr = imgtest::RandomBytes(rng, cb.size());
  }
};

size_t DestBytes(const Shape& s, PixelLayout layout) {
  return size_t((s.height - 1) * (s.width + s.extension) + s.width) * size_t(vzbb::BytesPerPixel(layout));
}

TEST(ConvertPaths, EveryPathMatchesTheReference) {
  std::mt19937 rng(20261210);
  for (const Shape& s : kShapes) {
    const Source src(rng, s);
    for (const Export& e : kExports) {
      const vzbb::ConvertJob base{src.y.data() + s.offset, src.cb.data() + s.offset,
                                  src.cr.data() + s.offset, nullptr, src.luma_stride,
                                  src.chroma_stride, s.width, s.height, s.extension, e.layout};
      Guarded want(DestBytes(s, e.layout));
      vzbb::ConvertJob job = base;
      job.dst = want.data();
      vzbb::ReferenceConvert(job);
      ASSERT_TRUE(want.GuardsIntact()) << e.name << " reference " << s.width << "x" << s.height;
      for (vzbb::SimdPath path : imgtest::AllPaths()) {
        const vzbb::ConvertRowsFn rows = vzbb::ConvertRowsFor(path);
        if (!rows) continue;
        SCOPED_TRACE(std::string(e.name) + " " + imgtest::PathName(path) + " " +
                     std::to_string(s.width) + "x" + std::to_string(s.height));
        Guarded got(want.size());
        job.dst = got.data();
        vzbb::ConvertWith(rows, job);
        // Raw comparison: the extension bytes between lines and the guards
        // must hold the sentinel in both.
        EXPECT_EQ(want.raw(), got.raw());
      }
      // The export reaches the same bytes with its own chroma argument order.
      Guarded exported(want.size());
      EXPECT_EQ(1, Call(e, base.y, base.cb, base.cr, exported.data(), src.luma_stride,
                        src.chroma_stride, s.width, s.height, s.extension));
      EXPECT_EQ(want.raw(), exported.raw()) << e.name;
    }
  }
}

TEST(ConvertPaths, ReferenceWritesOnlyTheCoveredPixels) {
  // An odd picture converts exactly width x height pixels and leaves the
  // extension alone.
  const int w = 5, h = 3, ext = 2;
  std::vector<uint8_t> y(w * h, 16), cb(3 * 2, 128), cr(3 * 2, 128);
  Guarded dst(size_t((h - 1) * (w + ext) + w) * 4);
  vzbb::ReferenceConvert({y.data(), cb.data(), cr.data(), dst.data(), w, 3, w, h, ext,
                          PixelLayout::kBgr32});
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w + ext && (row < h - 1 || col < w); ++col) {
      const uint8_t* px = dst.data() + (row * (w + ext) + col) * 4;
      const uint8_t want = col < w ? 0 : imgtest::kSentinel;
      EXPECT_EQ(want, px[0]) << row << "," << col;
      EXPECT_EQ(want, px[3]) << row << "," << col;
    }
  EXPECT_TRUE(dst.GuardsIntact());
}

struct ArgCase {
  const char* what;
  bool null_y, null_cb, null_cr, null_dst;
  int width, height, extension;
  int result;
  bool writes;
};

const ArgCase kArgCases[] = {
    {"valid", false, false, false, false, 8, 4, 0, 1, true},
    {"null luma", true, false, false, false, 8, 4, 0, 0, false},
    {"null first chroma", false, true, false, false, 8, 4, 0, 0, false},
    {"null second chroma", false, false, true, false, 8, 4, 0, 0, false},
    {"null destination", false, false, false, true, 8, 4, 0, 0, false},
    {"zero width", false, false, false, false, 0, 4, 0, 0, false},
    {"zero height", false, false, false, false, 8, 0, 0, 0, false},
    {"negative width", false, false, false, false, -8, 4, 0, 0, false},
    {"negative height", false, false, false, false, 8, -4, 0, 0, false},
    {"negative extension", false, false, false, false, 8, 4, -1, 1, false},
    {"extension beyond the width", false, false, false, false, 8, 4, -9, 1, false},
};

TEST(ConvertExports, ArgumentChecks) {
  std::vector<uint8_t> y(8 * 4, 100), cb(4 * 2, 90), cr(4 * 2, 200);
  for (const ArgCase& c : kArgCases) {
    for (const Export& e : kExports) {
      SCOPED_TRACE(std::string(e.name) + ": " + c.what);
      Guarded dst(8 * 4 * 4 + 64);
      const int r = Call(e, c.null_y ? nullptr : y.data(), c.null_cb ? nullptr : cb.data(),
                         c.null_cr ? nullptr : cr.data(), c.null_dst ? nullptr : dst.data(), 8, 4,
                         c.width, c.height, c.extension);
      EXPECT_EQ(c.result, r);
      EXPECT_EQ(!c.writes, dst.AllSentinel());
      EXPECT_TRUE(dst.GuardsIntact());
    }
  }
}

}  // namespace
