#include "class_YuvToRgb.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstddef>
#include <cstring>

#include "class_ConvertPool.h"
#include "vzbb.h"

namespace vz {

namespace {

bool Readable(const TDecodedPicture& p) {
  if (p.Width <= 0 || p.Height <= 0 || !p.Plane[0] || !p.Plane[1] || !p.Plane[2]) return false;
  return p.LineSize[0] >= p.Width && p.LineSize[1] >= (p.Width + 1) / 2 &&
         p.LineSize[2] >= (p.Width + 1) / 2;
}

// The converters leave the fourth byte 0; the pixels are opaque.
void SetOpaque(uint8_t* dst, int dst_stride, int width, int height) {
  for (int y = 0; y < height; ++y) {
    auto* px = reinterpret_cast<uint32_t*>(dst + static_cast<ptrdiff_t>(y) * dst_stride);
    for (int x = 0; x < width; ++x) px[x] |= 0xFF000000u;
  }
}

// The scaler's fast same-size path converts pixel pairs and leaves the last
// column of an odd width unwritten; the accurate path covers it.
int ScalerFlags(int width) { return width % 2 ? SWS_BICUBIC | SWS_ACCURATE_RND : SWS_BICUBIC; }

}  // namespace

TYuvToRgb::TYuvToRgb(TRgbPath studio_path) : studio_path_(studio_path) {}

TYuvToRgb::~TYuvToRgb() {
  sws_freeContext(sws_);
  sws_freeContext(sws_bottom_);
}

bool TYuvToRgb::Convert(const TDecodedPicture& picture, uint8_t* dst, int dst_stride) {
  return Convert(picture, dst, dst_stride, true);
}

bool TYuvToRgb::ConvertWhole(const TDecodedPicture& picture, uint8_t* dst, int dst_stride) {
  return Convert(picture, dst, dst_stride, false);
}

bool TYuvToRgb::Convert(const TDecodedPicture& picture, uint8_t* dst, int dst_stride, bool halves) {
  if (!dst || !Readable(picture) || dst_stride < picture.Width * 4) return false;
  if (!picture.FullRange && studio_path_ == TRgbPath::ImageLibrary &&
      picture.LineSize[1] == picture.LineSize[2]) {
    const int extension = dst_stride / 4 - picture.Width;
    if (YUV420ToBGR32(picture.Plane[0], picture.Plane[2], picture.Plane[1], dst, picture.LineSize[0],
                      picture.LineSize[1], picture.Width, picture.Height, extension) != 1)
      return false;
    SetOpaque(dst, dst_stride, picture.Width, picture.Height);
    return true;
  }
  return ByScaler(picture, dst, dst_stride, halves);
}

bool TYuvToRgb::ByScaler(const TDecodedPicture& picture, uint8_t* dst, int dst_stride, bool halves) {
  // Each pair of lines shares its chroma line and the same-size conversion
  // reads no other, so halves split at an even line come out as the whole.
  if (halves && picture.Width % 2 == 0 && picture.Height >= 4 && Large(picture.Width, picture.Height)) {
    const int split = (picture.Height / 2) & ~1;
    bool top = false, bottom = false;
    TConvertPool::Run([&] { top = Rows(sws_, picture, 0, split, dst, dst_stride); },
                      [&] {
                        bottom = Rows(sws_bottom_, picture, split, picture.Height - split,
                                      dst + static_cast<ptrdiff_t>(split) * dst_stride, dst_stride);
                      });
    return top && bottom;
  }
  return Rows(sws_, picture, 0, picture.Height, dst, dst_stride);
}

bool TYuvToRgb::Rows(SwsContext*& sws, const TDecodedPicture& picture, int top, int rows, uint8_t* dst,
                     int dst_stride) {
  const AVPixelFormat format = picture.FullRange ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  sws = sws_getCachedContext(sws, picture.Width, rows, format, picture.Width, rows, AV_PIX_FMT_BGRA,
                             ScalerFlags(picture.Width), nullptr, nullptr, nullptr);
  if (!sws) return false;
  const ptrdiff_t chroma_top = top / 2;
  const uint8_t* const src[4] = {picture.Plane[0] + top * static_cast<ptrdiff_t>(picture.LineSize[0]),
                                 picture.Plane[1] + chroma_top * picture.LineSize[1],
                                 picture.Plane[2] + chroma_top * picture.LineSize[2], nullptr};
  const int src_stride[4] = {picture.LineSize[0], picture.LineSize[1], picture.LineSize[2], 0};
  uint8_t* const out[4] = {dst, nullptr, nullptr, nullptr};
  const int out_stride[4] = {dst_stride, 0, 0, 0};
  return sws_scale(sws, src, src_stride, 0, rows, out, out_stride) == rows;
}

}  // namespace vz
