// AVX2 row kernel of the converters, 32 pixels per step, exact to the
// reference in 16-bit lanes. Each channel is floor((A + C) / 65536) with
// A = 76309 * Y per pixel and C the chroma term (luma offset folded in) per
// chroma sample. Split both into 16-bit halves, A = 65536 Ah + Al and
// C = 65536 Ch + Cl: the result is Ah + Ch + carry(Al + Cl), and the carry
// is one signed compare, Al ^ 0x8000 > Cl ^ 0x7FFF.
#if defined(__x86_64__)
#include <immintrin.h>

#include "ConvertKernels.h"

namespace vzbb {
namespace {

// Chroma halves for 32 pixels, duplicated per pixel pair. "lo" covers
// pixels 0-7 | 16-23 and "hi" 8-15 | 24-31 (the in-lane order of the byte
// unpacks of the luma row).
struct ChromaHalves {
  __m256i high_lo, high_hi;      // Ch
  __m256i limit_lo, limit_hi;    // Cl ^ 0x7FFF
};

struct Chroma32 {
  ChromaHalves r, g, b;
};

inline ChromaHalves Split(__m256i c_lo, __m256i c_hi) {
  const __m256i dup_high = _mm256_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15,
                                            2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15);
  const __m256i dup_low = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13,
                                           0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
  const __m256i flip = _mm256_set1_epi32(0x7FFF);
  return {_mm256_shuffle_epi8(c_lo, dup_high), _mm256_shuffle_epi8(c_hi, dup_high),
          _mm256_shuffle_epi8(_mm256_xor_si256(c_lo, flip), dup_low),
          _mm256_shuffle_epi8(_mm256_xor_si256(c_hi, flip), dup_low)};
}

// One multiply-add per term: coefficients split to fit 16 bits and the
// constant -76309 * 16 - coefficient * 128 carried by the input offsets.
inline ChromaHalves Term(__m256i a, __m256i b, __m256i coefficients) {
  return Split(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), coefficients),
               _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), coefficients));
}

inline Chroma32 ChromaTerms(const uint8_t* cb, const uint8_t* cr) {
  const __m256i u = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb)));
  const __m256i v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr)));
  const __m256i v2 = _mm256_add_epi16(v, v);
  Chroma32 c;
  // 104597 (v - 128) - 1220944 = 26149 (4v - 559) + (v + 7931)
  c.r = Term(_mm256_sub_epi16(_mm256_slli_epi16(v, 2), _mm256_set1_epi16(559)),
             _mm256_add_epi16(v, _mm256_set1_epi16(7931)), _mm256_set1_epi32(26149 | (1 << 16)));
  // 132201 (u - 128) - 1220944 = 16525 (8u - 1098) + (u + 1778)
  c.b = Term(_mm256_sub_epi16(_mm256_slli_epi16(u, 3), _mm256_set1_epi16(1098)),
             _mm256_add_epi16(u, _mm256_set1_epi16(1778)), _mm256_set1_epi32(16525 | (1 << 16)));
  // -53279 (v - 128) - 25675 (u - 128) - 1220944
  //   = -1929 (v - 3142) - 25675 (u + 2v - 110)
  c.g = Term(_mm256_sub_epi16(v, _mm256_set1_epi16(3142)),
             _mm256_sub_epi16(_mm256_add_epi16(u, v2), _mm256_set1_epi16(110)),
             _mm256_set1_epi32(int32_t(uint32_t(uint16_t(-1929)) | (uint32_t(uint16_t(-25675)) << 16))));
  return c;
}

struct LumaHalves {
  __m256i high, low_flipped;  // Ah, Al ^ 0x8000
};

inline LumaHalves Luma(__m256i y16) {
  const __m256i k = _mm256_set1_epi16(10773);  // 76309 = 65536 + 10773
  return {_mm256_add_epi16(_mm256_mulhi_epu16(y16, k), y16),
          _mm256_xor_si256(_mm256_mullo_epi16(y16, k), _mm256_set1_epi16(-32768))};
}

inline __m256i Channel(const LumaHalves& l, __m256i high, __m256i limit) {
  const __m256i carry = _mm256_cmpgt_epi16(l.low_flipped, limit);  // -1 on carry
  return _mm256_sub_epi16(_mm256_add_epi16(l.high, high), carry);
}

inline void Store24(__m256i px, uint8_t* out, bool last) {
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i p = _mm256_shuffle_epi8(px, pack);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(p));
  const __m128i hi = _mm256_extracti128_si256(p, 1);
  if (!last) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), hi);
  } else {  // the row's final 12 bytes of this step: write exactly those
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), hi);
    const int tail = _mm_cvtsi128_si32(_mm_srli_si128(hi, 8));
    __builtin_memcpy(out + 20, &tail, 4);
  }
}

