#pragma once
// The packet that carries microphone samples to a device on the player's
// stream connection (little-endian):
//   0  u32 0xDDDDDDDD
//   4  u32 bytes after the first 8 = samples + 24
//   8  20  device address given at connect, NUL-terminated, cut to 19 chars
//   28 i32 data port
//   32 the samples as recorded (at most 4,096 bytes)
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vz {

constexpr uint32_t kTalkMagic = 0xDDDDDDDDu;
constexpr std::size_t kTalkHeadBytes = 32;
constexpr std::size_t kTalkAddrBytes = 20;
constexpr std::size_t kTalkMaxSamples = 4096;

// Replaces out with the packet. False (out emptied) when there are more than
// 4,096 bytes of samples, or bytes promised from a null pointer. The address
// ends at its first NUL or after 19 characters, whichever comes first.
bool BuildTalkPacket(std::string_view svrAddr, int32_t dataPort, const uint8_t* samples,
                     std::size_t count, std::vector<uint8_t>& out);

}  // namespace vz
