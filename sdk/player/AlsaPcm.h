#pragma once
// Opening the "default" sound device for one PCM format, non-blocking.
#include <alsa/asoundlib.h>

#include <string>

#include "WaveFormat.h"

namespace vz {

// The device every output and input uses.
inline constexpr const char* kAlsaDeviceName = "default";

// Opens and configures the device (interleaved, the format's channels, rate
// and sample size, resampling allowed). Null with a reason in error on any
// failure; the sound layer's own prints are folded into that reason.
snd_pcm_t* OpenAlsaPcm(snd_pcm_stream_t stream, const TWaveFormat& format, std::string& error);

}  // namespace vz
