#pragma once
// Helpers shared by the image library's tests: random planes and
// sentinel-guarded destinations.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "CpuFeatures.h"

namespace imgtest {

constexpr uint8_t kSentinel = 0xA5;
constexpr size_t kGuard = 64;

// A destination with guard bytes on both sides, all filled with a sentinel.
class Guarded {
 public:
  explicit Guarded(size_t bytes) : buf_(bytes + 2 * kGuard, kSentinel), size_(bytes) {}
  uint8_t* data() { return buf_.data() + kGuard; }
  const uint8_t* data() const { return buf_.data() + kGuard; }
  size_t size() const { return size_; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (buf_[i] != kSentinel || buf_[kGuard + size_ + i] != kSentinel) return false;
    return true;
  }
  bool AllSentinel() const {
    for (uint8_t b : buf_)
      if (b != kSentinel) return false;
    return true;
  }
  const std::vector<uint8_t>& raw() const { return buf_; }

 private:
  std::vector<uint8_t> buf_;
  size_t size_;
};

inline std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  std::uniform_int_distribution<int> d(0, 255);
  for (auto& b : v) b = static_cast<uint8_t>(d(rng));
  return v;
}

inline const char* PathName(vzbb::SimdPath p) {
  switch (p) {
    case vzbb::SimdPath::kScalar: return "scalar";
    case vzbb::SimdPath::kSse2: return "sse2";
    case vzbb::SimdPath::kAvx2: return "avx2";
    case vzbb::SimdPath::kAvx512: return "avx512";
  }
  return "?";
}

inline std::vector<vzbb::SimdPath> AllPaths() {
  return {vzbb::SimdPath::kScalar, vzbb::SimdPath::kSse2, vzbb::SimdPath::kAvx2,
          vzbb::SimdPath::kAvx512};
}

}  // namespace imgtest
