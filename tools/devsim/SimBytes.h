#pragma once
// Little-endian field access into byte blocks by offset. The simulator keeps
// the device's records as raw bytes (exactly what travels on the wire), so
// every field is reached through these bounded helpers: an access outside
// the block writes nothing and reads zero.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vzsim {

inline uint32_t GetU32(const uint8_t* block, size_t size, size_t off) {
  if (off > size || size - off < 4) return 0;
  return static_cast<uint32_t>(block[off]) | static_cast<uint32_t>(block[off + 1]) << 8 |
         static_cast<uint32_t>(block[off + 2]) << 16 | static_cast<uint32_t>(block[off + 3]) << 24;
}

inline void PutU32(uint8_t* block, size_t size, size_t off, uint32_t value) {
  if (off > size || size - off < 4) return;
  for (int i = 0; i < 4; ++i) block[off + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutU64(uint8_t* block, size_t size, size_t off, uint64_t value) {
  PutU32(block, size, off, static_cast<uint32_t>(value));
  PutU32(block, size, off + 4, static_cast<uint32_t>(value >> 32));
}

inline void PutU8(uint8_t* block, size_t size, size_t off, uint8_t value) {
  if (off < size) block[off] = value;
}

// A NUL-padded text field of `field` bytes; text longer than field - 1 is cut
// (the simulator writes only its own fixed texts).
inline void PutText(uint8_t* block, size_t size, size_t off, size_t field, const std::string& text) {
  if (off > size || size - off < field || field == 0) return;
  std::memset(block + off, 0, field);
  std::memcpy(block + off, text.data(), text.size() < field ? text.size() : field - 1);
}

// Reads a text field that may fill its field without a terminator.
inline std::string GetText(const uint8_t* block, size_t size, size_t off, size_t field) {
  if (off > size || size - off < field) return {};
  size_t n = 0;
  while (n < field && block[off + n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(block + off), n);
}

}  // namespace vzsim
