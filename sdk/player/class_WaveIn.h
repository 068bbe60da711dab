#pragma once
// The microphone recorder for talk: while active, a capture thread fills
// three 4,096-byte buffers in turn from the sound layer's "default" capture
// device and hands each full buffer to the data handler.
//
// Threads: SetActive, SetFormat, SetOnData and SetTag run on the owner's
// thread; the handler runs on the capture thread ("vzWaveIn") and must not
// call SetActive or SetFormat of the same object (they wait for that thread).
// Stopping cancels a pending read within about 100 ms.
#include <alsa/asoundlib.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "WaveFormat.h"

class TWaveIn {
 public:
  static constexpr int kBufferCount = 3;
  static constexpr uint32_t kBufferBytes = 4096;

  // Sender, the recorded bytes (valid during the call only) and their count.
  using TDataHandler = std::function<void(TWaveIn& sender, const uint8_t* data, uint32_t count)>;

  TWaveIn() = default;
  ~TWaveIn();
  TWaveIn(const TWaveIn&) = delete;
  TWaveIn& operator=(const TWaveIn&) = delete;

  // Starts or stops recording. A device that cannot be opened is not
  // reported (logged once per process): recording then yields no data.
  void SetActive(bool on);
  bool Active() const;
  bool IsOpen() const;

  // Stops around the change when recording. The format is made PCM with
  // 16 bits when none are given and the derived fields recomputed.
  void SetFormat(const TWaveFormat& format);
  TWaveFormat Format() const;

  void SetOnData(TDataHandler handler);
  void SetTag(void* tag);
  void* Tag() const;

 private:
  void Start();  // ctlLock_ held
  void Stop();   // ctlLock_ held
  void Run();
  // Fills one buffer; false when stopped or the device failed for good.
  bool Fill(uint8_t* buffer, uint32_t bytes);

  mutable std::mutex ctlLock_;
  bool active_ = false;            // guarded by ctlLock_
  TWaveFormat format_;             // guarded by ctlLock_
  void* tag_ = nullptr;            // guarded by ctlLock_
  std::thread thread_;             // guarded by ctlLock_
  // Set by Start before the thread runs and cleared by Stop after it ended;
  // the capture thread uses them in between.
  snd_pcm_t* pcm_ = nullptr;
  uint32_t frameBytes_ = 0;
  std::unique_ptr<std::array<std::array<uint8_t, kBufferBytes>, kBufferCount>> buffers_;
  std::atomic<bool> stop_{false};

  mutable std::mutex handlerLock_;
  TDataHandler handler_;  // guarded by handlerLock_
};
