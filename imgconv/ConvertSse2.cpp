// SSE2 row kernel of the converters. Exact to the reference because it does
// the same 16.16 fixed-point arithmetic in 32-bit lanes: 76309 * Y is built
// from 16-bit halves, and each chroma term comes from one multiply-add with
// coefficients split to fit 16 bits (the luma offset is folded in).
#if defined(__x86_64__)
#include <emmintrin.h>

#include <cstring>

#include "ConvertKernels.h"

namespace vzbb {
namespace {

struct Chroma8 {  // chroma terms of 8 samples: samples 0-3 in lo, 4-7 in hi
  __m128i r_lo, r_hi, g_lo, g_hi, b_lo, b_hi;
};

inline Chroma8 ChromaTerms(const uint8_t* cb, const uint8_t* cr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i u = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb)), zero), bias);
  const __m128i v = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr)), zero), bias);
  const __m128i offset = _mm_set1_epi32(-76309 * 16);
  // 104597 v = 26149 (4 v) + v
  const __m128i kr = _mm_set1_epi32(26149 | (1 << 16));
  // 132201 u = 16525 (8 u) + u
  const __m128i kb = _mm_set1_epi32(16525 | (1 << 16));
  // -(53279 v + 25675 u) = -1929 v - 25675 (u + 2 v)
  const __m128i kg = _mm_set1_epi32(int32_t(uint32_t(uint16_t(-1929)) | (uint32_t(uint16_t(-25675)) << 16)));
  const __m128i v4 = _mm_slli_epi16(v, 2);
  const __m128i u8 = _mm_slli_epi16(u, 3);
  const __m128i u2v = _mm_add_epi16(u, _mm_add_epi16(v, v));
  Chroma8 c;
  c.r_lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(v4, v), kr), offset);
  c.r_hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(v4, v), kr), offset);
  c.b_lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(u8, u), kb), offset);
  c.b_hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(u8, u), kb), offset);
  c.g_lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(v, u2v), kg), offset);
  c.g_hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(v, u2v), kg), offset);
  return c;
}

struct Luma8 {  // 76309 * Y of 8 pixels: 0-3 in lo, 4-7 in hi
  __m128i lo, hi;
};

inline Luma8 LumaTerms(__m128i y16) {
  const __m128i k = _mm_set1_epi16(10773);  // 76309 = 65536 + 10773
  const __m128i low = _mm_mullo_epi16(y16, k);
  const __m128i high = _mm_add_epi16(_mm_mulhi_epu16(y16, k), y16);
  return {_mm_unpacklo_epi16(low, high), _mm_unpackhi_epi16(low, high)};
}

// One channel of 8 pixels whose chroma terms c (4 samples) cover 2 pixels each.
inline __m128i Channel(const Luma8& l, __m128i c) {
  const __m128i c01 = _mm_unpacklo_epi32(c, c);
  const __m128i c23 = _mm_unpackhi_epi32(c, c);
  return _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(l.lo, c01), 16),
                         _mm_srai_epi32(_mm_add_epi32(l.hi, c23), 16));
}

template <PixelLayout L>
inline void Store8(__m128i r, __m128i g, __m128i b, uint8_t* out) {
  if constexpr (L == PixelLayout::kRgb16 || L == PixelLayout::kBgr16) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i max = _mm_set1_epi16(255);
    const __m128i first = _mm_max_epi16(_mm_min_epi16(L == PixelLayout::kRgb16 ? r : b, max), zero);
    const __m128i third = _mm_max_epi16(_mm_min_epi16(L == PixelLayout::kRgb16 ? b : r, max), zero);
    const __m128i gc = _mm_max_epi16(_mm_min_epi16(g, max), zero);
    const __m128i word = _mm_or_si128(
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(first, _mm_set1_epi16(0xF8)), 8),
                     _mm_slli_epi16(_mm_and_si128(gc, _mm_set1_epi16(0xFC)), 3)),
        _mm_srli_epi16(third, 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), word);
  } else {
    const bool bgr = L == PixelLayout::kBgr24 || L == PixelLayout::kBgr32;
    const __m128i lowfirst = _mm_packus_epi16(bgr ? b : r, bgr ? r : b);  // first 0-7 | third 0-7
    const __m128i g8 = _mm_packus_epi16(g, _mm_setzero_si128());             // g 0-7 | 0
    const __m128i fg = _mm_unpacklo_epi8(lowfirst, g8);
    const __m128i t0 = _mm_unpackhi_epi8(lowfirst, g8);
    const __m128i px0 = _mm_unpacklo_epi16(fg, t0);
    const __m128i px1 = _mm_unpackhi_epi16(fg, t0);
    if constexpr (L == PixelLayout::kRgb32 || L == PixelLayout::kBgr32) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), px0);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), px1);
    } else {
      alignas(16) uint8_t tmp[32];
      _mm_store_si128(reinterpret_cast<__m128i*>(tmp), px0);
      _mm_store_si128(reinterpret_cast<__m128i*>(tmp + 16), px1);
      for (int i = 0; i < 8; ++i) std::memcpy(out + 3 * i, tmp + 4 * i, 3);
    }
  }
}

template <PixelLayout L>
inline void Row16(const Chroma8& c, const uint8_t* y, uint8_t* d) {
  constexpr int bpp = BytesPerPixel(L);
  const __m128i zero = _mm_setzero_si128();
  const __m128i y8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  const Luma8 a = LumaTerms(_mm_unpacklo_epi8(y8, zero));
  const Luma8 b = LumaTerms(_mm_unpackhi_epi8(y8, zero));
  Store8<L>(Channel(a, c.r_lo), Channel(a, c.g_lo), Channel(a, c.b_lo), d);
  Store8<L>(Channel(b, c.r_hi), Channel(b, c.g_hi), Channel(b, c.b_hi), d + 8 * bpp);
}

template <PixelLayout L>
void Rows(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* d0,
          uint8_t* d1, int width) {
  constexpr int bpp = BytesPerPixel(L);
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const Chroma8 c = ChromaTerms(cb + x / 2, cr + x / 2);
    Row16<L>(c, y0 + x, d0 + x * bpp);
    if (y1) Row16<L>(c, y1 + x, d1 + x * bpp);
  }
  for (; x < width; ++x) {
    ReferencePixel(y0[x], cb[x >> 1], cr[x >> 1], L, d0 + x * bpp);
    if (y1) ReferencePixel(y1[x], cb[x >> 1], cr[x >> 1], L, d1 + x * bpp);
  }
}

}  // namespace

void ConvertRowsSse2(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                     uint8_t* d0, uint8_t* d1, int width, PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kRgb16: Rows<PixelLayout::kRgb16>(y0, y1, cb, cr, d0, d1, width); break;
    case PixelLayout::kBgr16: Rows<PixelLayout::kBgr16>(y0, y1, cb, cr, d0, d1, width); break;
    case PixelLayout::kRgb24: Rows<PixelLayout::kRgb24>(y0, y1, cb, cr, d0, d1, width); break;
    case PixelLayout::kBgr24: Rows<PixelLayout::kBgr24>(y0, y1, cb, cr, d0, d1, width); break;
    case PixelLayout::kRgb32: Rows<PixelLayout::kRgb32>(y0, y1, cb, cr, d0, d1, width); break;
    case PixelLayout::kBgr32: Rows<PixelLayout::kBgr32>(y0, y1, cb, cr, d0, d1, width); break;
  }
}

}  // namespace vzbb
#endif
