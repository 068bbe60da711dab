#include "class_StreamStats.h"

#include <cstdio>

namespace vz {

void TStreamStats::Count(uint32_t payload_bytes, uint64_t second) {
  frames_ += 1;
  bits_ += static_cast<int64_t>(payload_bytes) * 8;
  if (second > last_second_) {
    fps_.store(frames_);
    bit_rate_.store(bits_);
    frames_ = 0;
    bits_ = 0;
    last_second_ = second;
  } else if (second < last_second_) {
    // The clock went back: start counting afresh from here instead of
    // freezing the figures until the clock catches up again.
    frames_ = 1;
    bits_ = static_cast<int64_t>(payload_bytes) * 8;
    last_second_ = second;
  }
}

void TStreamStats::Reset() {
  frames_ = 0;
  bits_ = 0;
  last_second_ = 0;
  fps_.store(0);
  bit_rate_.store(0);
}

std::string TStreamStats::StatusLine() const {
  char line[64];
  std::snprintf(line, sizeof line, "%2d fps ,  %3d Kbps", static_cast<int>(fps_.load()),
                static_cast<int>(bit_rate_.load() / 1024));
  return line;
}

}  // namespace vz
