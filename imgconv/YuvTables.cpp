#include "YuvTables.h"

namespace vzbb {
namespace {

constexpr YuvTables BuildTables() {
  YuvTables t{};
  for (int i = 0; i < 256; ++i) {
    t.luma[i] = 76309 * (i - 16);
    t.red_from_cr[i] = 104597 * (i - 128);
    t.green_from_cr[i] = 53279 * (i - 128);
    t.green_from_cb[i] = 25675 * (i - 128);
    t.blue_from_cb[i] = 132201 * (i - 128);
  }
  for (int i = -kClampOffset; i < 1024 - kClampOffset; ++i)
    t.clamp[i + kClampOffset] = static_cast<uint8_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
  return t;
}

}  // namespace

constinit const YuvTables kYuvTables = BuildTables();

}  // namespace vzbb
