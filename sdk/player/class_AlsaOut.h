#pragma once
// The sound-layer device under TWaveOut: a writer thread feeds queued buffers
// to the non-blocking "default" PCM in order and reports each one done once
// the sound layer has taken all of it.
#include <alsa/asoundlib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "WaveDevice.h"

class TAlsaOut final : public TWaveOutDevice {
 public:
  TAlsaOut() = default;
  ~TAlsaOut() override;
  TAlsaOut(const TAlsaOut&) = delete;
  TAlsaOut& operator=(const TAlsaOut&) = delete;

  bool Open(const TWaveFormat& format, TDoneFn done, std::string& error) override;
  bool Write(int index, const uint8_t* data, uint32_t length) override;
  void Close() override;

 private:
  struct TBlock {
    int index;
    const uint8_t* data;
    uint32_t length;
  };
  void Run();
  // Plays one block; false when Close asked to stop half-way.
  bool PlayBlock(const TBlock& block);

  // Set by Open before the thread starts, cleared by Close after it ended.
  snd_pcm_t* pcm_ = nullptr;
  uint32_t frameBytes_ = 0;
  TDoneFn done_;
  std::thread thread_;

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<TBlock> queue_;  // guarded by lock_
  std::atomic<bool> stop_{false};
};
