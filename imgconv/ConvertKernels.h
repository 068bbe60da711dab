#pragma once
// The converters' building blocks: the plain reference that defines the
// output, and the row kernels of the fast paths that must match it byte for
// byte.
#include <cstddef>
#include <cstdint>

#include "CpuFeatures.h"

namespace vzbb {

enum class PixelLayout : int { kRgb16, kBgr16, kRgb24, kBgr24, kRgb32, kBgr32 };

constexpr int BytesPerPixel(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kRgb16:
    case PixelLayout::kBgr16: return 2;
    case PixelLayout::kRgb24:
    case PixelLayout::kBgr24: return 3;
    case PixelLayout::kRgb32:
    case PixelLayout::kBgr32: return 4;
  }
  return 4;
}

// One source picture and its destination, already checked: pointers set,
// width and height positive, extension not negative.
struct ConvertJob {
  const uint8_t* y;
  const uint8_t* cb;
  const uint8_t* cr;
  uint8_t* dst;
  ptrdiff_t luma_stride;
  ptrdiff_t chroma_stride;
  int width;
  int height;
  int line_extension;
  PixelLayout layout;
};

// The definition of the output: per 2x2 block table look-ups, walking the
// blocks in the library's traversal order, clipped to width x height.
void ReferenceConvert(const ConvertJob& job);

// Writes one pixel exactly as the reference does.
void ReferencePixel(uint8_t y, uint8_t cb, uint8_t cr, PixelLayout layout, uint8_t* out);

// Converts one or two luma rows that share a chroma row (y1 and d1 null for
// a single row). Pixels [0, width).
using ConvertRowsFn = void (*)(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb,
                               const uint8_t* cr, uint8_t* d0, uint8_t* d1, int width,
                               PixelLayout layout);

void ConvertRowsScalar(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                       uint8_t* d0, uint8_t* d1, int width, PixelLayout layout);
void ConvertRowsSse2(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                     uint8_t* d0, uint8_t* d1, int width, PixelLayout layout);
void ConvertRowsAvx2(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                     uint8_t* d0, uint8_t* d1, int width, PixelLayout layout);
// 32-bit layouts only; hands the others to the AVX2 kernel.
void ConvertRowsAvx512(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                       uint8_t* d0, uint8_t* d1, int width, PixelLayout layout);

// The row kernel of a path; null when this build or processor lacks it.
ConvertRowsFn ConvertRowsFor(SimdPath path);

// Runs a whole picture through a row kernel.
void ConvertWith(ConvertRowsFn rows, const ConvertJob& job);

}  // namespace vzbb
