#pragma once
// Fixed-point BT.601 studio-range tables (coefficients scaled by 65536) and
// the clamp table. Built at compile time, so they exist before any export
// can be called and are only ever read.
#include <cstdint>

namespace vzbb {

struct YuvTables {
  int32_t luma[256];          // 76309 * (i - 16)
  int32_t red_from_cr[256];   // 104597 * (i - 128)
  int32_t green_from_cr[256]; // 53279 * (i - 128)
  int32_t green_from_cb[256]; // 25675 * (i - 128)
  int32_t blue_from_cb[256];  // 132201 * (i - 128)
  uint8_t clamp[1024];        // index + 384 for -384..639: 0 below 0, 255 above 255
};

constexpr int kClampOffset = 384;

extern const YuvTables kYuvTables;

}  // namespace vzbb
