#pragma once
// The deinterlacer's line builder: the plain reference that defines the
// missing lines, and the fast paths that must match it byte for byte.
#include <cstdint>

#include "CpuFeatures.h"

namespace vzbb {

// Everything one missing line needs: lines i (a) and i + 1 (b) of the four
// fields of the history (0 newest), the still counters of line i, and the
// output line.
struct MissingLine {
  const uint8_t* f0a;
  const uint8_t* f0b;
  const uint8_t* f1a;
  const uint8_t* f1b;
  const uint8_t* f2a;
  const uint8_t* f2b;
  const uint8_t* f3a;
  const uint8_t* f3b;
  uint8_t* still;
  uint8_t* out;
  int width;
};

// Builds pixels [begin, end) of a missing line one by one; begin >= 2 and
// end <= width - 2, so every neighbour read lies inside the lines.
void MissingPixelsScalar(const MissingLine& line, int begin, int end);

// Builds pixels [2, width - 2) of a missing line. The first and last two
// pixels are the caller's: they are copies of field 1.
using MissingLineFn = void (*)(const MissingLine& line);

void MissingLineReference(const MissingLine& line);
void MissingLineSse2(const MissingLine& line);
void MissingLineAvx2(const MissingLine& line);
void MissingLineAvx512(const MissingLine& line);

// Pixels [begin, width - 2) with the given fast path; begin >= 2 and even.
void MissingPixelsSse2(const MissingLine& line, int begin);
void MissingPixelsAvx2(const MissingLine& line, int begin);

// The line builder of a path; null when this build or processor lacks it.
MissingLineFn MissingLineFor(SimdPath path);

}  // namespace vzbb
