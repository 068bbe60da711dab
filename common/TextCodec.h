#pragma once
// Text conversions of the suite's files, without Qt: UTF-8 <-> UTF-16LE and
// the reading rule of text files (BOM first, else UTF-8 when valid, else
// Latin-1). Every function accepts any bytes: an invalid sequence becomes
// U+FFFD, never a crash or a read past the end.
#include <string>
#include <string_view>

namespace vz {

// True when the bytes are well-formed UTF-8 (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// Each byte is the code point of the same number (ISO 8859-1).
std::string Latin1ToUtf8(std::string_view bytes);
// The bytes themselves when valid UTF-8, else read as Latin-1; device
// strings and 8-bit files are shown this way.
std::string ToValidUtf8(std::string_view bytes);
// UTF-16LE (no BOM) to UTF-8; lone surrogates and an odd last byte become
// U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-16BE (no BOM) to UTF-8, with the same replacements.
std::string Utf16BeToUtf8(std::string_view bytes);
// UTF-8 to UTF-16LE bytes (no BOM); invalid sequences become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);
// A text file's bytes to UTF-8: a BOM (FF FE, FE FF, EF BB BF) decides and is
// dropped; without one, valid UTF-8 stays, anything else is Latin-1.
std::string DecodeTextFile(std::string_view bytes);

// ASCII case folding, as the INI names of the Windows profile functions
// compare; bytes outside A-Z (UTF-8 included) are left as they are.
char LowerAscii(char c);
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

}  // namespace vz
