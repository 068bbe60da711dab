#pragma once
// Small IPv4 and host-name helpers. None of them throws; failures answer
// false, 0 or an empty string.
//
// Local addresses: a Windows host resolves its own name to the addresses of
// its adapters, and to "127.0.0.1" alone when it has none. Resolving the host
// name on Linux gives whatever /etc/hosts says (127.0.1.1 on Debian), so the
// list is read from the interfaces instead: the IPv4 addresses of every
// interface that is up, loopback left out, in the kernel's order.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// True when s holds only digits and dots, splits at its first three dots into
// four parts and every part is a number 0 ... 255 ("1.2.3.4.5" fails: the
// fourth part "4.5" is no number).
bool IsIP(std::string_view s);
// True when s holds at least two dots and no '@'.
bool IsHostName(std::string_view s);
// True when s splits at separator into exactly six hexadecimal numbers < 256.
bool IsMAC(std::string_view s, char separator = ':');
// True for IPv4 addresses in 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16 or
// with a first number of 0.
bool IsLanIP(std::string_view s);

// First IPv4 address of a host name (or address text) as "a.b.c.d"; "" when
// it does not resolve.
std::string ResolveHost(const std::string& name);

// IPv4 addresses of the interfaces that are up, loopback left out.
std::vector<std::string> LocalIPv4List();
// LocalIPv4List() joined by separator, or "127.0.0.1" when there is none.
std::string LocalIPs(std::string_view separator = ",");

enum class TByteOrder {
  Network,  // the bytes in memory are a, b, c, d (as in in_addr.s_addr)
  Host      // the value is a << 24 | b << 16 | c << 8 | d
};
// "a.b.c.d" of a 32-bit address.
std::string IPToStr(uint32_t value, TByteOrder order = TByteOrder::Network);
// The 32-bit address of a dotted string in network order (as inet_addr);
// 0 for an empty or malformed string.
uint32_t StrToIP(std::string_view s);

// Waits until LocalIPs() is no longer "127.0.0.1": true as soon as it is,
// false after timeout_ms. pump, when given, runs between the checks (the GUI
// thread passes its event processing).
bool WaitForNetwork(int timeout_ms, const std::function<void()>& pump = {});

}  // namespace vz
