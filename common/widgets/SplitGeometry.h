#pragma once
// Pane geometry of the split window: layout kinds, the cell grid, pane
// rectangles and hit testing. Pure arithmetic on the control's size so that
// the host, the tests and the control itself agree on every pixel.
#include <QRect>

namespace vz {

// A rectangle as left, top, right, bottom with right and bottom exclusive
// (width = Right - Left). Pane coordinates are stored this way because the
// layout rules are written in edges, not in sizes.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  QRect ToQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// The grid behind one layout: kind 0 is the square grid, kinds 1-5 the
// layouts of 2, 6, 8, 10 and 13 panes with large panes among small ones.
struct TSplitGrid {
  int Kind = 0;
  int SplitNum = 4;
  int Cols = 2;
  int CellW = 0;
  int CellH = 0;
};

// Layout kind of an accepted pane count; -1 for every count that is not one
// of 1, 2, 4, 6, 8, 9, 10, 13, 16, 25, 36, 49, 64.
int SplitKindOf(int splitNum);

// Cell grid of an accepted pane count on a control of width x height.
TSplitGrid SplitGridOf(int splitNum, int width, int height);

// Rectangle of pane position 1..SplitNum; empty (0, 0, 0, 0) outside.
TRect SplitPaneRect(const TSplitGrid& grid, int lineWidth, int height, int position);

// Pane position under a point, 1..SplitNum. Points outside the control count
// as the nearest edge cell; 0 when the control is too small to hold a cell.
int SplitHitPosition(const TSplitGrid& grid, int width, int height, int x, int y);

}  // namespace vz
