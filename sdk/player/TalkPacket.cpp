#include "TalkPacket.h"

#include <algorithm>
#include <cstring>

namespace vz {
namespace {

void PutU32(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
  at[2] = static_cast<uint8_t>(v >> 16);
  at[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

bool BuildTalkPacket(std::string_view svrAddr, int32_t dataPort, const uint8_t* samples,
                     std::size_t count, std::vector<uint8_t>& out) {
  out.clear();
  if (count > kTalkMaxSamples || (count > 0 && !samples)) return false;
  out.assign(kTalkHeadBytes + count, 0);
  uint8_t* p = out.data();
  PutU32(p, kTalkMagic);
  PutU32(p + 4, static_cast<uint32_t>(count + kTalkHeadBytes - 8));
  const std::size_t nul = svrAddr.find('\0');
  const std::size_t addrLen =
      std::min(nul == std::string_view::npos ? svrAddr.size() : nul, kTalkAddrBytes - 1);
  if (addrLen > 0) std::memcpy(p + 8, svrAddr.data(), addrLen);
  PutU32(p + 8 + kTalkAddrBytes, static_cast<uint32_t>(dataPort));
  if (count > 0) std::memcpy(p + kTalkHeadBytes, samples, count);
  return true;
}

}  // namespace vz
