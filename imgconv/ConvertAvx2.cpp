// AVX2 row kernel of the converters: the arithmetic of the SSE2 kernel on
// 256-bit registers, 32 pixels per step. Lane order is fixed up once on the
// chroma input and once on the packed output.
#if defined(__x86_64__)
#include <immintrin.h>

#include "ConvertKernels.h"

namespace vzbb {
namespace {

struct Chroma16 {  // chroma terms for 32 pixels: a covers pixels 0-15, b 16-31
  __m256i r_a, r_b, g_a, g_b, b_a, b_b;
};

inline Chroma16 ChromaTerms(const uint8_t* cb, const uint8_t* cr) {
  const __m256i bias = _mm256_set1_epi16(128);
  // Samples 0-3, 8-11 | 4-7, 12-15, so that the in-lane unpacks below give
  // samples 0-7 in one register and 8-15 in the other.
  const __m256i u = _mm256_permute4x64_epi64(
      _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb))), bias), 0xD8);
  const __m256i v = _mm256_permute4x64_epi64(
      _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr))), bias), 0xD8);
  const __m256i offset = _mm256_set1_epi32(-76309 * 16);
  const __m256i kr = _mm256_set1_epi32(26149 | (1 << 16));
  const __m256i kb = _mm256_set1_epi32(16525 | (1 << 16));
  const __m256i kg = _mm256_set1_epi32(int32_t(uint32_t(uint16_t(-1929)) | (uint32_t(uint16_t(-25675)) << 16)));
  const __m256i v4 = _mm256_slli_epi16(v, 2);
  const __m256i u8 = _mm256_slli_epi16(u, 3);
  const __m256i u2v = _mm256_add_epi16(u, _mm256_add_epi16(v, v));
  Chroma16 c;
  c.r_a = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(v4, v), kr), offset);
  c.r_b = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(v4, v), kr), offset);
  c.b_a = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(u8, u), kb), offset);
  c.b_b = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(u8, u), kb), offset);
  c.g_a = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(v, u2v), kg), offset);
  c.g_b = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(v, u2v), kg), offset);
  return c;
}

struct Luma16 {  // 76309 * Y: lo = pixels 0-3 | 8-11, hi = 4-7 | 12-15
  __m256i lo, hi;
};

inline Luma16 LumaTerms(const uint8_t* y) {
  const __m256i y16 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
  const __m256i k = _mm256_set1_epi16(10773);
  const __m256i low = _mm256_mullo_epi16(y16, k);
  const __m256i high = _mm256_add_epi16(_mm256_mulhi_epu16(y16, k), y16);
  return {_mm256_unpacklo_epi16(low, high), _mm256_unpackhi_epi16(low, high)};
}

// One channel of 16 pixels, in order, as 16-bit values.
inline __m256i Channel(const Luma16& l, __m256i c) {
  const __m256i c01 = _mm256_unpacklo_epi32(c, c);
  const __m256i c23 = _mm256_unpackhi_epi32(c, c);
  return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(l.lo, c01), 16),
                            _mm256_srai_epi32(_mm256_add_epi32(l.hi, c23), 16));
}

inline void Store24(__m256i px, uint8_t* out, bool last) {
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i p = _mm256_shuffle_epi8(px, pack);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(p));
  const __m128i hi = _mm256_extracti128_si256(p, 1);
  if (!last) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), hi);
  } else {  // the block's final 12 bytes: write exactly those
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), hi);
    const int tail = _mm_cvtsi128_si32(_mm_srli_si128(hi, 8));
    __builtin_memcpy(out + 20, &tail, 4);
  }
}

template <PixelLayout L>
inline void Store16(__m256i r, __m256i g, __m256i b, uint8_t* out) {
  if constexpr (L == PixelLayout::kRgb16 || L == PixelLayout::kBgr16) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i max = _mm256_set1_epi16(255);
    const __m256i first = _mm256_max_epi16(_mm256_min_epi16(L == PixelLayout::kRgb16 ? r : b, max), zero);
    const __m256i third = _mm256_max_epi16(_mm256_min_epi16(L == PixelLayout::kRgb16 ? b : r, max), zero);
    const __m256i gc = _mm256_max_epi16(_mm256_min_epi16(g, max), zero);
    const __m256i word = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(first, _mm256_set1_epi16(0xF8)), 8),
                        _mm256_slli_epi16(_mm256_and_si256(gc, _mm256_set1_epi16(0xFC)), 3)),
        _mm256_srli_epi16(third, 3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), word);
  } else {
    const bool bgr = L == PixelLayout::kBgr24 || L == PixelLayout::kBgr32;
    const __m256i lowfirst = _mm256_packus_epi16(bgr ? b : r, bgr ? r : b);
    const __m256i g8 = _mm256_packus_epi16(g, _mm256_setzero_si256());
    const __m256i fg = _mm256_unpacklo_epi8(lowfirst, g8);
    const __m256i t0 = _mm256_unpackhi_epi8(lowfirst, g8);
    const __m256i pa = _mm256_unpacklo_epi16(fg, t0);  // pixels 0-3 | 8-11
    const __m256i pb = _mm256_unpackhi_epi16(fg, t0);  // pixels 4-7 | 12-15
    const __m256i p0 = _mm256_permute2x128_si256(pa, pb, 0x20);
    const __m256i p1 = _mm256_permute2x128_si256(pa, pb, 0x31);
    if constexpr (L == PixelLayout::kRgb32 || L == PixelLayout::kBgr32) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), p0);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), p1);
    } else {
      Store24(p0, out, false);
      Store24(p1, out + 24, true);
    }
  }
}

template <PixelLayout L>
inline void Row32(const Chroma16& c, const uint8_t* y, uint8_t* d) {
  constexpr int bpp = BytesPerPixel(L);
  const Luma16 a = LumaTerms(y);
  const Luma16 b = LumaTerms(y + 16);
  Store16<L>(Channel(a, c.r_a), Channel(a, c.g_a), Channel(a, c.b_a), d);
  Store16<L>(Channel(b, c.r_b), Channel(b, c.g_b), Channel(b, c.b_b), d + 16 * bpp);
}

template <PixelLayout L>
void Rows(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* d0,
          uint8_t* d1, int width) {
  constexpr int bpp = BytesPerPixel(L);
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const Chroma16 c = ChromaTerms(cb + x / 2, cr + x / 2);
    Row32<L>(c, y0 + x, d0 + x * bpp);
    if (y1) Row32<L>(c, y1 + x, d1 + x * bpp);
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
