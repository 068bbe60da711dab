#pragma once
// Builds raw frames the way a device sends them.
#include <cstdint>
#include <cstring>
#include <vector>

#include "AVFrameHead.h"

namespace frametest {

struct TFrameSpec {
  bool Video = true;
  uint32_t PayloadBytes = 100;
  uint64_t TimeMs = 0;
  uint8_t Chl = 0;
  bool Key = false;
  int32_t StreamType = 0;
  uint8_t Fill = 0x5A;
};

inline std::vector<uint8_t> MakeFrame(const TFrameSpec& s) {
  vz::TAVFrameHead h{};
  h.Magic = s.Video ? vz::kMarkerVideo : vz::kMarkerAudio;
  h.Len = s.PayloadBytes + vz::kFrameLenOverhead;
  h.TimeStamp = s.TimeMs * 1000;
  h.Chl = s.Chl;
  h.IsIFrame = s.Key ? 1 : 0;
  h.StreamType = s.StreamType;
  std::vector<uint8_t> out(sizeof h + s.PayloadBytes, s.Fill);
  std::memcpy(out.data(), &h, sizeof h);
  return out;
}

inline vz::TAVFrameHead HeadOf(const std::vector<uint8_t>& frame) {
  vz::TAVFrameHead h{};
  std::memcpy(&h, frame.data(), sizeof h);
  return h;
}

}  // namespace frametest
