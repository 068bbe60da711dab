#include "DeInterlaceKernels.h"

namespace vzbb {
namespace {

int Abs(int v) { return v < 0 ? -v : v; }
int Max(int a, int b) { return a > b ? a : b; }
int Min(int a, int b) { return a < b ? a : b; }

struct BlockMeasure {
  int sum;     // a[x] + a[x+1] + b[x] + b[x+1]
  int detail;  // |a[x] - b[x]| + |a[x] - a[x+1]|
};

BlockMeasure Measure(const uint8_t* a, const uint8_t* b, int x) {
  return {a[x] + a[x + 1] + b[x] + b[x + 1], Abs(a[x] - b[x]) + Abs(a[x] - a[x + 1])};
}

// Whether the pixel pair starting at the even column x is still.
bool PairIsStill(const MissingLine& l, int x) {
  const BlockMeasure m0 = Measure(l.f0a, l.f0b, x);
  const BlockMeasure m1 = Measure(l.f1a, l.f1b, x);
  const BlockMeasure m2 = Measure(l.f2a, l.f2b, x);
  const BlockMeasure m3 = Measure(l.f3a, l.f3b, x);
  const int texture = Max(Max(m0.detail, m1.detail), Max(m2.detail, m3.detail));
  const int motion = Max(Abs(m0.sum - m2.sum), Abs(m1.sum - m3.sum));
  const int threshold = texture < 45 ? 40 : 130;
  return motion < threshold;
}

// Edge-directed average of field 1's lines around the missing pixel x.
uint8_t Spatial(const uint8_t* a, const uint8_t* b, int x) {
  const int d0 = Abs(a[x] - b[x]);
  const int d1 = Abs(a[x - 1] - b[x + 1]);
  const int d2 = Abs(a[x + 1] - b[x - 1]);
  const int m = Min(d0, Min(d1, d2));
  if (d0 == m) return uint8_t((a[x] + b[x] + 1) >> 1);
  if (d2 == m) return uint8_t((a[x + 1] + b[x - 1] + 1) >> 1);
  return uint8_t((a[x - 1] + b[x + 1] + 1) >> 1);
}

}  // namespace

void MissingPixelsScalar(const MissingLine& l, int begin, int end) {
  for (int x = begin; x < end; ++x) {
    const bool still = PairIsStill(l, x & ~1);
    // Four still decisions in a row: the counter already stood at 3.
    const bool temporal = still && l.still[x] == 3;
    if (!still)
      l.still[x] = 0;
    else if (l.still[x] < 3)
      ++l.still[x];
    l.out[x] = temporal ? uint8_t((l.f0a[x] + l.f2a[x] + 1) >> 1) : Spatial(l.f1a, l.f1b, x);
  }
}

void MissingLineReference(const MissingLine& line) { MissingPixelsScalar(line, 2, line.width - 2); }

MissingLineFn MissingLineFor(SimdPath path) {
  if (!CpuSupports(path)) return nullptr;
  switch (path) {
    case SimdPath::kScalar: return MissingLineReference;
#if defined(__x86_64__)
    case SimdPath::kSse2: return MissingLineSse2;
    case SimdPath::kAvx2: return MissingLineAvx2;
    case SimdPath::kAvx512: return MissingLineAvx512;
#else
    default: return nullptr;
#endif
  }
  return nullptr;
}

}  // namespace vzbb
