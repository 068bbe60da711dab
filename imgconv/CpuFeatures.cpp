#include "CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define VZBB_X86 1
#endif

namespace vzbb {

#if defined(VZBB_X86)
namespace {

struct Cpuid {
  unsigned a = 0, b = 0, c = 0, d = 0;
};

bool Query(unsigned leaf, unsigned sub, Cpuid& r) {
  return __get_cpuid_count(leaf, sub, &r.a, &r.b, &r.c, &r.d) != 0;
}

unsigned long long ReadXcr0() {
  unsigned lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<unsigned long long>(hi) << 32) | lo;
}

// Whether the operating system restores the SSE registers: change a bit of
// XMM0 in a saved register image, load that image, save again and look.
// The state in force before the probe is put back in the same asm block,
// so the compiler sees no register change.
bool OsKeepsSseState() {
  alignas(16) unsigned char before[512], changed[512], current[512], after[512];
  __asm__ volatile("fxsave %0" : "=m"(before));
  __builtin_memcpy(changed, before, sizeof changed);
  constexpr int kXmm0 = 160;  // offset of XMM0 in the image
  changed[kXmm0] ^= 0x5A;
  __asm__ volatile(
      "fxsave %0\n\t"
      "fxrstor %2\n\t"
      "fxsave %1\n\t"
      "fxrstor %0"
      : "=m"(current), "=m"(after)
      : "m"(changed));
  return after[kXmm0] == changed[kXmm0];
}

}  // namespace

CpuLevel ClassifyCpu() {
  Cpuid r;
  if (__get_cpuid_max(0, nullptr) < 1 || !Query(1, 0, r)) return CpuLevel::kNoCpuid;
  const bool mmx = r.d & (1u << 23), cmov = r.d & (1u << 15), fxsr = r.d & (1u << 24);
  const bool sse = r.d & (1u << 25), sse2 = r.d & (1u << 26), sse3 = r.c & 1u;
  if (!mmx) return CpuLevel::kNoCpuid;
  if (!cmov) return CpuLevel::kMmx;
  if (!fxsr || !sse || !OsKeepsSseState()) return CpuLevel::kMmxCmov;
  if (!sse2) return CpuLevel::kSse;
  return sse3 ? CpuLevel::kSse3 : CpuLevel::kSse2;
}

namespace {

// Leaf 7 EBX when the operating system saves the register state that the
// bits in xcr0_mask name; 0 otherwise.
unsigned ExtendedFeatures(unsigned long long xcr0_mask) {
  Cpuid r;
  if (__get_cpuid_max(0, nullptr) < 7 || !Query(1, 0, r)) return 0;
  const bool osxsave = r.c & (1u << 27), avx = r.c & (1u << 28);
  if (!osxsave || !avx || (ReadXcr0() & xcr0_mask) != xcr0_mask) return 0;
  Cpuid s;
  return Query(7, 0, s) ? s.b : 0;
}

bool HasAvx2() { return ExtendedFeatures(0x6) & (1u << 5); }  // XMM, YMM

bool HasAvx512() {  // XMM, YMM, opmask, both ZMM halves; F and BW
  const unsigned b = ExtendedFeatures(0xE6);
  return (b & (1u << 16)) && (b & (1u << 30)) && HasAvx2();
}

}  // namespace

bool CpuSupports(SimdPath path) {
  switch (path) {
    case SimdPath::kScalar: return true;
    case SimdPath::kSse2: return ClassifyCpu() >= CpuLevel::kSse2;
    // Asked afresh every time: callers pick their kernels while the library
    // loads, in an order between units that nothing fixes.
    case SimdPath::kAvx2: return HasAvx2();
    case SimdPath::kAvx512: return HasAvx512();
  }
  return false;
}

#else

CpuLevel ClassifyCpu() { return CpuLevel::kNoCpuid; }
bool CpuSupports(SimdPath path) { return path == SimdPath::kScalar; }

#endif

SimdPath BestSimdPath() {
  if (CpuSupports(SimdPath::kAvx512)) return SimdPath::kAvx512;
  if (CpuSupports(SimdPath::kAvx2)) return SimdPath::kAvx2;
  if (CpuSupports(SimdPath::kSse2)) return SimdPath::kSse2;
  return SimdPath::kScalar;
}

}  // namespace vzbb
