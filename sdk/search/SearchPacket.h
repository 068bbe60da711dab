#pragma once
// The LAN search datagrams: the search and set-time requests the SDK
// broadcasts and the reply each device sends back. Both are whole 1460-byte
// command packets; the requests leave Marker2 at 0, all integers are
// little-endian. Pure functions: no I/O, no logging, no exceptions.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vz_protocol.h"

namespace vz {

constexpr uint32_t kCmdSearchDevice = 26;
constexpr int kSearchRequestPort = 2000;
constexpr const char* kSearchGroup = "239.255.255.250";
constexpr size_t kSearchTextSize = 20;  // every text field of the reply

// A request of command `cmd` with `arg` in the Result field (the PC's local
// seconds for set-time, 0 for a search).
std::vector<uint8_t> BuildSearchRequest(uint32_t cmd, int32_t arg);

// The fields of an accepted reply. The text fields are copied from their
// 20-byte slots and always NUL-terminated here, even when the device filled
// all 20 bytes.
struct TSearchReply {
  int32_t DevType = 0;
  int32_t ChlCount = 0;
  int32_t DataPort = 0;
  int32_t HttpPort = 0;
  char DevName[kSearchTextSize + 1] = {};
  char DevIP[kSearchTextSize + 1] = {};
  char DevMAC[kSearchTextSize + 1] = {};
  char SubMask[kSearchTextSize + 1] = {};
  char Gateway[kSearchTextSize + 1] = {};
  char DNS[kSearchTextSize + 1] = {};
  // DevIP as an IPv4 address in network byte order: 0 for empty text,
  // 0xFFFFFFFF for text that is no address.
  uint32_t Address = 0;
};

// True only for exactly 1460 bytes with marker 0xAAAAAAAA, length 1452 and
// command 26; `out` is filled then and left alone otherwise.
bool ParseSearchReply(const uint8_t* data, size_t size, TSearchReply* out);

// The address value of an IP text as the search compares it (see Address).
uint32_t SearchAddressOf(const char* text, size_t maxLen);

// Builds a reply as a device sends it: `info` at offset 24 and `net` at 204.
std::vector<uint8_t> BuildSearchReply(const TDevInfo& info, const TNetCfg& net);

}  // namespace vz
