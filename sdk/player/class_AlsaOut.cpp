#include "class_AlsaOut.h"

#include <pthread.h>

#include <cerrno>

#include "AlsaPcm.h"

namespace {
// Bounds every wait so Close is never held up longer than this.
constexpr int kWaitMs = 100;
}  // namespace

TAlsaOut::~TAlsaOut() { Close(); }

bool TAlsaOut::Open(const TWaveFormat& format, TDoneFn done, std::string& error) {
  Close();
  frameBytes_ = vz::WaveFrameBytes(format);
  pcm_ = vz::OpenAlsaPcm(SND_PCM_STREAM_PLAYBACK, format, error);
  if (!pcm_) return false;
  done_ = std::move(done);
  stop_.store(false);
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool TAlsaOut::Write(int index, const uint8_t* data, uint32_t length) {
  if (!pcm_ || stop_.load()) return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(TBlock{index, data, length});
  }
  wake_.notify_one();
  return true;
}

void TAlsaOut::Close() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      stop_.store(true);
    }
    wake_.notify_one();
    thread_.join();
  }
  std::lock_guard<std::mutex> guard(lock_);
  queue_.clear();
  if (pcm_) {
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }
}

void TAlsaOut::Run() {
  pthread_setname_np(pthread_self(), "vzWaveOut");
  for (;;) {
    TBlock block{};
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return stop_.load() || !queue_.empty(); });
      if (stop_.load()) return;
      block = queue_.front();
      queue_.pop_front();
    }
    if (!PlayBlock(block)) return;
    try {
      done_(block.index);
    } catch (...) {
      // A failing done report must not end the writer.
    }
  }
}

bool TAlsaOut::PlayBlock(const TBlock& block) {
  // A trailing part of a frame cannot be played and is left out.
  snd_pcm_uframes_t left = frameBytes_ ? block.length / frameBytes_ : 0;
  const uint8_t* at = block.data;
  while (left > 0) {
    if (stop_.load()) return false;
    snd_pcm_sframes_t written = snd_pcm_writei(pcm_, at, left);
    if (written == -EAGAIN) {
      snd_pcm_wait(pcm_, kWaitMs);
      continue;
    }
    if (written < 0) {
      // Under-runs and suspends are recovered; anything else loses the block.
      if (snd_pcm_recover(pcm_, static_cast<int>(written), 1) < 0) return true;
      continue;
    }
    left -= static_cast<snd_pcm_uframes_t>(written);
    at += static_cast<std::size_t>(written) * frameBytes_;
  }
  return true;
}
