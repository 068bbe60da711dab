#include "LangStore.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "IniFile.h"

namespace vz {
namespace {

std::string StoreFile(const std::string& key) {
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = std::string(h) + "/.config";
  } else {
    base = "/tmp";
  }
  std::string path = key;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return base + "/vzSoft/" + path + ".ini";
}

}  // namespace

std::string ReadLangChoice(const std::string& key, const std::string& section, const std::string& value) {
  TIniFile ini;
  if (!ini.Load(StoreFile(key))) return {};
  return ini.ReadString(section, value, "");
}

void WriteLangChoice(const std::string& key, const std::string& section, const std::string& value,
                     const std::string& fileName) {
  const std::string file = StoreFile(key);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
  TIniFile ini;
  ini.Load(file);
  ini.WriteString(section, value, fileName);
  ini.Save(file);
}

}  // namespace vz
