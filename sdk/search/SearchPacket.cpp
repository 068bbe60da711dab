#include "SearchPacket.h"

#include <arpa/inet.h>

#include <cstring>
#include <string>

namespace vz {

namespace {

constexpr size_t kDevTypeAt = 40;
constexpr size_t kDevNameAt = 84;
constexpr size_t kChlCountAt = 184;
constexpr size_t kDevInfoAt = 24;
constexpr size_t kNetCfgAt = 204;
constexpr size_t kDataPortAt = 204;
constexpr size_t kHttpPortAt = 212;
constexpr size_t kIPAt = 220;
constexpr size_t kMACAt = 240;
constexpr size_t kMaskAt = 260;
constexpr size_t kGatewayAt = 280;
constexpr size_t kDNSAt = 300;

static_assert(kDevInfoAt + offsetof(TDevInfo, DevType) == kDevTypeAt);
static_assert(kDevInfoAt + offsetof(TDevInfo, DevName) == kDevNameAt);
static_assert(kDevInfoAt + offsetof(TDevInfo, VideoChannels) == kChlCountAt);
static_assert(kDevInfoAt + sizeof(TDevInfo) == kNetCfgAt);
static_assert(kNetCfgAt + offsetof(TNetCfg, WebPort) == kHttpPortAt);
static_assert(kNetCfgAt + offsetof(TNetCfg, IP) == kIPAt);
static_assert(kNetCfgAt + offsetof(TNetCfg, Dns) + kSearchTextSize <= kPktSize);

void PutU32(std::vector<uint8_t>& p, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p, size_t at) {
  return static_cast<uint32_t>(p[at]) | static_cast<uint32_t>(p[at + 1]) << 8 |
         static_cast<uint32_t>(p[at + 2]) << 16 | static_cast<uint32_t>(p[at + 3]) << 24;
}

void GetText(const uint8_t* p, size_t at, char (&out)[kSearchTextSize + 1]) {
  std::memcpy(out, p + at, kSearchTextSize);
  out[kSearchTextSize] = '\0';
}

}  // namespace

std::vector<uint8_t> BuildSearchRequest(uint32_t cmd, int32_t arg) {
  std::vector<uint8_t> p(kPktSize, 0);
  PutU32(p, 0, kMarkerPacket);
  PutU32(p, 4, kPktLength);
  PutU32(p, 12, cmd);
  PutU32(p, kPktResultOffset, static_cast<uint32_t>(arg));
  return p;
}

uint32_t SearchAddressOf(const char* text, size_t maxLen) {
  if (text == nullptr) return 0;
  size_t n = 0;
  while (n < maxLen && text[n] != '\0') ++n;
  if (n == 0) return 0;
  const std::string s(text, n);
  in_addr a{};
  // inet_aton takes the same forms as the resolver's classic inet_addr.
  if (::inet_aton(s.c_str(), &a) == 0) return 0xFFFFFFFFu;
  return a.s_addr;
}

bool ParseSearchReply(const uint8_t* data, size_t size, TSearchReply* out) {
  if (data == nullptr || out == nullptr || size != kPktSize) return false;
  if (GetU32(data, 0) != kMarkerPacket || GetU32(data, 4) != kPktLength || GetU32(data, 12) != kCmdSearchDevice) {
    return false;
  }
  TSearchReply r;
  r.DevType = static_cast<int32_t>(GetU32(data, kDevTypeAt));
  r.ChlCount = static_cast<int32_t>(GetU32(data, kChlCountAt));
  r.DataPort = static_cast<int32_t>(GetU32(data, kDataPortAt));
  r.HttpPort = static_cast<int32_t>(GetU32(data, kHttpPortAt));
  GetText(data, kDevNameAt, r.DevName);
  GetText(data, kIPAt, r.DevIP);
  GetText(data, kMACAt, r.DevMAC);
  GetText(data, kMaskAt, r.SubMask);
  GetText(data, kGatewayAt, r.Gateway);
  GetText(data, kDNSAt, r.DNS);
  r.Address = SearchAddressOf(r.DevIP, kSearchTextSize);
  *out = r;
  return true;
}

std::vector<uint8_t> BuildSearchReply(const TDevInfo& info, const TNetCfg& net) {
  std::vector<uint8_t> p = BuildSearchRequest(kCmdSearchDevice, 0);
  std::memcpy(p.data() + kDevInfoAt, &info, sizeof info);
  std::memcpy(p.data() + kNetCfgAt, &net, sizeof net);
  return p;
}

}  // namespace vz
