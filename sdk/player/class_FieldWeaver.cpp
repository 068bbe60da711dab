#include "class_FieldWeaver.h"

namespace vz {

TFieldWeaver::~TFieldWeaver() { Free(); }

void TFieldWeaver::Free() {
  if (handle_) vz_DeInterlace_Free(handle_);
  handle_ = nullptr;
  geometry_ = TGeometry{};
}

bool TFieldWeaver::Prepare(const TGeometry& g) {
  if (handle_ && g == geometry_) return true;
  Free();
  // Whole 8-pixel blocks per line, and each field whole chroma lines.
  out_luma_stride_ = (g.Width + 15) & ~15;
  out_chroma_stride_ = out_luma_stride_ / 2;
  const size_t luma = static_cast<size_t>(out_luma_stride_) * static_cast<size_t>(g.Height);
  const size_t chroma = static_cast<size_t>(out_chroma_stride_) * static_cast<size_t>(g.Height / 2);
  if (buffer_.size() < luma + 2 * chroma) buffer_.assign(luma + 2 * chroma, 0x80);
  if (vz_DeInterlace_Init(&handle_, g.Width, g.Height / 2, g.LumaStride, g.ChromaStride,
                          out_luma_stride_, out_chroma_stride_) != VZ_DEINT_OK) {
    handle_ = nullptr;
    return false;
  }
  geometry_ = g;
  return true;
}

bool TFieldWeaver::Weave(const TDecodedPicture& picture, TDecodedPicture& frame) {
  if (picture.Width <= 0 || picture.Height < 8 ||
      picture.Width % 8 != 0 || picture.Height % 4 != 0 || !picture.Plane[0] ||
      !picture.Plane[1] || !picture.Plane[2] || picture.LineSize[1] != picture.LineSize[2])
    return false;
  const TGeometry g{picture.Width, picture.Height, picture.LineSize[0], picture.LineSize[1]};
  if (!Prepare(g)) return false;
  uint8_t* y = buffer_.data();
  uint8_t* cb = y + static_cast<size_t>(out_luma_stride_) * static_cast<size_t>(g.Height);
  uint8_t* cr = cb + static_cast<size_t>(out_chroma_stride_) * static_cast<size_t>(g.Height / 2);
  const ptrdiff_t luma_half = static_cast<ptrdiff_t>(g.Height / 2) * g.LumaStride;
  const ptrdiff_t chroma_half = static_cast<ptrdiff_t>(g.Height / 4) * g.ChromaStride;
  if (vz_DeInterlace(handle_, y, cb, cr, picture.Plane[0], picture.Plane[1], picture.Plane[2], 1) !=
          VZ_DEINT_OK ||
      vz_DeInterlace(handle_, y, cb, cr, picture.Plane[0] + luma_half,
                     picture.Plane[1] + chroma_half, picture.Plane[2] + chroma_half,
                     2) != VZ_DEINT_OK)
    return false;
  frame = TDecodedPicture{};
  frame.Plane[0] = y;
  frame.Plane[1] = cb;
  frame.Plane[2] = cr;
  frame.LineSize[0] = out_luma_stride_;
  frame.LineSize[1] = out_chroma_stride_;
  frame.LineSize[2] = out_chroma_stride_;
  frame.Width = g.Width;
  frame.Height = g.Height;
  frame.FullRange = picture.FullRange;
  return true;
}

}  // namespace vz
