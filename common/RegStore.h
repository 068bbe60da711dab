#pragma once
// The per-user settings store that stands in for the registry.
//
// A key is a file: "SoftWare\vzSurveillance" is
// $XDG_CONFIG_HOME/vzSoft/SoftWare/vzSurveillance.ini ($HOME/.config when
// XDG_CONFIG_HOME is unset or not absolute), with "\" turned into "/"; empty,
// "." and ".." parts of a key path are dropped, so a key never leaves the
// store's folder. An empty key means "SoftWare\" plus the program file name
// without extension.
//
// A sub-key is an INI section of its key's file, named by the sub-key path
// with "/" between its parts: section "Login" is [Login], "Dev\Cam1" is
// [Dev/Cam1]. The key's own values (an empty section) live in the section
// with the empty name, written "[]". Names match without regard to ASCII case.
//
// Every call reads the file afresh, and a write reloads, changes and saves it
// while holding a lock within the process and an flock(2) on the key's folder
// across processes, so concurrent writers never lose each other's values.
// Writes answer false when the file cannot be saved; reads answer the default
// for whatever is missing or unreadable.
#include <cstdint>
#include <string>
#include <string_view>

namespace vz {

std::string RegReadString(std::string_view section, std::string_view name, std::string_view def,
                          std::string_view key = {});
bool RegWriteString(std::string_view section, std::string_view name, std::string_view value,
                    std::string_view key = {});
int64_t RegReadInteger(std::string_view section, std::string_view name, int64_t def, std::string_view key = {});
bool RegWriteInteger(std::string_view section, std::string_view name, int64_t value, std::string_view key = {});
bool RegReadBool(std::string_view section, std::string_view name, bool def, std::string_view key = {});
bool RegWriteBool(std::string_view section, std::string_view name, bool value, std::string_view key = {});

// An integer of an INI file (TIniFile::ReadInteger); def when the file or the
// value is missing.
int64_t IniReadInteger(const std::string& file, std::string_view section, std::string_view name, int64_t def);

// The file that holds a key (empty key: the program's default key).
std::string RegFilePath(std::string_view key);
// The section that holds a sub-key's values.
std::string RegSectionName(std::string_view section);

}  // namespace vz
