// Feeds an arbitrary byte stream as a sequence of stream units through the
// frame-head parser and the frame handler, with the pre-alarm cache on and
// every seam reading the whole of what it is given; then writes the cache
// out to a scratch file. The first bytes choose the handler's settings.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "AVFrameHead.h"
#include "class_FrameHandler.h"

namespace {

volatile uint32_t g_sink = 0;

void Touch(const uint8_t* p, std::size_t n) {
  uint32_t s = 0;
  for (std::size_t i = 0; i < n; ++i) s += p[i];
  g_sink = g_sink + s;
}

class TouchRecorder : public vz::IFrameRecorder {
 public:
  void WriteFrame(const vz::TFrameView& f) override { Touch(f.Frame, f.FrameBytes); }
};

class TouchVideo : public vz::IFrameVideo {
 public:
  void ReopenForStream(int32_t) override {}
  void DecodeFrame(const vz::TFrameView& f) override { Touch(f.Payload, f.PayloadBytes); }
};

class TouchAudio : public vz::IFrameAudio {
 public:
  void PlayAudio(const uint8_t* pcm, uint32_t bytes) override { Touch(pcm, bytes); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 4) return 0;
  TouchRecorder alarm;
  TouchRecorder normal;
  TouchVideo video;
  TouchAudio audio;
  std::mutex decoder_lock;
  vz::TFrameSeams seams;
  seams.AlarmRecorder = &alarm;
  seams.NormalRecorder = &normal;
  seams.Video = &video;
  seams.Audio = &audio;
  seams.DecoderLock = &decoder_lock;
  vz::TFrameHandler h(seams);
  h.SetStreamSource(static_cast<vz::TStreamSource>(data[0] % 3));
  h.SetRecordStreamType(data[1] & 1);
  h.SetDisplayStreamType((data[1] >> 1) & 1);
  h.Gate().SetDecodeStyle(data[2] % 3);
  h.SetAudioPlayMask(data[3] & 0x80 ? ~0ull : 1ull);
  h.SetOnAVData([](const uint8_t* f, uint32_t n) { Touch(f, n); });
  h.SetOnAudioRaw([](const uint8_t* p, uint32_t n) { Touch(p, n); });
  h.Cache().SetPreAlarmTime(1);
  data += 4;
  size -= 4;

  // Units back to back, each copied to a buffer of exactly its announced
  // size so a read past it shows.
  std::size_t at = 0;
  while (size - at >= vz::kUnitHeadSize) {
    vz::TUnitHead u;
    std::memcpy(&u, data + at, sizeof u);
    std::size_t total = vz::kUnitHeadSize + (u.Length > vz::kMaxUnitLength ? 0 : u.Length);
    if (total > size - at) total = size - at;
    std::vector<uint8_t> unit(data + at, data + at + total);
    vz::TFrameView v;
    if (vz::ParseFrameHead(unit.data(), unit.size(), v)) Touch(v.Payload, v.PayloadBytes);
    h.Handle(unit.data(), static_cast<uint32_t>(unit.size()));
    at += total;
  }

  const int fd = ::memfd_create("frames_fuzz", 0);
  if (fd >= 0) {
    int64_t last_key = 0;
    h.Cache().WriteTo(fd, last_key);
    ::close(fd);
  }
  return 0;
}
