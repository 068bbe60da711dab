#include "WaveFormat.h"

namespace vz {

TWaveFormat PcmWaveFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample) {
  TWaveFormat f;
  f.FormatTag = kWaveFormatPcm;
  f.Channels = channels;
  f.SamplesPerSec = samplesPerSec;
  f.BitsPerSample = bitsPerSample;
  f.BlockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
  f.AvgBytesPerSec = samplesPerSec * f.BlockAlign;
  f.ExtraSize = 0;
  return f;
}

TWaveFormat WaveFormatOfDevice(const TAudioCfg& cfg) {
  TWaveFormat f;
  f.FormatTag = kWaveFormatPcm;
  f.Channels = static_cast<uint16_t>(cfg.Channels);
  f.SamplesPerSec = static_cast<uint32_t>(cfg.SampleRate);
  f.AvgBytesPerSec = static_cast<uint32_t>(cfg.AvgBytesPerSec);
  f.BlockAlign = static_cast<uint16_t>(cfg.BlockAlign);
  f.BitsPerSample = static_cast<uint16_t>(cfg.BitsPerSample);
  f.ExtraSize = 0;
  return f;
}

TWaveFormat TalkWaveFormat(const TAudioCfg& cfg) {
  return PcmWaveFormat(static_cast<uint16_t>(cfg.Channels), static_cast<uint32_t>(cfg.SampleRate),
                       static_cast<uint16_t>(cfg.BitsPerSample));
}

uint32_t WaveFrameBytes(const TWaveFormat& format) {
  if (format.FormatTag != kWaveFormatPcm || format.Channels == 0 || format.SamplesPerSec == 0)
    return 0;
  switch (format.BitsPerSample) {
    case 8: case 16: case 24: case 32:
      return static_cast<uint32_t>(format.Channels) * (format.BitsPerSample / 8u);
    default:
      return 0;
  }
}

}  // namespace vz
