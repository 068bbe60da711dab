// The per-pixel rules of a missing line, checked on hand-built lines for the
// reference and every fast path: stillness thresholds, still counters,
// temporal value and the edge-directed spatial value with its tie order.
#include <gtest/gtest.h>

#include <vector>

#include "DeInterlaceKernels.h"
#include "ImgTestUtil.h"

namespace {

constexpr int kWidth = 128;
constexpr int kX = 40;  // the pixel under test; its pair is (40, 41)

struct Block {  // a[x], a[x+1], b[x], b[x+1] of one field; flat elsewhere
  int a0, a1, b0, b1;
};

Block Flat(int v) { return {v, v, v, v}; }

struct RuleCase {
  const char* what;
  Block field[4];
  int count_before;
  int want_out;
  int want_count;
};

// Flat fields make the texture 0 unless a block says otherwise; field 1's
// lines are flat too, so its spatial value is its own average.
const RuleCase kRules[] = {
    {"flat, motion 36 is still", {Flat(20), Flat(100), Flat(11), Flat(100)}, 3, 16, 3},
    {"flat, motion 40 is moving", {Flat(20), Flat(100), Flat(10), Flat(100)}, 3, 100, 0},
    {"still but only three decisions", {Flat(20), Flat(100), Flat(11), Flat(100)}, 2, 100, 3},
    {"still from zero", {Flat(20), Flat(100), Flat(11), Flat(100)}, 0, 100, 1},
    {"motion between the first fields 36", {Flat(20), Flat(100), Flat(20), Flat(91)}, 3, 20, 3},
    {"motion between the first fields 40", {Flat(20), Flat(100), Flat(20), Flat(90)}, 3, 100, 0},
    {"vertical detail 44 keeps threshold 40",
     {Flat(20), {100, 100, 56, 56}, Flat(11), {100, 100, 56, 56}}, 3, 16, 3},
    {"vertical detail 44, motion 40",
     {Flat(20), {100, 100, 56, 56}, Flat(10), {100, 100, 56, 56}}, 3, 78, 0},
    {"vertical detail 45, motion 128 is still",
     {Flat(47), {100, 100, 55, 55}, Flat(15), {100, 100, 55, 55}}, 3, 31, 3},
    {"vertical detail 45, motion 132 is moving",
     {Flat(48), {100, 100, 55, 55}, Flat(15), {100, 100, 55, 55}}, 3, 78, 0},
    {"horizontal detail 45 in field 3 only",
     {Flat(47), Flat(100), Flat(15), {100, 55, 100, 55}}, 3, 31, 3},
    {"detail in the newest field", {{92, 47, 47, 2}, Flat(100), Flat(23), Flat(100)}, 3, 58, 3},
};

struct Lines {
  std::vector<uint8_t> line[4][2];
  std::vector<uint8_t> still = std::vector<uint8_t>(kWidth, 0);
  imgtest::Guarded out{kWidth};
  vzbb::MissingLine View() {
    return {line[0][0].data(), line[0][1].data(), line[1][0].data(), line[1][1].data(),
            line[2][0].data(), line[2][1].data(), line[3][0].data(), line[3][1].data(),
            still.data(),      out.data(),        kWidth};
  }
};

Lines FromBlocks(const Block (&field)[4]) {
  Lines l;
  for (int f = 0; f < 4; ++f) {
    const Block& b = field[f];
    l.line[f][0].assign(kWidth, uint8_t(b.a0));
    l.line[f][1].assign(kWidth, uint8_t(b.b0));
    l.line[f][0][kX + 1] = uint8_t(b.a1);
    l.line[f][1][kX + 1] = uint8_t(b.b1);
  }
  return l;
}

TEST(MissingLineRules, StillnessCountersAndTemporalValue) {
  for (const RuleCase& c : kRules) {
    for (vzbb::SimdPath path : imgtest::AllPaths()) {
      const vzbb::MissingLineFn fn = vzbb::MissingLineFor(path);
      if (!fn) continue;
      SCOPED_TRACE(std::string(c.what) + " / " + imgtest::PathName(path));
      Lines l = FromBlocks(c.field);
      l.still[kX] = l.still[kX + 1] = uint8_t(c.count_before);
      fn(l.View());
      EXPECT_EQ(c.want_out, l.out.data()[kX]);
      EXPECT_EQ(c.want_count, l.still[kX]);
      EXPECT_EQ(c.want_count, l.still[kX + 1]);  // the pair shares the decision
      EXPECT_TRUE(l.out.GuardsIntact());
      for (int x : {0, 1, kWidth - 2, kWidth - 1}) EXPECT_EQ(imgtest::kSentinel, l.out.data()[x]) << x;
    }
  }
}

struct SpatialCase {
  const char* what;
  int a[3], b[3];  // columns x-1, x, x+1 of field 1's lines i and i+1
  int want;
};

const SpatialCase kSpatial[] = {
    {"vertical closest", {0, 100, 0}, {255, 102, 255}, 101},
    {"a[x+1]/b[x-1] closest", {0, 100, 50}, {52, 0, 255}, 51},
    {"a[x-1]/b[x+1] closest", {60, 100, 0}, {255, 0, 61}, 61},
    {"three-way tie takes the vertical", {0, 10, 0}, {10, 0, 10}, 5},
    {"diagonal tie takes a[x+1]/b[x-1]", {0, 100, 2}, {5, 0, 3}, 4},
    {"vertical ties a diagonal", {0, 10, 20}, {24, 6, 255}, 8},
};

TEST(MissingLineRules, EdgeDirectedSpatialValue) {
  for (const SpatialCase& c : kSpatial) {
    for (vzbb::SimdPath path : imgtest::AllPaths()) {
      const vzbb::MissingLineFn fn = vzbb::MissingLineFor(path);
      if (!fn) continue;
      SCOPED_TRACE(std::string(c.what) + " / " + imgtest::PathName(path));
      Lines l = FromBlocks({Flat(0), Flat(0), Flat(0), Flat(0)});
      for (int k = 0; k < 3; ++k) {
        l.line[1][0][kX - 1 + k] = uint8_t(c.a[k]);
        l.line[1][1][kX - 1 + k] = uint8_t(c.b[k]);
      }
      fn(l.View());  // counters start at 0: spatial whatever the motion
      EXPECT_EQ(c.want, l.out.data()[kX]);
    }
  }
}

}  // namespace
