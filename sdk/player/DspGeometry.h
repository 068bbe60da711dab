#pragma once
// Where a picture is cut and where it lands in a display target.
#include <QRect>

#include <cstdint>

#include "class_DspInfoLst.h"

namespace vz {

// Devices send their 176- and 352-pixel-wide pictures as two fields stacked
// one above the other (the first field in the top half).
inline bool IsTwoFieldWidth(int32_t width) { return width == 176 || width == 352; }

// The edge crop: 0.04 for pictures 176, 352 or 720 pixels wide (their edges
// carry the analogue blanking of the device's video input), otherwise 0.
double EdgeCropForWidth(int32_t width);

// The part of a width x height picture that is shown: with crop factor c,
// left = round(w c), top = round(h c), right = round((1 - c) w),
// bottom = round((1 - c) h) (right and bottom exclusive).
QRect CropSourceRect(int32_t width, int32_t height, double crop);

// The target rectangle of a display record (right and bottom exclusive).
// With equal scaling the rectangle keeps the picture's aspect a = w / h: a
// target W x H wider than a loses round(W - H a) columns, half on each side
// (the half by integer division); otherwise it loses round(H - W / a) lines,
// half at the top and half at the bottom.
QRect FitTargetRect(const TDspRect& rect, int32_t width, int32_t height, bool equal_scaling);

}  // namespace vz