inline __m256i Word565(__m256i first, __m256i g, __m256i third) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i max = _mm256_set1_epi16(255);
  first = _mm256_max_epi16(_mm256_min_epi16(first, max), zero);
  g = _mm256_max_epi16(_mm256_min_epi16(g, max), zero);
  third = _mm256_max_epi16(_mm256_min_epi16(third, max), zero);
  return _mm256_or_si256(
      _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(first, _mm256_set1_epi16(0xF8)), 8),
                      _mm256_slli_epi16(_mm256_and_si256(g, _mm256_set1_epi16(0xFC)), 3)),
      _mm256_srli_epi16(third, 3));
}

template <PixelLayout L>
inline void Row32(const Chroma32& c, const uint8_t* y, uint8_t* d) {
  const __m256i y8 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
  const __m256i zero = _mm256_setzero_si256();
  const LumaHalves lo = Luma(_mm256_unpacklo_epi8(y8, zero));  // pixels 0-7 | 16-23
  const LumaHalves hi = Luma(_mm256_unpackhi_epi8(y8, zero));  // pixels 8-15 | 24-31
  const __m256i r_lo = Channel(lo, c.r.high_lo, c.r.limit_lo), r_hi = Channel(hi, c.r.high_hi, c.r.limit_hi);
  const __m256i g_lo = Channel(lo, c.g.high_lo, c.g.limit_lo), g_hi = Channel(hi, c.g.high_hi, c.g.limit_hi);
  const __m256i b_lo = Channel(lo, c.b.high_lo, c.b.limit_lo), b_hi = Channel(hi, c.b.high_hi, c.b.limit_hi);
  if constexpr (L == PixelLayout::kRgb16 || L == PixelLayout::kBgr16) {
    const bool rgb = L == PixelLayout::kRgb16;
    const __m256i w_lo = Word565(rgb ? r_lo : b_lo, g_lo, rgb ? b_lo : r_lo);
    const __m256i w_hi = Word565(rgb ? r_hi : b_hi, g_hi, rgb ? b_hi : r_hi);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_permute2x128_si256(w_lo, w_hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 32), _mm256_permute2x128_si256(w_lo, w_hi, 0x31));
  } else {
    const bool bgr = L == PixelLayout::kBgr24 || L == PixelLayout::kBgr32;
    // Bytes of each channel in pixel order 0-31.
    const __m256i first = bgr ? _mm256_packus_epi16(b_lo, b_hi) : _mm256_packus_epi16(r_lo, r_hi);
    const __m256i third = bgr ? _mm256_packus_epi16(r_lo, r_hi) : _mm256_packus_epi16(b_lo, b_hi);
    const __m256i g8 = _mm256_packus_epi16(g_lo, g_hi);
    const __m256i fg_lo = _mm256_unpacklo_epi8(first, g8), fg_hi = _mm256_unpackhi_epi8(first, g8);
    const __m256i t_lo = _mm256_unpacklo_epi8(third, zero), t_hi = _mm256_unpackhi_epi8(third, zero);
    const __m256i p0 = _mm256_unpacklo_epi16(fg_lo, t_lo);  // pixels 0-3 | 16-19
    const __m256i p1 = _mm256_unpackhi_epi16(fg_lo, t_lo);  // 4-7 | 20-23
    const __m256i p2 = _mm256_unpacklo_epi16(fg_hi, t_hi);  // 8-11 | 24-27
    const __m256i p3 = _mm256_unpackhi_epi16(fg_hi, t_hi);  // 12-15 | 28-31
    const __m256i q0 = _mm256_permute2x128_si256(p0, p1, 0x20);
    const __m256i q1 = _mm256_permute2x128_si256(p2, p3, 0x20);
    const __m256i q2 = _mm256_permute2x128_si256(p0, p1, 0x31);
    const __m256i q3 = _mm256_permute2x128_si256(p2, p3, 0x31);
    if constexpr (L == PixelLayout::kRgb32 || L == PixelLayout::kBgr32) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), q0);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 32), q1);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 64), q2);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 96), q3);
    } else {
      Store24(q0, d, false);
      Store24(q1, d + 24, false);
      Store24(q2, d + 48, false);
      Store24(q3, d + 72, true);
    }
  }
}

template <PixelLayout L>
void Rows(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* d0,
          uint8_t* d1, int width) {
  constexpr int bpp = BytesPerPixel(L);
  int x = 0;
  if (y1) {
    for (; x + 32 <= width; x += 32) {
      const Chroma32 c = ChromaTerms(cb + x / 2, cr + x / 2);
      Row32<L>(c, y0 + x, d0 + x * bpp);
      Row32<L>(c, y1 + x, d1 + x * bpp);
    }
  } else {
    for (; x + 32 <= width; x += 32) Row32<L>(ChromaTerms(cb + x / 2, cr + x / 2), y0 + x, d0 + x * bpp);
  }
  if (x < width)  // the SSE2 kernel finishes the row, with its own scalar tail
    ConvertRowsSse2(y0 + x, y1 ? y1 + x : nullptr, cb + x / 2, cr + x / 2, d0 + x * bpp,
                    d1 ? d1 + x * bpp : nullptr, width - x, L);
}

}  // namespace

void ConvertRowsAvx2(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
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
