// Language files come from the user's folder: any bytes must give an item or
// none, and every value must split into item lists without surprises.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "IniFile.h"
#include "LangFile.h"
#include "TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = data ? std::string_view(reinterpret_cast<const char*>(data), size) : std::string_view();
  // Legacy decoding must give valid UTF-8 whatever the bytes.
  for (const char* base : {"cn", "tw", "en"}) {
    if (!vz::IsValidUtf8(vz::DecodeLangBytes(bytes, base))) std::abort();
  }
  TIniFile ini;
  ini.LoadFromBytes(vz::DecodeLangBytes(bytes, "cn"));
  TLangItem item;
  if (vz::MakeLangItem(ini, "fz.ini", &item) && (item.Name != "fz" || item.Language != -1)) std::abort();
  for (const std::string& section : ini.Sections()) {
    for (const std::string& key : ini.Keys(section)) {
      const std::string value = ini.ReadString(section, key, "");
      const auto items = vz::SplitLangList(value);
      size_t slashes = 0;
      for (char c : value) slashes += c == '/';
      if (!value.empty() && items.size() != slashes + 1) std::abort();
      for (const std::string& part : items) {
        if (!part.empty() && part.front() == ' ') std::abort();
      }
      (void)vz::DefaultLanguageForLocale(value);
      (void)vz::LanguageIdOf(key);
    }
  }
  return 0;
}
