#include "class_WaveIn.h"

#include <pthread.h>

#include <cerrno>
#include <string>

#include "AlsaPcm.h"
#include "LogWriter.h"

namespace {
constexpr int kWaitMs = 100;  // bounds how long a stop waits for the thread
std::atomic<bool> g_openFailLogged{false};
}  // namespace

TWaveIn::~TWaveIn() { SetActive(false); }

void TWaveIn::SetActive(bool on) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  if (on == active_) return;
  active_ = on;
  if (on)
    Start();
  else
    Stop();
}

bool TWaveIn::Active() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return active_;
}

bool TWaveIn::IsOpen() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return pcm_ != nullptr;
}

void TWaveIn::SetFormat(const TWaveFormat& format) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  const bool wasRecording = active_;
  if (wasRecording) Stop();
  format_ = format;
  format_.FormatTag = vz::kWaveFormatPcm;
  if (format_.BitsPerSample == 0) format_.BitsPerSample = 16;
  format_.BlockAlign = static_cast<uint16_t>(format_.Channels * (format_.BitsPerSample / 8));
  format_.AvgBytesPerSec = format_.SamplesPerSec * format_.BlockAlign;
  format_.ExtraSize = 0;
  if (wasRecording) Start();
}

TWaveFormat TWaveIn::Format() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return format_;
}

void TWaveIn::SetOnData(TDataHandler handler) {
  std::lock_guard<std::mutex> guard(handlerLock_);
  handler_ = std::move(handler);
}

void TWaveIn::SetTag(void* tag) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  tag_ = tag;
}

void* TWaveIn::Tag() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return tag_;
}

void TWaveIn::Start() {
  if (pcm_ || format_.FormatTag == 0) return;
  std::string error;
  pcm_ = vz::OpenAlsaPcm(SND_PCM_STREAM_CAPTURE, format_, error);
  if (!pcm_) {
    if (!g_openFailLogged.exchange(true)) vz::WriteLog("WaveIn open fail: " + error);
    return;
  }
  frameBytes_ = vz::WaveFrameBytes(format_);
  buffers_ = std::make_unique<std::array<std::array<uint8_t, kBufferBytes>, kBufferCount>>();
  stop_.store(false);
  snd_pcm_start(pcm_);
  thread_ = std::thread([this] { Run(); });
}

void TWaveIn::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (pcm_) {
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }
  buffers_.reset();
}

void TWaveIn::Run() {
  pthread_setname_np(pthread_self(), "vzWaveIn");
  // A buffer holds whole frames only.
  const uint32_t usable = frameBytes_ ? kBufferBytes / frameBytes_ * frameBytes_ : 0;
  if (usable == 0) return;
  for (std::size_t next = 0; !stop_.load(); next = (next + 1) % kBufferCount) {
    uint8_t* buffer = (*buffers_)[next].data();
    if (!Fill(buffer, usable)) return;
    std::lock_guard<std::mutex> guard(handlerLock_);
    if (!handler_) continue;
    try {
      handler_(*this, buffer, usable);
    } catch (...) {
      // A failing handler loses its block, not the recording.
    }
  }
}

bool TWaveIn::Fill(uint8_t* buffer, uint32_t bytes) {
  uint32_t filled = 0;
  while (filled < bytes) {
    if (stop_.load()) return false;
    const snd_pcm_uframes_t want = (bytes - filled) / frameBytes_;
    snd_pcm_sframes_t got = snd_pcm_readi(pcm_, buffer + filled, want);
    if (got == -EAGAIN || got == 0) {
      snd_pcm_wait(pcm_, kWaitMs);
      continue;
    }
    if (got < 0) {
      if (snd_pcm_recover(pcm_, static_cast<int>(got), 1) < 0) return false;
      snd_pcm_start(pcm_);
      continue;
    }
    filled += static_cast<uint32_t>(got) * frameBytes_;
  }
  return true;
}
