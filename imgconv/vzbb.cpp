// The converter exports and vzImgConvert.
#include "vzbb.h"

#include "ConvertKernels.h"

namespace vzbb {
namespace {

// Picked while the library loads; the exports only read it.
const ConvertRowsFn kRows = ConvertRowsFor(BestSimdPath());

int Convert(PixelLayout layout, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
            uint8_t* dst, int luma_stride, int chroma_stride, int width, int height,
            int line_extension) {
  if (!y || !cb || !cr || !dst || width <= 0 || height <= 0) return 0;
  // Overlapping or backward destination lines would write outside the
  // picture the caller described.
  if (line_extension < 0) return 1;
  // A call from another unit's start-up code may come before kRows is set.
  ConvertWith(kRows ? kRows : ConvertRowsFor(BestSimdPath()), ConvertJob{y, cb, cr, dst, luma_stride, chroma_stride, width, height,
                                line_extension, layout});
  return 1;
}

}  // namespace
}  // namespace vzbb

using vzbb::PixelLayout;

extern "C" {

VZBB_API int YUV420_RGB16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst,
                          int luma_stride, int chroma_stride, int width, int height,
                          int line_extension) {
  return vzbb::Convert(PixelLayout::kRgb16, y, cb, cr, dst, luma_stride, chroma_stride, width,
                       height, line_extension);
}

VZBB_API int YUV420_BGR16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst,
                          int luma_stride, int chroma_stride, int width, int height,
                          int line_extension) {
  return vzbb::Convert(PixelLayout::kBgr16, y, cb, cr, dst, luma_stride, chroma_stride, width,
                       height, line_extension);
}

VZBB_API int YUV420ToRGB24Ex(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                             int luma_stride, int chroma_stride, int width, int height,
                             int line_extension) {
  return vzbb::Convert(PixelLayout::kRgb24, y, cb, cr, dst, luma_stride, chroma_stride, width,
                       height, line_extension);
}

VZBB_API int YUV420ToBGR24Ex(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                             int luma_stride, int chroma_stride, int width, int height,
                             int line_extension) {
  return vzbb::Convert(PixelLayout::kBgr24, y, cb, cr, dst, luma_stride, chroma_stride, width,
                       height, line_extension);
}

VZBB_API int YUV420ToRGB32(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                           int luma_stride, int chroma_stride, int width, int height,
                           int line_extension) {
  return vzbb::Convert(PixelLayout::kRgb32, y, cb, cr, dst, luma_stride, chroma_stride, width,
                       height, line_extension);
}

VZBB_API int YUV420ToBGR32(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                           int luma_stride, int chroma_stride, int width, int height,
                           int line_extension) {
  return vzbb::Convert(PixelLayout::kBgr32, y, cb, cr, dst, luma_stride, chroma_stride, width,
                       height, line_extension);
}

VZBB_API int vzImgConvert(vzPicture* dst, int dst_pix_fmt, const vzPicture* src, int src_pix_fmt,
                          int width, int height) {
  if (!dst || !src || src_pix_fmt != VZ_PIX_FMT_YUV420P) return 0;
  PixelLayout layout;
  switch (dst_pix_fmt) {
    case VZ_PIX_FMT_RGB24: layout = PixelLayout::kRgb24; break;
    case VZ_PIX_FMT_BGR24: layout = PixelLayout::kBgr24; break;
    case VZ_PIX_FMT_RGB32: layout = PixelLayout::kRgb32; break;
    case VZ_PIX_FMT_RGB565: layout = PixelLayout::kRgb16; break;
    case VZ_PIX_FMT_BGR32: layout = PixelLayout::kBgr32; break;
    case VZ_PIX_FMT_BGR565: layout = PixelLayout::kBgr16; break;
    default: return 0;
  }
  // The extension is measured in whole pixels of the destination line size.
  const int bpp = vzbb::BytesPerPixel(layout);
  const long long extension = (long long)(dst->linesize[0] / bpp) - width;
  if (extension < 0) {
    if (!src->data[0] || !src->data[1] || !src->data[2] || !dst->data[0] || width <= 0 ||
        height <= 0)
      return 0;
    return 1;
  }
  // Plane 1 of a YUV 4:2:0 picture is Cb and plane 2 is Cr.
  return vzbb::Convert(layout, src->data[0], src->data[1], src->data[2], dst->data[0],
                       src->linesize[0], src->linesize[1], width, height, int(extension));
}

}  // extern "C"
