// Any bytes load; what is saved loads back to the same sections, keys and
// values, and saving that again gives the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "IniFile.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes =
      size == 0 ? std::string_view() : std::string_view(reinterpret_cast<const char*>(data), size);
  TIniFile first;
  first.LoadFromBytes(bytes);
  const std::string saved = first.SaveToBytes();
  Check(saved.size() >= 2 && saved.size() % 2 == 0);

  TIniFile second;
  second.LoadFromBytes(saved);
  Check(second.SaveToBytes() == saved);
  const auto sections = first.Sections();
  Check(sections == second.Sections());
  for (const std::string& section : sections) {
    const auto keys = first.Keys(section);
    Check(keys == second.Keys(section));
    for (const std::string& key : keys) {
      Check(first.ReadString(section, key, "\x01missing") == second.ReadString(section, key, "\x02missing"));
    }
  }
  return 0;
}
