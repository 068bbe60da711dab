#pragma once
// Record files built in the tests: a header with the fields the player
// reads, then frames linked back the way the recorder links them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "AVFrameHead.h"

namespace fptest {

struct TFrameSpec {
  bool video = true;
  bool key = false;
  uint64_t timeUs = 0;
  uint32_t payloadBytes = 100;
};

struct TRecBytes {
  std::string bytes;
  std::vector<uint64_t> offsets;  // of each frame
};

inline void PutI32(std::string& s, std::size_t at, int32_t v) { std::memcpy(&s[at], &v, sizeof v); }

// Header: 352 x 288 H.264, 8 kHz 16-bit mono sound. Every payload starts
// with the frame's index as 4 bytes, so callbacks tell frames apart.
inline TRecBytes BuildRecFile(const std::vector<TFrameSpec>& frames, int32_t width = 352, int32_t height = 288) {
  TRecBytes out;
  out.bytes.assign(256, '\0');
  PutI32(out.bytes, 56, 1);
  PutI32(out.bytes, 60, 1);
  PutI32(out.bytes, 68, width);
  PutI32(out.bytes, 72, height);
  PutI32(out.bytes, 76, 2);
  PutI32(out.bytes, 196, 1);
  PutI32(out.bytes, 200, 8000);
  PutI32(out.bytes, 212, 16);
  int64_t lastKey = -1;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const TFrameSpec& f = frames[i];
    const uint64_t at = out.bytes.size();
    if (lastKey < 0 && f.video && f.key) lastKey = static_cast<int64_t>(at);
    vz::TAVFrameHead h{};
    h.Magic = f.video ? vz::kMarkerVideo : vz::kMarkerAudio;
    h.Len = f.payloadBytes + vz::kFrameLenOverhead;
    h.TimeStamp = f.timeUs;
    h.IsIFrame = f.key ? 1 : 0;
    h.StreamType = static_cast<int32_t>(lastKey < 0 ? 256 : lastKey);
    std::string frame(sizeof h + f.payloadBytes, '\x5a');
    std::memcpy(&frame[0], &h, sizeof h);
    const auto index = static_cast<uint32_t>(i);
    std::memcpy(&frame[sizeof h], &index, f.payloadBytes < 4 ? f.payloadBytes : 4);
    out.bytes += frame;
    out.offsets.push_back(at);
    if (f.video && f.key) lastKey = static_cast<int64_t>(at);
  }
  return out;
}

// A group of pictures every `gop` video frames at 25 frames per second,
// with one audio frame after each video frame when withAudio.
inline std::vector<TFrameSpec> Gops(int videoFrames, int gop, bool withAudio, uint32_t payloadBytes = 100) {
  std::vector<TFrameSpec> out;
  const uint64_t start = 1700000000ull * 1000000ull;
  for (int i = 0; i < videoFrames; ++i) {
    out.push_back({true, i % gop == 0, start + static_cast<uint64_t>(i) * 40000, payloadBytes});
    if (withAudio) out.push_back({false, false, start + static_cast<uint64_t>(i) * 40000 + 1, 320});
  }
  return out;
}

inline uint32_t FrameIndexOf(const uint8_t* payload) {
  uint32_t v;
  std::memcpy(&v, payload, sizeof v);
  return v;
}

}  // namespace fptest
