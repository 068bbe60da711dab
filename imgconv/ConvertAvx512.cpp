// AVX-512BW row kernel for the 32-bit layouts, 64 pixels per step: the
// arithmetic of the AVX2 kernel (see ConvertAvx2.cpp) on 512-bit registers.
// The other layouts go to the AVX2 kernel.
#if defined(__x86_64__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's own AVX-512 headers trip this warning (an undefined vector
// initialised from itself).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "ConvertKernels.h"

namespace vzbb {
namespace {

struct ChromaHalves {
  __m512i high_lo, high_hi;    // Ch, duplicated per pixel pair
  __m512i limit_lo, limit_hi;  // Cl ^ 0x7FFF, duplicated per pixel pair
};

struct Chroma64 {
  ChromaHalves r, g, b;
};

inline ChromaHalves Split(__m512i c_lo, __m512i c_hi) {
  const __m512i dup_high = _mm512_broadcast_i32x4(
      _mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15));
  const __m512i dup_low = _mm512_broadcast_i32x4(
      _mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13));
  const __m512i flip = _mm512_set1_epi32(0x7FFF);
  return {_mm512_shuffle_epi8(c_lo, dup_high), _mm512_shuffle_epi8(c_hi, dup_high),
          _mm512_shuffle_epi8(_mm512_xor_si512(c_lo, flip), dup_low),
          _mm512_shuffle_epi8(_mm512_xor_si512(c_hi, flip), dup_low)};
}

inline ChromaHalves Term(__m512i a, __m512i b, __m512i coefficients) {
  return Split(_mm512_madd_epi16(_mm512_unpacklo_epi16(a, b), coefficients),
               _mm512_madd_epi16(_mm512_unpackhi_epi16(a, b), coefficients));
}

inline Chroma64 ChromaTerms(const uint8_t* cb, const uint8_t* cr) {
  const __m512i u = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cb)));
  const __m512i v = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cr)));
  const __m512i v2 = _mm512_add_epi16(v, v);
  Chroma64 c;
  c.r = Term(_mm512_sub_epi16(_mm512_slli_epi16(v, 2), _mm512_set1_epi16(559)),
             _mm512_add_epi16(v, _mm512_set1_epi16(7931)), _mm512_set1_epi32(26149 | (1 << 16)));
  c.b = Term(_mm512_sub_epi16(_mm512_slli_epi16(u, 3), _mm512_set1_epi16(1098)),
             _mm512_add_epi16(u, _mm512_set1_epi16(1778)), _mm512_set1_epi32(16525 | (1 << 16)));
  c.g = Term(_mm512_sub_epi16(v, _mm512_set1_epi16(3142)),
             _mm512_sub_epi16(_mm512_add_epi16(u, v2), _mm512_set1_epi16(110)),
             _mm512_set1_epi32(int32_t(uint32_t(uint16_t(-1929)) | (uint32_t(uint16_t(-25675)) << 16))));
  return c;
}

struct LumaHalves {
  __m512i high, low_flipped;
};

inline LumaHalves Luma(__m512i y16) {
  const __m512i k = _mm512_set1_epi16(10773);
  return {_mm512_add_epi16(_mm512_mulhi_epu16(y16, k), y16),
          _mm512_xor_si512(_mm512_mullo_epi16(y16, k), _mm512_set1_epi16(-32768))};
}

inline __m512i Channel(const LumaHalves& l, __m512i high, __m512i limit) {
  const __mmask32 carry = _mm512_cmpgt_epi16_mask(l.low_flipped, limit);
  const __m512i sum = _mm512_add_epi16(l.high, high);
  return _mm512_mask_add_epi16(sum, carry, sum, _mm512_set1_epi16(1));
}

