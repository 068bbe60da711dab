// The deinterlacer as a whole: argument codes, the frame it writes, the
// still counters over a sequence with a scene cut, and every fast path
// against the reference frame by frame.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "class_DeInterlace.h"
#include "ImgTestUtil.h"
#include "vzbb.h"

namespace {

using imgtest::Guarded;
using vzbb::TDeInterlace;

struct Shape {
  int width, field_height;
  int frame_pad;      // bytes after each line of the source frame
  int chroma_pad;     // bytes after each chroma line handed in
  int out_pad, out_chroma_pad;
};

// A source frame: luma at a frame stride (the fields are its even and odd
// lines), chroma per field. Every buffer is exactly as long as read.
struct Frame {
  Shape s;
  int frame_stride, chroma_stride;
  std::vector<uint8_t> luma, cb[2], cr[2];
  explicit Frame(const Shape& shape) : s(shape) {
    frame_stride = s.width + s.frame_pad;
    chroma_stride = s.width / 2 + s.chroma_pad;
    luma.assign(size_t((2 * s.field_height - 1) * frame_stride + s.width), 0);
    for (int f = 0; f < 2; ++f) {
      cb[f].assign(size_t((s.field_height / 2 - 1) * chroma_stride + s.width / 2), 0);
      cr[f].assign(cb[f].size(), 0);
    }
  }
  uint8_t& at(int line, int x) { return luma[size_t(line * frame_stride + x)]; }
  const uint8_t* field(int f) const { return luma.data() + f * frame_stride; }
};

struct Output {
  int luma_stride, chroma_stride;
  Guarded y, cb, cr;
  explicit Output(const Shape& s)
      : luma_stride(s.width + s.out_pad),
        chroma_stride(s.width / 2 + s.out_chroma_pad),
        y(size_t((2 * s.field_height - 1) * luma_stride + s.width)),
        cb(size_t((2 * (s.field_height / 2) - 1) * chroma_stride + s.width / 2)),
        cr(cb.size()) {}
  const uint8_t* line(int i) const { return y.data() + i * luma_stride; }
};

vzbb::DeInterlaceGeometry GeometryOf(const Shape& s) {
  return {s.width, s.field_height, 2 * (s.width + s.frame_pad), s.width / 2 + s.chroma_pad,
          s.width + s.out_pad, s.width / 2 + s.out_chroma_pad};
}

// Owns a TDeInterlace built on one line builder.
struct Stream {
  TDeInterlace* d = nullptr;
  Stream(const Shape& s, vzbb::MissingLineFn line) {
    EXPECT_EQ(0, TDeInterlace::Create(GeometryOf(s), line, &d));
  }
  ~Stream() { TDeInterlace::Destroy(d); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  void Push(const Frame& f, Output& o) {
    ASSERT_EQ(0, d->Process(o.y.data(), o.cb.data(), o.cr.data(), f.field(0), f.cb[0].data(),
                            f.cr[0].data(), 1));
    ASSERT_EQ(0, d->Process(o.y.data(), o.cb.data(), o.cr.data(), f.field(1), f.cb[1].data(),
                            f.cr[1].data(), 2));
  }
};

void FillFlat(Frame& f, uint8_t first, uint8_t second) {
  for (int line = 0; line < 2 * f.s.field_height; ++line)
    std::memset(&f.at(line, 0), line % 2 ? second : first, size_t(f.s.width));
}

// ---- Argument codes -------------------------------------------------------

struct InitCase {
  const char* what;
  int width, field_height, in_luma, in_chroma, out_luma, out_chroma;
  int result;
};

const InitCase kInitCases[] = {
    {"smallest accepted", 128, 4, 128, 64, 128, 64, 0},
    {"width 127", 127, 4, 128, 64, 128, 64, -2},
    {"negative width", -128, 4, 128, 64, 128, 64, -2},
    {"field height 3", 128, 3, 128, 64, 128, 64, -2},
    {"input luma stride below width", 128, 4, 127, 64, 128, 64, -2},
    {"output luma stride below width", 128, 4, 128, 64, 127, 64, -2},
    {"input chroma stride below half width", 128, 4, 128, 63, 128, 64, -2},
    {"output chroma stride below half width", 128, 4, 128, 64, 128, 63, -2},
    {"more memory than any machine has", 128, INT_MAX / 2, INT_MAX, INT_MAX, 128, 64, -1},
};

TEST(DeInterlaceInit, ResultCodesAndHandle) {
  for (const InitCase& c : kInitCases) {
    SCOPED_TRACE(c.what);
    int dummy = 0;
    vzDeInterlaceHandle h = &dummy;  // must be overwritten either way
    EXPECT_EQ(c.result, vz_DeInterlace_Init(&h, c.width, c.field_height, c.in_luma, c.in_chroma,
                                            c.out_luma, c.out_chroma));
    EXPECT_EQ(c.result == 0, h != nullptr);
    EXPECT_EQ(c.result == 0 ? 0 : -3, vz_DeInterlace_Free(h));
  }
  EXPECT_EQ(-3, vz_DeInterlace_Init(nullptr, 128, 4, 128, 64, 128, 64));
}

struct CallCase {
  const char* what;
  bool null_out_y, null_out_cb, null_out_cr, null_in_y, null_in_cb, null_in_cr;
  int mode;
  int result;
};

const CallCase kCallCases[] = {
    {"null output luma", true, false, false, false, false, false, 2, -3},
    {"null output Cb", false, true, false, false, false, false, 2, -3},
    {"null output Cr", false, false, true, false, false, false, 1, -3},
    {"null input luma", false, false, false, true, false, false, 1, -3},
    {"null input Cb with mode 1", false, false, false, false, true, false, 1, -3},
    {"null input Cr with mode 1", false, false, false, false, false, true, 1, -3},
    {"mode 0", false, false, false, false, false, false, 0, -4},
    {"mode 3", false, false, false, false, false, false, 3, -4},
    {"mode -1", false, false, false, false, false, false, -1, -4},
};

TEST(DeInterlaceCall, RefusalsChangeNothing) {
  // Two streams see the same frames; one also gets every refused call in
  // between. Their outputs must stay identical and the refused calls write
  // nothing.
  const Shape s{136, 8, 0, 0, 0, 0};
  std::mt19937 rng(3);
  vzDeInterlaceHandle clean = nullptr, poked = nullptr;
  const vzbb::DeInterlaceGeometry g = GeometryOf(s);
  ASSERT_EQ(0, vz_DeInterlace_Init(&clean, g.width, g.field_height, g.in_luma_stride,
                                   g.in_chroma_stride, g.out_luma_stride, g.out_chroma_stride));
  ASSERT_EQ(0, vz_DeInterlace_Init(&poked, g.width, g.field_height, g.in_luma_stride,
                                   g.in_chroma_stride, g.out_luma_stride, g.out_chroma_stride));
  for (int frame = 0; frame < 6; ++frame) {
    Frame f(s);
    f.luma = imgtest::RandomBytes(rng, f.luma.size());
    for (int k = 0; k < 2; ++k) {
      f.cb[k] = imgtest::RandomBytes(rng, f.cb[k].size());
      f.cr[k] = imgtest::RandomBytes(rng, f.cr[k].size());
    }
    Output a(s), b(s);
    for (const CallCase& c : kCallCases) {
      SCOPED_TRACE(c.what);
      Output untouched(s);
      EXPECT_EQ(c.result, vz_DeInterlace(poked, c.null_out_y ? nullptr : untouched.y.data(),
                                         c.null_out_cb ? nullptr : untouched.cb.data(),
                                         c.null_out_cr ? nullptr : untouched.cr.data(),
                                         c.null_in_y ? nullptr : f.field(frame % 2),
                                         c.null_in_cb ? nullptr : f.cb[0].data(),
                                         c.null_in_cr ? nullptr : f.cr[0].data(), c.mode));
      EXPECT_TRUE(untouched.y.AllSentinel() && untouched.cb.AllSentinel() && untouched.cr.AllSentinel());
    }
    for (vzDeInterlaceHandle h : {clean, poked}) {
      Output& o = h == clean ? a : b;
      ASSERT_EQ(0, vz_DeInterlace(h, o.y.data(), o.cb.data(), o.cr.data(), f.field(0),
                                  f.cb[0].data(), f.cr[0].data(), 1));
      // The second field's chroma is not used, so it may be null.
      ASSERT_EQ(0, vz_DeInterlace(h, o.y.data(), o.cb.data(), o.cr.data(), f.field(1), nullptr,
                                  nullptr, 2));
    }
    EXPECT_EQ(a.y.raw(), b.y.raw()) << "frame " << frame;
    EXPECT_EQ(a.cb.raw(), b.cb.raw()) << "frame " << frame;
  }
  uint8_t px[16] = {};
  EXPECT_EQ(-3, vz_DeInterlace(nullptr, px, px, px, px, px, px, 1));
  EXPECT_EQ(0, vz_DeInterlace_Free(clean));
  EXPECT_EQ(0, vz_DeInterlace_Free(poked));
  EXPECT_EQ(-3, vz_DeInterlace_Free(nullptr));
}

// ---- The frame written ----------------------------------------------------

TEST(DeInterlaceFrame, CopiedLinesEdgesAndChroma) {
  const Shape s{144, 6, 5, 3, 7, 2};
  std::mt19937 rng(11);
  Frame f(s);
  f.luma = imgtest::RandomBytes(rng, f.luma.size());
  for (int k = 0; k < 2; ++k) {
    f.cb[k] = imgtest::RandomBytes(rng, f.cb[k].size());
    f.cr[k] = imgtest::RandomBytes(rng, f.cr[k].size());
  }
  const vzbb::DeInterlaceGeometry g = GeometryOf(s);
  vzDeInterlaceHandle h = nullptr;
  ASSERT_EQ(0, vz_DeInterlace_Init(&h, g.width, g.field_height, g.in_luma_stride,
                                   g.in_chroma_stride, g.out_luma_stride, g.out_chroma_stride));
  Output o(s);
  ASSERT_EQ(0, vz_DeInterlace(h, o.y.data(), o.cb.data(), o.cr.data(), f.field(0), f.cb[0].data(),
                              f.cr[0].data(), 1));
  EXPECT_TRUE(o.y.AllSentinel()) << "mode 1 writes nothing";
  ASSERT_EQ(0, vz_DeInterlace(h, o.y.data(), o.cb.data(), o.cr.data(), f.field(1), f.cb[1].data(),
                              f.cr[1].data(), 2));
  vz_DeInterlace_Free(h);

  const int w = s.width, fh = s.field_height;
  auto first = [&](int i) { return f.field(0) + i * g.in_luma_stride; };
  auto same = [&](int out_line, const uint8_t* want) {
    return std::memcmp(o.line(out_line), want, size_t(w)) == 0;
  };
  EXPECT_TRUE(same(0, first(0)));
  EXPECT_TRUE(same(1, first(0)));
  EXPECT_TRUE(same(2 * fh - 2, first(fh - 1)));
  EXPECT_TRUE(same(2 * fh - 1, first(fh - 1)));
  for (int i = 1; i <= fh - 2; ++i) {
    EXPECT_TRUE(same(2 * i, first(i))) << "line " << 2 * i;
    const uint8_t* odd = o.line(2 * i + 1);
    for (int x : {0, 1, w - 2, w - 1}) EXPECT_EQ(first(i)[x], odd[x]) << "line " << 2 * i + 1;
  }
  for (int i = 0; i < fh / 2; ++i)
    for (int k = 0; k < 2; ++k) {
      const size_t at = size_t((2 * i + k) * o.chroma_stride);
      EXPECT_EQ(0, std::memcmp(o.cb.data() + at, f.cb[0].data() + i * f.chroma_stride, size_t(w / 2)));
      EXPECT_EQ(0, std::memcmp(o.cr.data() + at, f.cr[0].data() + i * f.chroma_stride, size_t(w / 2)));
    }
  EXPECT_TRUE(o.y.GuardsIntact() && o.cb.GuardsIntact() && o.cr.GuardsIntact());
  // The padding after each output line is not ours to write.
  for (int line = 0; line + 1 < 2 * fh; ++line)
    for (int x = w; x < o.luma_stride; ++x) EXPECT_EQ(imgtest::kSentinel, o.line(line)[x]);
}

// ---- Still counters over a sequence ---------------------------------------

// The value every interior pixel of the missing lines should take.
void ExpectMissingLines(const Output& o, const Shape& s, uint8_t want, int frame) {
  for (int i = 1; i <= s.field_height - 2; ++i) {
    const uint8_t* line = o.line(2 * i + 1);
    for (int x = 2; x < s.width - 2; ++x)
      ASSERT_EQ(want, line[x]) << "frame " << frame << " line " << 2 * i + 1 << " x " << x;
  }
}

TEST(DeInterlaceSequence, StillSceneTurnsTemporalAndACutFallsBack) {
  const Shape s{200, 8, 0, 0, 0, 0};
  for (vzbb::SimdPath path : imgtest::AllPaths()) {
    const vzbb::MissingLineFn fn = vzbb::MissingLineFor(path);
    if (!fn) continue;
    SCOPED_TRACE(imgtest::PathName(path));
    Stream stream(s, fn);
    Frame scene(s), cut(s);
    FillFlat(scene, 100, 200);
    FillFlat(cut, 50, 20);
    // Frames 1-4: the history is grey at first, then three still decisions;
    // from the fifth on the missing lines come from the fields.
    for (int frame = 1; frame <= 12; ++frame) {
      Output o(s);
      const bool before_cut = frame <= 6;
      stream.Push(before_cut ? scene : cut, o);
      uint8_t want;
      if (before_cut)
        want = frame <= 4 ? 100 : 200;
      else  // the cut at frame 7 resets every counter at once
        want = frame <= 10 ? 50 : 20;
      ExpectMissingLines(o, s, want, frame);
    }
  }
}

// ---- Fast paths against the reference ------------------------------------

const Shape kShapes[] = {
    {128, 4, 0, 0, 0, 0},  {130, 6, 3, 1, 5, 0},  {129, 8, 1, 0, 0, 3},
    {200, 12, 16, 8, 8, 8}, {720, 20, 0, 0, 0, 0}, {1000, 10, 24, 0, 0, 1},
};

// A scene with flat, graded and textured areas and a textured block that
// moves; after frame 7 a different scene, with sparse one-step noise.
void Paint(Frame& f, int frame, std::mt19937& rng) {
  const int w = f.s.width, lines = 2 * f.s.field_height;
  std::uniform_int_distribution<int> byte(0, 255), pct(0, 99);
  const int seed = frame < 7 ? 1 : 2;
  std::mt19937 scene_rng(unsigned(seed * 7919 + w));
  for (int line = 0; line < lines; ++line)
    for (int x = 0; x < w; ++x) {
      int v;
      if (x < w / 3)
        v = seed == 1 ? 90 : 160;
      else if (x < 2 * w / 3)
        v = (x * 3 + line * (seed == 1 ? 5 : 2)) & 0xFF;
      else
        v = int(scene_rng() & 0xFF);
      f.at(line, x) = uint8_t(v);
    }
  const int block_x = (frame * 6) % (w - 40);
  for (int line = 0; line < lines; ++line)
    for (int x = block_x; x < block_x + 40; ++x) f.at(line, x) = uint8_t(byte(rng));
  if (frame >= 8)
    for (auto& b : f.luma)
      if (pct(rng) < 5) b = uint8_t(b < 255 ? b + 1 : b - 1);
  for (int k = 0; k < 2; ++k) {
    f.cb[k] = imgtest::RandomBytes(rng, f.cb[k].size());
    f.cr[k] = imgtest::RandomBytes(rng, f.cr[k].size());
  }
}

TEST(DeInterlacePaths, EveryPathMatchesTheReferenceFrameByFrame) {
  for (const Shape& s : kShapes) {
    for (vzbb::SimdPath path : imgtest::AllPaths()) {
      const vzbb::MissingLineFn fn = vzbb::MissingLineFor(path);
      if (!fn || path == vzbb::SimdPath::kScalar) continue;
      SCOPED_TRACE(std::string(imgtest::PathName(path)) + " " + std::to_string(s.width) + "x" +
                   std::to_string(s.field_height));
      Stream reference(s, vzbb::MissingLineReference), fast(s, fn);
      std::mt19937 rng(unsigned(s.width * 31 + s.field_height));
      for (int frame = 0; frame < 16; ++frame) {
        Frame f(s);
        Paint(f, frame, rng);
        Output want(s), got(s);
        reference.Push(f, want);
        fast.Push(f, got);
        ASSERT_EQ(want.y.raw(), got.y.raw()) << "frame " << frame;
        ASSERT_EQ(want.cb.raw(), got.cb.raw()) << "frame " << frame;
        ASSERT_EQ(want.cr.raw(), got.cr.raw()) << "frame " << frame;
      }
    }
  }
}

}  // namespace
