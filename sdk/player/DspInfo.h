#pragma once
// One display target of a player: the caller's record, not a copy. The
// caller keeps it alive until it is removed again and may change its
// rectangle at any time; the renderer reads it afresh for every picture.
#include <cstdint>

namespace vz {

#pragma pack(push, 1)
struct TDspRect {
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
};
struct TDspInfo {
  uint64_t DspHandle;  // native window id of a widget in this process
  int32_t Channel;  // channel whose pictures go to this window
  TDspRect DspRect;  // in the window's client coordinates
};
#pragma pack(pop)
static_assert(sizeof(TDspInfo) == 28, "TDspInfo size");

}  // namespace vz
