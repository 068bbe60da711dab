#include "AlsaPcm.h"

#include "AlsaLog.h"

namespace vz {
namespace {

// Enough queued sound to ride out a busy reading thread, short enough that
// live audio does not lag the picture.
constexpr unsigned kLatencyUs = 250000;

bool SampleFormatOf(const TWaveFormat& format, snd_pcm_format_t& out) {
  if (WaveFrameBytes(format) == 0) return false;
  switch (format.BitsPerSample) {
    case 8: out = SND_PCM_FORMAT_U8; return true;  // 8-bit PCM is unsigned
    case 16: out = SND_PCM_FORMAT_S16_LE; return true;
    case 24: out = SND_PCM_FORMAT_S24_3LE; return true;
    case 32: out = SND_PCM_FORMAT_S32_LE; return true;
    default: return false;
  }
}

}  // namespace

snd_pcm_t* OpenAlsaPcm(snd_pcm_stream_t stream, const TWaveFormat& format, std::string& error) {
  InstallAlsaLog();
  snd_pcm_format_t sampleFormat{};
  if (!SampleFormatOf(format, sampleFormat)) {
    error = "unsupported format: tag " + std::to_string(format.FormatTag) + ", " +
            std::to_string(format.Channels) + " ch, " + std::to_string(format.SamplesPerSec) + " Hz, " +
            std::to_string(format.BitsPerSample) + " bits";
    return nullptr;
  }
  TAlsaErrorCapture capture;
  snd_pcm_t* pcm = nullptr;
  int rc = snd_pcm_open(&pcm, kAlsaDeviceName, stream, SND_PCM_NONBLOCK);
  if (rc >= 0) {
    rc = snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.Channels,
                            format.SamplesPerSec, 1, kLatencyUs);
    if (rc < 0) {
      snd_pcm_close(pcm);
      pcm = nullptr;
    }
  } else {
    pcm = nullptr;
  }
  if (!pcm) {
    error = snd_strerror(rc);
    if (!capture.Text().empty()) error += " [" + capture.Text() + "]";
  }
  return pcm;
}

}  // namespace vz
