#include "ConvertKernels.h"
#include "YuvTables.h"

namespace vzbb {

void ReferencePixel(uint8_t y, uint8_t cb, uint8_t cr, PixelLayout layout, uint8_t* out) {
  const YuvTables& t = kYuvTables;
  const uint8_t* clamp = t.clamp + kClampOffset;
  const int32_t l = t.luma[y];
  const uint8_t r = clamp[(l + t.red_from_cr[cr]) >> 16];
  const uint8_t g = clamp[(l - t.green_from_cr[cr] - t.green_from_cb[cb]) >> 16];
  const uint8_t b = clamp[(l + t.blue_from_cb[cb]) >> 16];
  switch (layout) {
    case PixelLayout::kRgb16:
    case PixelLayout::kBgr16: {
      const uint8_t first = layout == PixelLayout::kRgb16 ? r : b;
      const uint8_t third = layout == PixelLayout::kRgb16 ? b : r;
      const unsigned word = (unsigned(first >> 3) << 11) | (unsigned(g >> 2) << 5) | (third >> 3);
      out[0] = static_cast<uint8_t>(word);
      out[1] = static_cast<uint8_t>(word >> 8);
      break;
    }
    case PixelLayout::kRgb24: out[0] = r; out[1] = g; out[2] = b; break;
    case PixelLayout::kBgr24: out[0] = b; out[1] = g; out[2] = r; break;
    case PixelLayout::kRgb32: out[0] = r; out[1] = g; out[2] = b; out[3] = 0; break;
    case PixelLayout::kBgr32: out[0] = b; out[1] = g; out[2] = r; out[3] = 0; break;
  }
}

void ReferenceConvert(const ConvertJob& job) {
  const int bpp = BytesPerPixel(job.layout);
  const ptrdiff_t dst_line = ptrdiff_t(job.width + ptrdiff_t(job.line_extension)) * bpp;
  const uint8_t* y = job.y;
  const uint8_t* cb = job.cb;
  const uint8_t* cr = job.cr;
  uint8_t* dst = job.dst;
  for (int row = 0; row < job.height; row += 2) {
    for (int col = 0; col < job.width; col += 2) {
      const uint8_t u = cb[col / 2], v = cr[col / 2];
      // Block order: (0,0), (1,0), (0,1), (1,1); an odd last row or column
      // has no partner and is skipped rather than converted past the edge.
      for (int dx = 0; dx < 2; ++dx) {
        if (col + dx >= job.width) break;
        for (int dy = 0; dy < 2; ++dy) {
          if (row + dy >= job.height) break;
          ReferencePixel(y[dy * job.luma_stride + col + dx], u, v, job.layout,
                         dst + dy * dst_line + ptrdiff_t(col + dx) * bpp);
        }
      }
    }
    y += 2 * job.luma_stride;
    cb += job.chroma_stride;
    cr += job.chroma_stride;
    dst += 2 * dst_line;
  }
}

void ConvertRowsScalar(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                       uint8_t* d0, uint8_t* d1, int width, PixelLayout layout) {
  const int bpp = BytesPerPixel(layout);
  for (int x = 0; x < width; ++x) {
    const uint8_t u = cb[x >> 1], v = cr[x >> 1];
    ReferencePixel(y0[x], u, v, layout, d0 + ptrdiff_t(x) * bpp);
    if (y1) ReferencePixel(y1[x], u, v, layout, d1 + ptrdiff_t(x) * bpp);
  }
}

void ConvertWith(ConvertRowsFn rows, const ConvertJob& job) {
  const ptrdiff_t dst_line =
      ptrdiff_t(job.width + ptrdiff_t(job.line_extension)) * BytesPerPixel(job.layout);
  for (int row = 0; row < job.height; row += 2) {
    const bool pair = row + 1 < job.height;
    const uint8_t* y0 = job.y + row * job.luma_stride;
    uint8_t* d0 = job.dst + row * dst_line;
    const ptrdiff_t c = ptrdiff_t(row / 2) * job.chroma_stride;
    rows(y0, pair ? y0 + job.luma_stride : nullptr, job.cb + c, job.cr + c, d0,
         pair ? d0 + dst_line : nullptr, job.width, job.layout);
  }
}

ConvertRowsFn ConvertRowsFor(SimdPath path) {
  if (!CpuSupports(path)) return nullptr;
  switch (path) {
    case SimdPath::kScalar: return ConvertRowsScalar;
#if defined(__x86_64__)
    case SimdPath::kSse2: return ConvertRowsSse2;
    case SimdPath::kAvx2: return ConvertRowsAvx2;
    case SimdPath::kAvx512: return ConvertRowsAvx512;
#else
    default: return nullptr;
#endif
  }
  return nullptr;
}

}  // namespace vzbb
