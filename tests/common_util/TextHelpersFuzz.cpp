// Device addresses, MAC texts and os-release files are outside input: the
// validators must agree with each other on anything they are handed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "NetUtils.h"
#include "SysUtils.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view s = size ? std::string_view(reinterpret_cast<const char*>(data), size) : std::string_view();

  const uint32_t ip = vz::StrToIP(s);
  if (vz::IsIP(s)) {
    const std::string canonical = vz::IPToStr(ip, vz::TByteOrder::Network);
    Check(vz::IsIP(canonical));
    Check(vz::StrToIP(canonical) == ip);
    Check(vz::CountChar('.', s) == 3);
  } else {
    Check(ip == 0);
    Check(!vz::IsLanIP(s));
  }
  if (vz::IsMAC(s, ':')) Check(vz::CountChar(':', s) == 5 && s.size() >= 11);
  if (vz::IsHostName(s)) Check(vz::CountChar('.', s) >= 2 && vz::CountChar('@', s) == 0);

  const std::string pretty = vz::PrettyNameFromOsRelease(s);
  Check(pretty.size() <= s.size());
  return 0;
}
