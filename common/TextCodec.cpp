#include "TextCodec.h"

#include <cstdint>

namespace vz {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at bytes[pos]; advances pos past it. An invalid
// sequence yields kReplacement and consumes one byte, so decoding always
// makes progress and resynchronises on the next lead byte.
char32_t NextUtf8(std::string_view bytes, size_t& pos, bool& ok) {
  const auto b0 = static_cast<unsigned char>(bytes[pos]);
  ok = true;
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  size_t need = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1Fu;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0Fu;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    min = 0x10000;
  } else {
    ok = false;
    ++pos;
    return kReplacement;
  }
  if (bytes.size() - pos <= need) {
    ok = false;
    ++pos;
    return kReplacement;
  }
  for (size_t i = 1; i <= need; ++i) {
    const auto b = static_cast<unsigned char>(bytes[pos + i]);
    if ((b & 0xC0u) != 0x80u) {
      ok = false;
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ok = false;
    ++pos;
    return kReplacement;
  }
  pos += need + 1;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUnit16Le(std::string& out, uint16_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

std::string Utf16ToUtf8(std::string_view bytes, bool littleEndian) {
  std::string out;
  out.reserve(bytes.size());
  const size_t units = bytes.size() / 2;
  auto unitAt = [&](size_t i) -> uint16_t {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return littleEndian ? static_cast<uint16_t>(a | (b << 8)) : static_cast<uint16_t>((a << 8) | b);
  };
  for (size_t i = 0; i < units; ++i) {
    const uint16_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 < units) {
        const uint16_t low = unitAt(i + 1);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u - 0xD800) << 10) | (low - 0xDC00)));
          ++i;
          continue;
        }
      }
      AppendUtf8(out, kReplacement);
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacement);
  return out;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t pos = 0;
  bool ok = true;
  while (pos < bytes.size()) {
    NextUtf8(bytes, pos, ok);
    if (!ok) return false;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string ToValidUtf8(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Latin1ToUtf8(bytes);
}

std::string Utf16LeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, true); }

std::string Utf16BeToUtf8(std::string_view bytes) { return Utf16ToUtf8(bytes, false); }

std::string Utf8ToUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  size_t pos = 0;
  bool ok = true;
  while (pos < utf8.size()) {
    const char32_t cp = NextUtf8(utf8, pos, ok);
    if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      AppendUnit16Le(out, static_cast<uint16_t>(0xD800 + (v >> 10)));
      AppendUnit16Le(out, static_cast<uint16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      AppendUnit16Le(out, static_cast<uint16_t>(cp));
    }
  }
  return out;
}

std::string DecodeTextFile(std::string_view bytes) {
  auto startsWith = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (startsWith("\xFF\xFE")) return Utf16LeToUtf8(bytes.substr(2));
  if (startsWith("\xFE\xFF")) return Utf16BeToUtf8(bytes.substr(2));
  if (startsWith("\xEF\xBB\xBF")) {
    // A UTF-8 mark on a damaged file: keep the good parts, mark the rest.
    std::string_view body = bytes.substr(3);
    if (IsValidUtf8(body)) return std::string(body);
    std::string out;
    size_t pos = 0;
    bool ok = true;
    while (pos < body.size()) AppendUtf8(out, NextUtf8(body, pos, ok));
    return out;
  }
  return ToValidUtf8(bytes);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace vz
