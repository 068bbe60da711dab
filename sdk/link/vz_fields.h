#pragma once
// Bounded access to the fixed-size string fields of records and packets.
//
// A field is n bytes, NUL-padded; a field that is full has no terminator, so
// a reader must never look past byte n - 1. A writer never cuts a value to
// make it fit: a value that is too long (or would be cut by an embedded NUL)
// is refused with false and the field is left as it was.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace vz {

// The text of a field of n bytes at p: up to the first NUL, at most n bytes.
inline std::string FieldText(const char* p, std::size_t n) {
  std::size_t len = 0;
  while (len < n && p[len] != '\0') ++len;
  return std::string(p, len);
}

// Writes value into the n-byte field at p and NUL-pads the rest. Refused when
// value is longer than maxChars (itself at most n) or holds a NUL.
inline bool FieldStore(char* p, std::size_t n, std::string_view value, std::size_t maxChars) {
  if (maxChars > n || value.size() > maxChars || value.find('\0') != std::string_view::npos)
    return false;
  std::memset(p, 0, n);
  if (!value.empty()) std::memcpy(p, value.data(), value.size());
  return true;
}

template <std::size_t N>
std::string GetStrField(const char (&field)[N]) {
  return FieldText(field, N);
}

// Records: the client writes at most N - 1 characters, so the device always
// finds a terminator in what we send.
template <std::size_t N>
bool SetStrField(char (&field)[N], std::string_view value) {
  return FieldStore(field, N, value, N - 1);
}

// Packet fields where a value may fill the whole field (login user name,
// password and address): up to N characters, no terminator when full.
template <std::size_t N>
bool SetStrFieldFull(char (&field)[N], std::string_view value) {
  return FieldStore(field, N, value, N);
}

}  // namespace vz
