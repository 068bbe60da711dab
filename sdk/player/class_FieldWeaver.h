#pragma once
// TFieldWeaver: turns a picture of two stacked fields (first field in the
// top half, second in the bottom half) into one full frame with the image
// library's motion-adaptive deinterlacer. The frame goes into a buffer
// allocated with the deinterlacer, so no picture allocates.
//
// The deinterlacer is created on the first two-field picture and re-created
// when the geometry changes (size or the decoder's line sizes). When it
// cannot be created (no suitable processor, out of memory, a size it does
// not take) Weave fails and the next picture tries again. One object per
// decoding thread.
#include <cstdint>
#include <vector>

#include "FrameSeams.h"
#include "vzbb.h"

namespace vz {

class TFieldWeaver {
 public:
  TFieldWeaver() = default;
  ~TFieldWeaver();
  TFieldWeaver(const TFieldWeaver&) = delete;
  TFieldWeaver& operator=(const TFieldWeaver&) = delete;

  // Feeds both fields of picture; on success frame describes the woven
  // planar YUV 4:2:0 frame (valid until the next call or Free).
  bool Weave(const TDecodedPicture& picture, TDecodedPicture& frame);
  void Free();

 private:
  struct TGeometry {
    int32_t Width = 0, Height = 0, LumaStride = 0, ChromaStride = 0;
    bool operator==(const TGeometry&) const = default;
  };
  bool Prepare(const TGeometry& g);

  vzDeInterlaceHandle handle_ = nullptr;
  TGeometry geometry_;
  std::vector<uint8_t> buffer_;  // the woven frame: Y, then Cb, then Cr
  int32_t out_luma_stride_ = 0;
  int32_t out_chroma_stride_ = 0;
};

}  // namespace vz
