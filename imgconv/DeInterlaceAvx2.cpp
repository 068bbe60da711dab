// AVX2 line builder of the deinterlacer, 32 pixels per step. The block
// measures live in 16-bit lanes, one lane per pixel pair, so a lane's
// still mask covers both pixels of its pair.
#if defined(__x86_64__)
#include <immintrin.h>

#include "DeInterlaceKernels.h"

namespace vzbb {
namespace {

using Vec = __m256i;
constexpr int kStep = 32;

inline Vec Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const Vec*>(p)); }
inline void Store(uint8_t* p, Vec v) { _mm256_storeu_si256(reinterpret_cast<Vec*>(p), v); }
inline Vec AbsDiffU8(Vec a, Vec b) { return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a)); }
inline Vec AbsDiffI16(Vec a, Vec b) { return _mm256_sub_epi16(_mm256_max_epi16(a, b), _mm256_min_epi16(a, b)); }
inline Vec LessEqU8(Vec a, Vec b) { return _mm256_cmpeq_epi8(_mm256_min_epu8(a, b), a); }
inline Vec Select(Vec mask, Vec yes, Vec no) { return _mm256_or_si256(_mm256_and_si256(mask, yes), _mm256_andnot_si256(mask, no)); }

struct Measure {
  Vec sum, detail;  // per pixel pair
};

inline Measure MeasureField(const uint8_t* a_line, const uint8_t* b_line, int x) {
  const Vec low = _mm256_set1_epi16(0x00FF);
  const Vec a = Load(a_line + x), b = Load(b_line + x);
  const Vec ae = _mm256_and_si256(a, low), ao = _mm256_srli_epi16(a, 8);
  const Vec be = _mm256_and_si256(b, low), bo = _mm256_srli_epi16(b, 8);
  const Vec sum = _mm256_add_epi16(_mm256_add_epi16(ae, ao), _mm256_add_epi16(be, bo));
  const Vec detail = _mm256_add_epi16(_mm256_and_si256(AbsDiffU8(a, b), low), AbsDiffI16(ae, ao));
  return {sum, detail};
}

inline void Block(const MissingLine& l, int x) {
  const Measure m0 = MeasureField(l.f0a, l.f0b, x);
  const Measure m1 = MeasureField(l.f1a, l.f1b, x);
  const Measure m2 = MeasureField(l.f2a, l.f2b, x);
  const Measure m3 = MeasureField(l.f3a, l.f3b, x);
  const Vec texture = _mm256_max_epi16(_mm256_max_epi16(m0.detail, m1.detail), _mm256_max_epi16(m2.detail, m3.detail));
  const Vec motion = _mm256_max_epi16(AbsDiffI16(m0.sum, m2.sum), AbsDiffI16(m1.sum, m3.sum));
  const Vec smooth = _mm256_cmpgt_epi16(_mm256_set1_epi16(45), texture);
  const Vec threshold = Select(smooth, _mm256_set1_epi16(40), _mm256_set1_epi16(130));
  const Vec still = _mm256_cmpgt_epi16(threshold, motion);

  const Vec count = Load(l.still + x);
  const Vec three = _mm256_set1_epi8(3);
  const Vec temporal_ok = _mm256_and_si256(still, _mm256_cmpeq_epi8(count, three));
  Store(l.still + x, _mm256_and_si256(still, _mm256_min_epu8(_mm256_add_epi8(count, _mm256_set1_epi8(1)), three)));

  const Vec a = Load(l.f1a + x), b = Load(l.f1b + x);
  const Vec a_left = Load(l.f1a + x - 1), a_right = Load(l.f1a + x + 1);
  const Vec b_left = Load(l.f1b + x - 1), b_right = Load(l.f1b + x + 1);
  const Vec d0 = AbsDiffU8(a, b);
  const Vec d1 = AbsDiffU8(a_left, b_right);
  const Vec d2 = AbsDiffU8(a_right, b_left);
  const Vec vertical = _mm256_and_si256(LessEqU8(d0, d1), LessEqU8(d0, d2));
  const Vec second = LessEqU8(d2, d1);
  const Vec spatial = Select(vertical, _mm256_avg_epu8(a, b),
                             Select(second, _mm256_avg_epu8(a_right, b_left), _mm256_avg_epu8(a_left, b_right)));
  const Vec temporal = _mm256_avg_epu8(Load(l.f0a + x), Load(l.f2a + x));
  Store(l.out + x, Select(temporal_ok, temporal, spatial));
}

}  // namespace

void MissingPixelsAvx2(const MissingLine& line, int begin) {
  const int end = line.width - 2;
  int x = begin;
  for (; x + kStep <= end; x += kStep) Block(line, x);
  MissingPixelsScalar(line, x, end);
}

void MissingLineAvx2(const MissingLine& line) { MissingPixelsAvx2(line, 2); }

}  // namespace vzbb
#endif
