// Arbitrary bytes as a device's reply to the web requests.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "class_DevHttp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(data ? reinterpret_cast<const char*>(data) : "", data ? size : 0);
  const bool ok = vz::TDevHttp::IsStatusOK(body);
  if (ok && (body.size() >= vz::TDevHttp::kShortStatusLimit || body.substr(0, 2) != "OK")) __builtin_trap();
  for (const vz::TWiFiEntry& row : vz::TDevHttp::ParseWiFiList(body)) {
    if (row.SSID.empty()) __builtin_trap();
  }
  return 0;
}
