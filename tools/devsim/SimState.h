#pragma once
// Everything a simulated device keeps across restarts: the whole
// configuration block, the wireless-sensor record and every channel's own
// video and audio record (the whole block holds channel 0's). Stored in one
// file per device; a file that is short, long or not ours is never trusted.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "SimLayout.h"

namespace vzsim {

class SimState {
 public:
  static constexpr int kMaxChannels = 16;

  std::array<uint8_t, layout::kDevCfgSize> cfg{};
  std::array<uint8_t, layout::kRfCfgSize> rf{};
  std::array<std::array<uint8_t, layout::kVideoCfgSize>, kMaxChannels> video{};
  std::array<std::array<uint8_t, layout::kAudioCfgSize>, kMaxChannels> audio{};

  // Channels the device offers: its device information's count, kept to 1 … 16.
  int Channels() const;
  // Copies channel 0's records into the whole block (after a per-channel change).
  void MirrorChannelZero();
  // Takes the whole block's video and audio records as channel 0's (after a
  // whole-block change such as a factory default).
  void AdoptChannelZero();

  std::vector<uint8_t> Serialize() const;
  // False (state untouched) unless the bytes are exactly one saved state.
  bool Parse(const uint8_t* data, size_t size);

  // File I/O. Save writes a temporary file and renames it over the old one.
  bool Load(const std::string& path);
  bool Save(const std::string& path) const;
};

}  // namespace vzsim
