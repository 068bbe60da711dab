#pragma once
// Builds record files in memory the way the recorder lays them out, and
// reads them back through the checker.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "AVFrameHead.h"
#include "RecFileCheck.h"
#include "RecFileFormat.h"

namespace rectest {

struct TRecFrameSpec {
  bool Video = true;
  bool Key = false;
  uint32_t PayloadBytes = 40;
  uint64_t TimeMs = 0;
};

// Header plus frames with back-links as the recorder writes them; file
// length and end time filled as at close unless unfinished.
inline std::string MakeRecFile(const std::vector<TRecFrameSpec>& frames, bool unfinished = false) {
  vz::TRecFileHeader h = vz::MakeRecHeader();
  std::string out(sizeof h, '\0');
  uint64_t last_key = vz::kRecFirstFrameOffset;
  bool key_seen = false;
  for (const TRecFrameSpec& s : frames) {
    vz::TAVFrameHead fh{};
    fh.Magic = s.Video ? vz::kMarkerVideo : vz::kMarkerAudio;
    fh.Len = s.PayloadBytes + vz::kFrameLenOverhead;
    fh.TimeStamp = s.TimeMs * 1000;
    fh.IsIFrame = s.Key ? 1 : 0;
    const uint64_t p = out.size();
    const bool key = s.Video && s.Key;
    if (key && !key_seen) last_key = p;
    fh.StreamType = static_cast<int32_t>(last_key);
    if (key) {
      last_key = p;
      key_seen = true;
    }
    out.append(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.append(s.PayloadBytes, static_cast<char>(0x5A));
  }
  if (!unfinished) h.FileLen = static_cast<uint32_t>(out.size());
  std::memcpy(out.data(), &h, sizeof h);
  return out;
}

// A GOP pattern: a key frame every `gop` video frames, an audio frame
// after every `audio_every` video frames (0: none), 40 ms apart.
inline std::vector<TRecFrameSpec> Gops(int video_frames, int gop, int audio_every = 0) {
  std::vector<TRecFrameSpec> v;
  for (int i = 0; i < video_frames; ++i) {
    v.push_back({true, i % gop == 0, static_cast<uint32_t>(40 + i % 7), static_cast<uint64_t>(i) * 40});
    if (audio_every > 0 && i % audio_every == audio_every - 1) {
      v.push_back({false, false, 32, static_cast<uint64_t>(i) * 40 + 20});
    }
  }
  return v;
}

inline vz::TRecReadAt MemReader(const std::string& bytes) {
  return [&bytes](uint64_t offset, uint8_t* dst, std::size_t n) -> std::size_t {
    if (offset >= bytes.size()) return 0;
    const std::size_t k = std::min<std::size_t>(n, bytes.size() - static_cast<std::size_t>(offset));
    std::memcpy(dst, bytes.data() + offset, k);
    return k;
  };
}

inline vz::TRecCheckReport Check(const std::string& bytes,
                                 vz::TRecFirstFrame rule = vz::TRecFirstFrame::KeyOnly) {
  return vz::CheckRecFile(MemReader(bytes), bytes.size(), rule);
}

inline void PutU32(std::string& bytes, std::size_t at, uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); }

}  // namespace rectest
