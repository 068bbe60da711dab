#pragma once
// Which instruction sets the fast paths may use on this processor.

namespace vzbb {

// Processor classes of the deinterlacer's start-up check.
enum class CpuLevel : int {
  kNoCpuid = 0,
  kMmx = 1,
  kMmxCmov = 2,
  kSse = 3,   // FXSAVE and SSE, state preserved by the operating system
  kSse2 = 4,
  kSse3 = 5,
};

// The SIMD families a kernel may be built for.
enum class SimdPath : int { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };  // AVX-512: F and BW

CpuLevel ClassifyCpu();
bool CpuSupports(SimdPath path);
// The widest path this processor supports and this build contains.
SimdPath BestSimdPath();

}  // namespace vzbb
