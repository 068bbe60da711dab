#include "SplitGeometry.h"

#include <algorithm>

namespace vz {

namespace {

// Edges of a pane covering w x v cells from column x0, row y0.
TRect CellSpan(const TSplitGrid& g, int lineWidth, int x0, int y0, int w, int v) {
  const int h = lineWidth / 2;
  TRect r;
  r.Left = x0 * g.CellW + h;
  r.Top = y0 * g.CellH + h;
  r.Right = r.Left + w * g.CellW - lineWidth;
  r.Bottom = r.Top + v * g.CellH - lineWidth;
  return r;
}

int ColsOfSquare(int splitNum) {
  int cols = 1;
  while ((cols + 1) * (cols + 1) <= splitNum) ++cols;
  return cols;
}

}  // namespace

int SplitKindOf(int splitNum) {
  switch (splitNum) {
    case 1: case 4: case 9: case 16: case 25: case 36: case 49: case 64: return 0;
    case 2: return 1;
    case 6: return 2;
    case 8: return 3;
    case 10: return 4;
    case 13: return 5;
    default: return -1;
  }
}

TSplitGrid SplitGridOf(int splitNum, int width, int height) {
  TSplitGrid g;
  g.Kind = std::max(0, SplitKindOf(splitNum));
  g.SplitNum = splitNum;
  switch (g.Kind) {
    case 0: g.Cols = ColsOfSquare(splitNum); break;
    case 1: g.Cols = 2; break;
    case 2: g.Cols = 3; break;
    default: g.Cols = 4; break;
  }
  g.CellW = width / g.Cols;
  // The two-pane layout is one row of full-height panes.
  g.CellH = g.Kind == 1 ? height : height / g.Cols;
  return g;
}

TRect SplitPaneRect(const TSplitGrid& g, int lineWidth, int height, int p) {
  if (p < 1 || p > g.SplitNum) return TRect{};
  switch (g.Kind) {
    case 0: {
      TRect r = CellSpan(g, lineWidth, (p - 1) % g.Cols, (p - 1) / g.Cols, 1, 1);
      r.Bottom = std::min(r.Bottom, height - lineWidth);
      return r;
    }
    case 1: {
      TRect r = CellSpan(g, lineWidth, p - 1, 0, 1, 1);
      r.Bottom = g.CellH - lineWidth;
      return r;
    }
    case 2:
      if (p == 1) return CellSpan(g, lineWidth, 0, 0, 2, 2);
      if (p <= 3) return CellSpan(g, lineWidth, 2, p - 2, 1, 1);
      return CellSpan(g, lineWidth, p - 4, 2, 1, 1);
    case 3:
      if (p == 1) return CellSpan(g, lineWidth, 0, 0, 3, 3);
      if (p <= 4) return CellSpan(g, lineWidth, 3, p - 2, 1, 1);
      return CellSpan(g, lineWidth, p - 5, 3, 1, 1);
    case 4:
      if (p <= 2) return CellSpan(g, lineWidth, 2 * (p - 1), 0, 2, 2);
      return CellSpan(g, lineWidth, (p - 3) % 4, 2 + (p - 3) / 4, 1, 1);
    case 5:
      if (p == 1) return CellSpan(g, lineWidth, 0, 0, 2, 2);
      if (p <= 5) return CellSpan(g, lineWidth, 2 + (p - 2) % 2, (p - 2) / 2, 1, 1);
      return CellSpan(g, lineWidth, (p - 6) % 4, 2 + (p - 6) / 4, 1, 1);
    default:
      return TRect{};
  }
}

int SplitHitPosition(const TSplitGrid& g, int width, int height, int x, int y) {
  // The row height divides by Cols in every kind, the two-pane one included.
  const int colW = width / g.Cols;
  const int rowH = height / g.Cols;
  if (colW <= 0 || rowH <= 0) return 0;
  // Clamped so that a point on the remainder strip right of or below the last
  // cell, or a drag point outside the control, never lands on a cell that
  // belongs to no pane.
  const int column = std::clamp(x < 0 ? 0 : x / colW, 0, g.Cols - 1);
  const int row = std::clamp(y < 0 ? 0 : y / rowH, 0, g.Cols - 1);
  const int cell = g.Cols * row + column + 1;
  switch (g.Kind) {
    case 0: return cell;
    case 1: return (cell == 2 || cell == 4) ? 2 : 1;
    case 2:
      if (cell == 3) return 2;
      if (cell >= 6 && cell <= 9) return cell - 3;
      return 1;
    case 3:
      if (cell == 4 || cell == 8 || cell == 12) return cell / 4 + 1;
      if (cell >= 13) return cell - 8;
      return 1;
    case 4:
      if (cell == 3 || cell == 4 || cell == 7 || cell == 8) return 2;
      if (cell >= 9) return cell - 6;
      return 1;
    case 5:
      if (cell == 3 || cell == 4) return cell - 1;
      if (cell >= 7) return cell - 3;
      return 1;
    default:
      return 1;
  }
}

}  // namespace vz
