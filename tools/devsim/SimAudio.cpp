#include "SimAudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vzsim {

SimAudioFormat SimAudio::FormatFrom(int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample) {
  SimAudioFormat f;
  if (channels == 1 || channels == 2) f.channels = channels;
  if (samplesPerSecond >= 1000 && samplesPerSecond <= 48000) f.samplesPerSecond = samplesPerSecond;
  if (bitsPerSample == 8 || bitsPerSample == 16) f.bitsPerSample = bitsPerSample;
  return f;
}

SimAudio::SimAudio(const SimAudioFormat& format, int channel) : format_(format) {
  const size_t align = static_cast<size_t>(format_.BlockAlign());
  size_t block = static_cast<size_t>(format_.BytesPerSecond()) * kBlockMs / 1000;
  if (block < kMinBlock) block = kMinBlock;
  block_ = (block + align - 1) / align * align;

  const int rate = format_.samplesPerSecond;
  second_.resize(static_cast<size_t>(format_.BytesPerSecond()));
  const double step = 2.0 * M_PI * ToneHz(channel) / rate;
  uint8_t* p = second_.data();
  for (int i = 0; i < rate; ++i) {
    const double s = 0.5 * std::sin(step * i);
    for (int c = 0; c < format_.channels; ++c) {
      if (format_.bitsPerSample == 8) {
        *p++ = static_cast<uint8_t>(128 + static_cast<int>(std::lround(s * 127)));
      } else {
        const auto v = static_cast<int16_t>(std::lround(s * 32767));
        *p++ = static_cast<uint8_t>(v & 0xFF);
        *p++ = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
  }
  out_.resize(block_);
}

int64_t SimAudio::BlockUs() const {
  return static_cast<int64_t>(block_) * 1000000 / format_.BytesPerSecond();
}

const uint8_t* SimAudio::Next() {
  size_t filled = 0;
  while (filled < block_) {
    const size_t n = std::min(block_ - filled, second_.size() - pos_);
    std::memcpy(out_.data() + filled, second_.data() + pos_, n);
    filled += n;
    pos_ = (pos_ + n) % second_.size();
  }
  return out_.data();
}

}  // namespace vzsim
