// AVX-512BW line builder of the deinterlacer, 64 pixels per step: the
// SSE2/AVX2 block with mask registers for the decisions. A pair's still
// decision lives in one 16-bit lane and is widened to both of its bytes.
#if defined(__x86_64__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's own AVX-512 headers trip this warning (an undefined vector
// initialised from itself).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "DeInterlaceKernels.h"

namespace vzbb {
namespace {

using Vec = __m512i;
constexpr int kStep = 64;

inline Vec Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
inline Vec AbsDiffU8(Vec a, Vec b) { return _mm512_or_si512(_mm512_subs_epu8(a, b), _mm512_subs_epu8(b, a)); }
inline Vec AbsDiffI16(Vec a, Vec b) { return _mm512_sub_epi16(_mm512_max_epi16(a, b), _mm512_min_epi16(a, b)); }

struct Measure {
  Vec sum, detail;  // per pixel pair
};

inline Measure MeasureField(const uint8_t* a_line, const uint8_t* b_line, int x) {
  const Vec low = _mm512_set1_epi16(0x00FF);
  const Vec a = Load(a_line + x), b = Load(b_line + x);
  const Vec ae = _mm512_and_si512(a, low), ao = _mm512_srli_epi16(a, 8);
  const Vec be = _mm512_and_si512(b, low), bo = _mm512_srli_epi16(b, 8);
  const Vec sum = _mm512_add_epi16(_mm512_add_epi16(ae, ao), _mm512_add_epi16(be, bo));
  const Vec detail = _mm512_add_epi16(_mm512_and_si512(AbsDiffU8(a, b), low), AbsDiffI16(ae, ao));
  return {sum, detail};
}

inline void Block(const MissingLine& l, int x) {
  const Measure m0 = MeasureField(l.f0a, l.f0b, x);
  const Measure m1 = MeasureField(l.f1a, l.f1b, x);
  const Measure m2 = MeasureField(l.f2a, l.f2b, x);
  const Measure m3 = MeasureField(l.f3a, l.f3b, x);
  const Vec texture = _mm512_max_epi16(_mm512_max_epi16(m0.detail, m1.detail), _mm512_max_epi16(m2.detail, m3.detail));
  const Vec motion = _mm512_max_epi16(AbsDiffI16(m0.sum, m2.sum), AbsDiffI16(m1.sum, m3.sum));
  const __mmask32 smooth = _mm512_cmpgt_epi16_mask(_mm512_set1_epi16(45), texture);
  const Vec threshold = _mm512_mask_blend_epi16(smooth, _mm512_set1_epi16(130), _mm512_set1_epi16(40));
  const __mmask64 still =
      _mm512_movepi8_mask(_mm512_movm_epi16(_mm512_cmpgt_epi16_mask(threshold, motion)));

  const Vec count = Load(l.still + x);
  const Vec three = _mm512_set1_epi8(3);
  const __mmask64 temporal_ok = _mm512_mask_cmpeq_epi8_mask(still, count, three);
  _mm512_storeu_si512(l.still + x, _mm512_maskz_min_epu8(still, _mm512_add_epi8(count, _mm512_set1_epi8(1)), three));

  const Vec a = Load(l.f1a + x), b = Load(l.f1b + x);
  const Vec a_left = Load(l.f1a + x - 1), a_right = Load(l.f1a + x + 1);
  const Vec b_left = Load(l.f1b + x - 1), b_right = Load(l.f1b + x + 1);
  const Vec d0 = AbsDiffU8(a, b);
  const Vec d1 = AbsDiffU8(a_left, b_right);
  const Vec d2 = AbsDiffU8(a_right, b_left);
  const __mmask64 vertical = _mm512_cmple_epu8_mask(d0, d1) & _mm512_cmple_epu8_mask(d0, d2);
  const __mmask64 second = _mm512_cmple_epu8_mask(d2, d1);
  const Vec diagonal = _mm512_mask_blend_epi8(second, _mm512_avg_epu8(a_left, b_right), _mm512_avg_epu8(a_right, b_left));
  const Vec spatial = _mm512_mask_blend_epi8(vertical, diagonal, _mm512_avg_epu8(a, b));
  const Vec temporal = _mm512_avg_epu8(Load(l.f0a + x), Load(l.f2a + x));
  _mm512_storeu_si512(l.out + x, _mm512_mask_blend_epi8(temporal_ok, spatial, temporal));
}

}  // namespace

void MissingLineAvx512(const MissingLine& line) {
  const int end = line.width - 2;
  int x = 2;
  for (; x + kStep <= end; x += kStep) Block(line, x);
  MissingPixelsAvx2(line, x);  // the rest in narrower steps
}

}  // namespace vzbb
#endif
