#pragma once
// TStreamStats: frame rate and bit rate of the frames handed to a video
// decoder, counted per whole second of the frames' own time stamps. The
// frame that opens a new second is counted in the second that just ended.
//
// Count runs on the decoding thread; the renderer reads the figures on the
// same thread. The published figures are atomics so a status query from
// another thread reads whole values.
#include <atomic>
#include <cstdint>
#include <string>

namespace vz {

class TStreamStats {
 public:
  void Count(uint32_t payload_bytes, uint64_t second);
  void Reset();

  int32_t Fps() const { return fps_.load(); }
  int64_t BitRate() const { return bit_rate_.load(); }  // bits in the last whole second
  // "%2d fps ,  %3d Kbps"
  std::string StatusLine() const;

 private:
  // Owned by the counting thread.
  int32_t frames_ = 0;
  int64_t bits_ = 0;
  uint64_t last_second_ = 0;
  // Published.
  std::atomic<int32_t> fps_{0};
  std::atomic<int64_t> bit_rate_{0};
};

}  // namespace vz