template <bool kBgr>
inline void Row64(const Chroma64& c, const uint8_t* y, uint8_t* d) {
  const __m512i y8 = _mm512_loadu_si512(y);
  const __m512i zero = _mm512_setzero_si512();
  const LumaHalves lo = Luma(_mm512_unpacklo_epi8(y8, zero));  // per 128-bit lane k: 16k..16k+7
  const LumaHalves hi = Luma(_mm512_unpackhi_epi8(y8, zero));  // 16k+8..16k+15
  const __m512i r8 = _mm512_packus_epi16(Channel(lo, c.r.high_lo, c.r.limit_lo), Channel(hi, c.r.high_hi, c.r.limit_hi));
  const __m512i g8 = _mm512_packus_epi16(Channel(lo, c.g.high_lo, c.g.limit_lo), Channel(hi, c.g.high_hi, c.g.limit_hi));
  const __m512i b8 = _mm512_packus_epi16(Channel(lo, c.b.high_lo, c.b.limit_lo), Channel(hi, c.b.high_hi, c.b.limit_hi));
  const __m512i first = kBgr ? b8 : r8, third = kBgr ? r8 : b8;
  const __m512i fg_lo = _mm512_unpacklo_epi8(first, g8), fg_hi = _mm512_unpackhi_epi8(first, g8);
  const __m512i t_lo = _mm512_unpacklo_epi8(third, zero), t_hi = _mm512_unpackhi_epi8(third, zero);
  // Lane k of p0..p3 holds pixels 16k + 0-3, 4-7, 8-11, 12-15: transpose
  // the 4 x 4 blocks of 128 bits into pixel order.
  const __m512i p0 = _mm512_unpacklo_epi16(fg_lo, t_lo), p1 = _mm512_unpackhi_epi16(fg_lo, t_lo);
  const __m512i p2 = _mm512_unpacklo_epi16(fg_hi, t_hi), p3 = _mm512_unpackhi_epi16(fg_hi, t_hi);
  const __m512i t0 = _mm512_shuffle_i64x2(p0, p1, 0x44), t1 = _mm512_shuffle_i64x2(p0, p1, 0xEE);
  const __m512i t2 = _mm512_shuffle_i64x2(p2, p3, 0x44), t3 = _mm512_shuffle_i64x2(p2, p3, 0xEE);
  _mm512_storeu_si512(d, _mm512_shuffle_i64x2(t0, t2, 0x88));
  _mm512_storeu_si512(d + 64, _mm512_shuffle_i64x2(t0, t2, 0xDD));
  _mm512_storeu_si512(d + 128, _mm512_shuffle_i64x2(t1, t3, 0x88));
  _mm512_storeu_si512(d + 192, _mm512_shuffle_i64x2(t1, t3, 0xDD));
}

// Two rows share one chroma computation only while they are short: on wider
// rows, interleaving two output and two luma streams measured slower than
// converting the rows one after the other.
constexpr int kShareChromaMaxWidth = 1280;

template <bool kBgr>
void Rows(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* d0,
          uint8_t* d1, int width, PixelLayout layout) {
  if (y1 && width > kShareChromaMaxWidth) {
    Rows<kBgr>(y0, nullptr, cb, cr, d0, nullptr, width, layout);
    Rows<kBgr>(y1, nullptr, cb, cr, d1, nullptr, width, layout);
    return;
  }
  int x = 0;
  if (y1) {
    for (; x + 64 <= width; x += 64) {
      const Chroma64 c = ChromaTerms(cb + x / 2, cr + x / 2);
      Row64<kBgr>(c, y0 + x, d0 + x * 4);
      Row64<kBgr>(c, y1 + x, d1 + x * 4);
    }
  } else {
    for (; x + 64 <= width; x += 64) Row64<kBgr>(ChromaTerms(cb + x / 2, cr + x / 2), y0 + x, d0 + x * 4);
  }
  if (x < width)
    ConvertRowsAvx2(y0 + x, y1 ? y1 + x : nullptr, cb + x / 2, cr + x / 2, d0 + x * 4,
                    d1 ? d1 + x * 4 : nullptr, width - x, layout);
}

}  // namespace

void ConvertRowsAvx512(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                       uint8_t* d0, uint8_t* d1, int width, PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kBgr32: Rows<true>(y0, y1, cb, cr, d0, d1, width, layout); break;
    case PixelLayout::kRgb32: Rows<false>(y0, y1, cb, cr, d0, d1, width, layout); break;
    default: ConvertRowsAvx2(y0, y1, cb, cr, d0, d1, width, layout); break;
  }
}

}  // namespace vzbb
#endif
