#pragma once
// The sound of one simulated channel: a steady sine tone in the channel's
// configured PCM format, a different pitch on every channel (400 Hz on
// channel 0, 200 Hz higher on each further one), cut into blocks of at least
// 1024 bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vzsim {

struct SimAudioFormat {
  int channels = 1;          // 1 or 2
  int samplesPerSecond = 8000;  // 1000 … 48000
  int bitsPerSample = 16;    // 8 (unsigned) or 16 (signed)

  int BlockAlign() const { return channels * bitsPerSample / 8; }
  int BytesPerSecond() const { return samplesPerSecond * BlockAlign(); }
};

class SimAudio {
 public:
  static constexpr size_t kMinBlock = 1024;
  static constexpr int kBlockMs = 128;

  // Takes the raw fields of the channel's audio record; values out of range
  // fall back to 8000 Hz, 16 bits, mono, field by field.
  static SimAudioFormat FormatFrom(int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample);
  static int ToneHz(int channel) { return 400 + 200 * channel; }

  SimAudio(const SimAudioFormat& format, int channel);

  const SimAudioFormat& Format() const { return format_; }
  // Bytes per block: 128 ms of sound, at least kMinBlock, whole samples.
  size_t BlockBytes() const { return block_; }
  // Microseconds of sound in one block.
  int64_t BlockUs() const;
  // The next block of the continuous tone.
  const uint8_t* Next();

 private:
  SimAudioFormat format_;
  size_t block_ = 0;
  std::vector<uint8_t> second_;  // exactly one second of the tone: it repeats seamlessly
  std::vector<uint8_t> out_;
  size_t pos_ = 0;
};

}  // namespace vzsim
