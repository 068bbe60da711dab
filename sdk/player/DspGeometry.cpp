#include "DspGeometry.h"

#include <cmath>

namespace vz {

double EdgeCropForWidth(int32_t width) {
  return width == 176 || width == 352 || width == 720 ? 0.04 : 0.0;
}

QRect CropSourceRect(int32_t width, int32_t height, double crop) {
  if (width <= 0 || height <= 0) return QRect();
  const int left = static_cast<int>(std::lround(width * crop));
  const int top = static_cast<int>(std::lround(height * crop));
  const int right = static_cast<int>(std::lround((1.0 - crop) * width));
  const int bottom = static_cast<int>(std::lround((1.0 - crop) * height));
  return QRect(left, top, right - left, bottom - top);
}

QRect FitTargetRect(const TDspRect& rect, int32_t width, int32_t height, bool equal_scaling) {
  int left = rect.Left, top = rect.Top, right = rect.Right, bottom = rect.Bottom;
  const int tw = right - left;
  const int th = bottom - top;
  if (equal_scaling && width > 0 && height > 0 && tw > 0 && th > 0) {
    const float a = static_cast<float>(width) / static_cast<float>(height);
    const float W = static_cast<float>(tw);
    const float H = static_cast<float>(th);
    if (W / H > a) {
      const int cut = static_cast<int>(std::lround(W - H * a));
      left += cut / 2;
      right -= cut / 2;
    } else {
      const int cut = static_cast<int>(std::lround(H - W / a));
      top += cut / 2;
      bottom -= cut / 2;
    }
  }
  return QRect(left, top, right - left, bottom - top);
}

}  // namespace vz
