#include "NetUtils.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace vz {
namespace {

// A decimal number 0 ... 255 made only of digits; leading zeros allowed.
bool ParseOctet(std::string_view part, int& value) {
  if (part.empty()) return false;
  int v = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 255) return false;
  }
  value = v;
  return true;
}

bool ParseIPv4(std::string_view s, uint8_t out[4]) {
  for (char c : s) {
    if (c != '.' && (c < '0' || c > '9')) return false;
  }
  // Split at the first three dots; the rest is the fourth part.
  for (int i = 0; i < 4; ++i) {
    std::string_view part = s;
    if (i < 3) {
      size_t dot = s.find('.');
      if (dot == std::string_view::npos) return false;
      part = s.substr(0, dot);
      s.remove_prefix(dot + 1);
    }
    int v = 0;
    if (!ParseOctet(part, v)) return false;
    out[i] = static_cast<uint8_t>(v);
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHexByte(std::string_view part) {
  if (part.empty()) return false;
  unsigned v = 0;
  for (char c : part) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
    if (v > 255) return false;
  }
  return true;
}

std::string FormatOctets(const uint8_t b[4]) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
  return text;
}

}  // namespace

bool IsIP(std::string_view s) {
  uint8_t b[4];
  return ParseIPv4(s, b);
}

bool IsHostName(std::string_view s) {
  size_t dots = 0;
  for (char c : s) {
    if (c == '@') return false;
    if (c == '.') ++dots;
  }
  return dots >= 2;
}

bool IsMAC(std::string_view s, char separator) {
  int parts = 0;
  for (;;) {
    size_t sep = s.find(separator);
    std::string_view part = s.substr(0, sep);
    if (!IsHexByte(part) || ++parts > 6) return false;
    if (sep == std::string_view::npos) break;
    s.remove_prefix(sep + 1);
  }
  return parts == 6;
}

bool IsLanIP(std::string_view s) {
  uint8_t b[4];
  if (!ParseIPv4(s, b)) return false;
  return b[0] == 0 || b[0] == 10 || (b[0] == 172 && b[1] >= 16 && b[1] <= 31) ||
         (b[0] == 192 && b[1] == 168);
}

std::string ResolveHost(const std::string& name) {
  if (name.empty()) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
  std::string text;
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr && a->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in sin{};
      std::memcpy(&sin, a->ai_addr, sizeof sin);
      text = IPToStr(sin.sin_addr.s_addr, TByteOrder::Network);
      break;
    }
  }
  ::freeaddrinfo(found);
  return text;
}

std::vector<std::string> LocalIPv4List() {
  std::vector<std::string> list;
  ifaddrs* all = nullptr;
  if (::getifaddrs(&all) != 0) return list;
  for (ifaddrs* i = all; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
    sockaddr_in sin{};
    std::memcpy(&sin, i->ifa_addr, sizeof sin);
    list.push_back(IPToStr(sin.sin_addr.s_addr, TByteOrder::Network));
  }
  ::freeifaddrs(all);
  return list;
}

std::string LocalIPs(std::string_view separator) {
  std::vector<std::string> list = LocalIPv4List();
  if (list.empty()) return "127.0.0.1";
  std::string joined;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i) joined += separator;
    joined += list[i];
  }
  return joined;
}

std::string IPToStr(uint32_t value, TByteOrder order) {
  uint8_t b[4];
  if (order == TByteOrder::Network) {
    std::memcpy(b, &value, 4);
  } else {
    b[0] = static_cast<uint8_t>(value >> 24);
    b[1] = static_cast<uint8_t>(value >> 16);
    b[2] = static_cast<uint8_t>(value >> 8);
    b[3] = static_cast<uint8_t>(value);
  }
  return FormatOctets(b);
}

uint32_t StrToIP(std::string_view s) {
  uint8_t b[4];
  if (!ParseIPv4(s, b)) return 0;
  uint32_t value = 0;
  std::memcpy(&value, b, 4);
  return value;
}

bool WaitForNetwork(int timeout_ms, const std::function<void()>& pump) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    if (LocalIPs() != "127.0.0.1") return true;
    if (Clock::now() >= deadline) return false;
    if (pump) pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace vz
