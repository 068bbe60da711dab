#include <gtest/gtest.h>

#include <vector>

#include "SplitGeometry.h"

namespace {

using vz::TRect;

constexpr int kLayouts[] = {1, 2, 4, 6, 8, 9, 10, 13, 16, 25, 36, 49, 64};

struct TSize {
  int W, H, LineWidth;
};
// An even size and an odd one, where every division truncates.
constexpr TSize kSizes[] = {{320, 240, 4}, {1001, 757, 3}};

TEST(SplitGeometry, KindsOfAcceptedAndRefusedCounts) {
  const struct {
    int SplitNum, Kind;
  } cases[] = {{1, 0}, {2, 1},  {4, 0},  {6, 2},  {8, 3},  {9, 0},  {10, 4}, {13, 5}, {16, 0},
               {25, 0}, {36, 0}, {49, 0}, {64, 0}, {0, -1}, {3, -1}, {12, -1}, {81, -1}, {-4, -1}};
  for (const auto& c : cases) EXPECT_EQ(vz::SplitKindOf(c.SplitNum), c.Kind) << c.SplitNum;
}

TEST(SplitGeometry, CellGridPerKind) {
  const struct {
    int SplitNum, Cols, CellW, CellH;
  } cases[] = {{1, 1, 1001, 757}, {2, 2, 500, 757}, {4, 2, 500, 378},  {6, 3, 333, 252},
               {8, 4, 250, 189},  {9, 3, 333, 252}, {10, 4, 250, 189}, {13, 4, 250, 189},
               {16, 4, 250, 189}, {25, 5, 200, 151}, {36, 6, 166, 126}, {49, 7, 143, 108},
               {64, 8, 125, 94}};
  for (const auto& c : cases) {
    const vz::TSplitGrid g = vz::SplitGridOf(c.SplitNum, 1001, 757);
    EXPECT_EQ(g.Cols, c.Cols) << c.SplitNum;
    EXPECT_EQ(g.CellW, c.CellW) << c.SplitNum;
    EXPECT_EQ(g.CellH, c.CellH) << c.SplitNum;
  }
}

// Large panes, first and last small panes and the clipped bottom row of the
// square grids, at both sizes.
TEST(SplitGeometry, PaneRectanglesOfEveryLayout) {
  const struct {
    int W, H, LineWidth, SplitNum, Position;
    TRect Expected;
  } cases[] = {
      {320, 240, 4, 1, 1, {2, 2, 318, 236}},
      {320, 240, 4, 2, 1, {2, 2, 158, 236}},
      {320, 240, 4, 2, 2, {162, 2, 318, 236}},
      {320, 240, 4, 4, 1, {2, 2, 158, 118}},
      {320, 240, 4, 4, 4, {162, 122, 318, 236}},
      {320, 240, 4, 6, 1, {2, 2, 210, 158}},
      {320, 240, 4, 6, 3, {214, 82, 316, 158}},
      {320, 240, 4, 6, 6, {214, 162, 316, 238}},
      {320, 240, 4, 8, 1, {2, 2, 238, 178}},
      {320, 240, 4, 8, 4, {242, 122, 318, 178}},
      {320, 240, 4, 8, 8, {242, 182, 318, 238}},
      {320, 240, 4, 9, 1, {2, 2, 104, 78}},
      {320, 240, 4, 9, 9, {214, 162, 316, 236}},
      {320, 240, 4, 10, 2, {162, 2, 318, 118}},
      {320, 240, 4, 10, 3, {2, 122, 78, 178}},
      {320, 240, 4, 10, 10, {242, 182, 318, 238}},
      {320, 240, 4, 13, 1, {2, 2, 158, 118}},
      {320, 240, 4, 13, 2, {162, 2, 238, 58}},
      {320, 240, 4, 13, 5, {242, 62, 318, 118}},
      {320, 240, 4, 13, 6, {2, 122, 78, 178}},
      {320, 240, 4, 13, 13, {242, 182, 318, 238}},
      {320, 240, 4, 16, 6, {82, 62, 158, 118}},
      {320, 240, 4, 16, 16, {242, 182, 318, 236}},
      {320, 240, 4, 25, 13, {130, 98, 190, 142}},
      {320, 240, 4, 25, 25, {258, 194, 318, 236}},
      {320, 240, 4, 36, 8, {55, 42, 104, 78}},
      {320, 240, 4, 36, 36, {267, 202, 316, 236}},
      {320, 240, 4, 49, 49, {272, 206, 313, 236}},
      {320, 240, 4, 64, 10, {42, 32, 78, 58}},
      {320, 240, 4, 64, 64, {282, 212, 318, 236}},
      {1001, 757, 3, 1, 1, {1, 1, 999, 754}},
      {1001, 757, 3, 2, 1, {1, 1, 498, 754}},
      {1001, 757, 3, 2, 2, {501, 1, 998, 754}},
      {1001, 757, 3, 4, 1, {1, 1, 498, 376}},
      {1001, 757, 3, 4, 4, {501, 379, 998, 754}},
      {1001, 757, 3, 6, 1, {1, 1, 664, 502}},
      {1001, 757, 3, 6, 3, {667, 253, 997, 502}},
      {1001, 757, 3, 6, 6, {667, 505, 997, 754}},
      {1001, 757, 3, 8, 1, {1, 1, 748, 565}},
      {1001, 757, 3, 8, 4, {751, 379, 998, 565}},
      {1001, 757, 3, 8, 8, {751, 568, 998, 754}},
      {1001, 757, 3, 9, 1, {1, 1, 331, 250}},
      {1001, 757, 3, 9, 9, {667, 505, 997, 754}},
      {1001, 757, 3, 10, 2, {501, 1, 998, 376}},
      {1001, 757, 3, 10, 3, {1, 379, 248, 565}},
      {1001, 757, 3, 10, 10, {751, 568, 998, 754}},
      {1001, 757, 3, 13, 1, {1, 1, 498, 376}},
      {1001, 757, 3, 13, 2, {501, 1, 748, 187}},
      {1001, 757, 3, 13, 5, {751, 190, 998, 376}},
      {1001, 757, 3, 13, 6, {1, 379, 248, 565}},
      {1001, 757, 3, 13, 13, {751, 568, 998, 754}},
      {1001, 757, 3, 16, 6, {251, 190, 498, 376}},
      {1001, 757, 3, 16, 16, {751, 568, 998, 754}},
      {1001, 757, 3, 25, 13, {401, 303, 598, 451}},
      {1001, 757, 3, 25, 25, {801, 605, 998, 753}},
      {1001, 757, 3, 36, 8, {167, 127, 330, 250}},
      {1001, 757, 3, 36, 36, {831, 631, 994, 754}},
      {1001, 757, 3, 49, 49, {859, 649, 999, 754}},
      {1001, 757, 3, 64, 10, {126, 95, 248, 186}},
      {1001, 757, 3, 64, 64, {876, 659, 998, 750}},
  };
  for (const auto& c : cases) {
    const vz::TSplitGrid g = vz::SplitGridOf(c.SplitNum, c.W, c.H);
    EXPECT_EQ(vz::SplitPaneRect(g, c.LineWidth, c.H, c.Position), c.Expected)
        << c.W << "x" << c.H << " split " << c.SplitNum << " pane " << c.Position;
  }
}

bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Every pane lies inside the control, no two panes overlap, and the point in
// the middle of a pane hits that pane: the layout and the hit test agree.
TEST(SplitGeometry, PanesTileTheControlAndHitThemselves) {
  for (const TSize& s : kSizes) {
    for (int n : kLayouts) {
      const vz::TSplitGrid g = vz::SplitGridOf(n, s.W, s.H);
      std::vector<TRect> panes;
      for (int p = 1; p <= n; ++p) {
        const TRect r = vz::SplitPaneRect(g, s.LineWidth, s.H, p);
        SCOPED_TRACE(testing::Message() << s.W << "x" << s.H << " split " << n << " pane " << p);
        ASSERT_FALSE(r.IsEmpty());
        EXPECT_GE(r.Left, 0);
        EXPECT_GE(r.Top, 0);
        EXPECT_LE(r.Right, s.W);
        EXPECT_LE(r.Bottom, s.H);
        for (const TRect& other : panes) EXPECT_FALSE(Overlap(r, other));
        panes.push_back(r);
        EXPECT_EQ(vz::SplitHitPosition(g, s.W, s.H, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2), p);
      }
      EXPECT_TRUE(vz::SplitPaneRect(g, s.LineWidth, s.H, 0).IsEmpty());
      EXPECT_TRUE(vz::SplitPaneRect(g, s.LineWidth, s.H, n + 1).IsEmpty());
    }
  }
}

TEST(SplitGeometry, HitTestMapsCellsToPanes) {
  const struct {
    int SplitNum, X, Y, Position;
  } cases[] = {
      {6, 106, 80, 1},    // middle of the large top-left pane
      {6, 300, 230, 6},   // bottom-right cell
      {6, 250, 40, 2},    {6, 250, 120, 3}, {6, 50, 200, 4},
      {2, 300, 230, 2},   // lower half of the right pane still hits it
      {2, 10, 230, 1},
      {8, 300, 100, 3},   {8, 10, 200, 5}, {8, 200, 100, 1},
      {10, 300, 100, 2},  {10, 10, 130, 3}, {10, 300, 230, 10},
      {13, 170, 10, 2},   {13, 250, 70, 5}, {13, 10, 130, 6}, {13, 100, 100, 1},
      {16, 319, 239, 16}, {64, 0, 0, 1},
      // The strip right of and below the last full cell, and points outside
      // the control while dragging, stay on the nearest pane.
      {9, 319, 239, 9},   {9, 319, 0, 3},   {9, -5, -5, 1},   {4, 900, 900, 4},
  };
  for (const auto& c : cases) {
    const vz::TSplitGrid g = vz::SplitGridOf(c.SplitNum, 320, 240);
    EXPECT_EQ(vz::SplitHitPosition(g, 320, 240, c.X, c.Y), c.Position)
        << "split " << c.SplitNum << " at " << c.X << "," << c.Y;
  }
}

TEST(SplitGeometry, HitTestOnAControlTooSmallForItsGrid) {
  const vz::TSplitGrid g = vz::SplitGridOf(64, 5, 5);
  EXPECT_EQ(vz::SplitHitPosition(g, 5, 5, 2, 2), 0);
}

}  // namespace
