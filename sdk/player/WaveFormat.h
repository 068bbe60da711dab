#pragma once
// The 18-byte PCM wave format shared by the audio output, the microphone
// input and the players that set them from a device's audio record.
#include <cstdint>

#include "vz_records.h"

#pragma pack(push, 1)
struct TWaveFormat {
  uint16_t FormatTag = 1;  // 1 = PCM, the only kind we play or record
  uint16_t Channels = 1;
  uint32_t SamplesPerSec = 16000;
  uint32_t AvgBytesPerSec = 32000;
  uint16_t BlockAlign = 2;
  uint16_t BitsPerSample = 16;
  uint16_t ExtraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormat) == 18);

namespace vz {

constexpr uint16_t kWaveFormatPcm = 1;

// PCM with block alignment and bytes per second derived from the three values.
TWaveFormat PcmWaveFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);

// The live output format: the device's values taken as reported (only the
// tag and the extra size are ours).
TWaveFormat WaveFormatOfDevice(const TAudioCfg& cfg);

// The microphone format for talk: the device's channels, rate and bits with
// the derived fields recomputed.
TWaveFormat TalkWaveFormat(const TAudioCfg& cfg);

// Bytes of one sample frame the sound layer moves (channels x bytes per
// sample); 0 when the format cannot be played.
uint32_t WaveFrameBytes(const TWaveFormat& format);

}  // namespace vz
