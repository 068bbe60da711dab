#pragma once
// The stored language choice in the per-user settings store: the value
// `value` in section `section` of store key `key` (for the client
// "Software\vzSoft\vzSurveillance", "Language", the executable's file name).
#include <string>

namespace vz {

// "" when the key or the value is missing or cannot be read.
std::string ReadLangChoice(const std::string& key, const std::string& section, const std::string& value);
// Creates the key when missing; a store that cannot be written keeps nothing.
void WriteLangChoice(const std::string& key, const std::string& section, const std::string& value,
                     const std::string& fileName);

}  // namespace vz
