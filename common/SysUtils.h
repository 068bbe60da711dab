#pragma once
// Small system and value helpers. None of them throws.
#include <cstdint>
#include <string>
#include <string_view>

namespace vz {

// The distribution's PRETTY_NAME from /etc/os-release (else
// /usr/lib/os-release), e.g. "Debian GNU/Linux 12 (bookworm)"; "" when none.
std::string OSName();
// PRETTY_NAME out of os-release text; "" when it holds none.
std::string PrettyNameFromOsRelease(std::string_view text);

// True when bit (0 = least significant) is set; false for a bit outside 0..63.
constexpr bool BitIsSet(uint64_t value, int bit) {
  return bit >= 0 && bit < 64 && ((value >> bit) & 1u) != 0;
}

// Number of times c occurs in s.
constexpr size_t CountChar(char c, std::string_view s) {
  size_t n = 0;
  for (char x : s) n += (x == c);
  return n;
}

// low when value < low, else high when value > high, else value. Unlike
// std::clamp it is defined for low > high too (low wins below, high above).
template <typename T>
constexpr T Clamp(T value, T low, T high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

}  // namespace vz
