#pragma once
// TDeInterlace: one deinterlacer stream with its four-field history.
#include <cstddef>
#include <cstdint>

#include "DeInterlaceKernels.h"

namespace vzbb {

struct DeInterlaceGeometry {
  int width;             // luma pixels per line
  int field_height;      // luma lines per field
  int in_luma_stride;    // bytes per line of the fields handed in
  int in_chroma_stride;
  int out_luma_stride;   // bytes per line of the frame written
  int out_chroma_stride;
};

class TDeInterlace {
 public:
  // Result codes as the exports return them.
  enum Result : int { kOk = 0, kNoCpuOrMemory = -1, kBadSize = -2, kNullPointer = -3, kBadMode = -4 };

  // Checks the geometry and allocates; *out is null on failure. The line
  // builder decides which fast path the object runs.
  static int Create(const DeInterlaceGeometry& geometry, MissingLineFn line, TDeInterlace** out);
  static void Destroy(TDeInterlace* object);

  // mode 1 stores the frame's first field (even lines) and its chroma;
  // mode 2 takes the second field and writes the whole frame.
  int Process(uint8_t* out_y, uint8_t* out_cb, uint8_t* out_cr, const uint8_t* in_y,
              const uint8_t* in_cb, const uint8_t* in_cr, int mode);

  TDeInterlace(const TDeInterlace&) = delete;
  TDeInterlace& operator=(const TDeInterlace&) = delete;

 private:
  TDeInterlace() = default;
  ~TDeInterlace() = default;

  void BuildFrame(uint8_t* out_y, uint8_t* out_cb, uint8_t* out_cr);

  DeInterlaceGeometry geometry_{};
  MissingLineFn line_ = nullptr;
  void* block_ = nullptr;         // every buffer below lives in this block
  uint8_t* field_[4] = {};        // 0 newest; field_height x in_luma_stride each
  uint8_t* cb_store_ = nullptr;   // field_height / 2 x in_chroma_stride
  uint8_t* cr_store_ = nullptr;
  uint8_t* still_ = nullptr;      // one counter per luma sample of a field
};

}  // namespace vzbb
