// Where pictures are cut and where they land.
#include <gtest/gtest.h>

#include "DspGeometry.h"

namespace {

using vz::EdgeCropForWidth;
using vz::CropSourceRect;
using vz::FitTargetRect;
using vz::TDspRect;

TEST(RenderGeometry, CropCutsFourPercentOfTheAnalogueWidths) {
  struct Case {
    int w, h;
    QRect shown;
  } cases[] = {
      {352, 288, QRect(14, 12, 324, 264)},  // 14 left and right, 12 top and bottom
      {176, 144, QRect(7, 6, 162, 132)},
      {720, 576, QRect(29, 23, 662, 530)},
      {704, 576, QRect(0, 0, 704, 576)},
      {1280, 720, QRect(0, 0, 1280, 720)},
      {0, 288, QRect()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    EXPECT_EQ(CropSourceRect(c.w, c.h, EdgeCropForWidth(c.w)), c.shown);
  }
}

TEST(RenderGeometry, EqualScalingLetterBoxesTheTarget) {
  struct Case {
    TDspRect target;
    int w, h;
    bool equal;
    QRect out;
  } cases[] = {
      // Narrower than the picture: round(400 - 400 / 1.2222) = 73 lines,
      // 36 off at the top and 36 at the bottom.
      {{0, 0, 400, 400}, 704, 576, true, QRect(0, 36, 400, 328)},
      // Wider: round(800 - 400 * 1.2222) = 311 columns, 155 off each side.
      {{0, 0, 800, 400}, 704, 576, true, QRect(155, 0, 490, 400)},
      // Offset targets keep their place.
      {{100, 50, 500, 450}, 704, 576, true, QRect(100, 86, 400, 328)},
      // Same aspect: nothing to cut.
      {{0, 0, 352, 288}, 704, 576, true, QRect(0, 0, 352, 288)},
      {{0, 0, 400, 400}, 704, 576, false, QRect(0, 0, 400, 400)},
      // A degenerate target is left as it is.
      {{10, 10, 10, 50}, 704, 576, true, QRect(10, 10, 0, 40)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target.Right);
    EXPECT_EQ(FitTargetRect(c.target, c.w, c.h, c.equal), c.out);
  }
}

}  // namespace
