#pragma once
// The audio output of every live player, file player and remote playback
// window: a ring of 16 buffers of 32,768 bytes kept inside the object, so
// playing allocates nothing. Write copies one block into the next buffer and
// queues it; a block is dropped, never waited for, when the output is closed,
// the block is too long or all 16 buffers are still playing.
//
// Threads: Write runs on the owner's receiving or playback thread; SetActive,
// SetFormat and SetCallbackMode on the owner's control thread; done reports
// come from the device's thread and touch only the buffer flags.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "WaveDevice.h"
#include "WaveFormat.h"

class TWaveOut {
 public:
  static constexpr int kBufferCount = 16;
  static constexpr uint32_t kBufferBytes = 32768;

  // Where done reports are delivered. Both end up on the device's thread
  // here; the choice is kept for the owners that pass it through.
  enum class TCallbackMode : uint8_t { Window = 0, Function = 1 };

  // Without a factory the output plays on the sound layer's "default" device.
  explicit TWaveOut(TWaveOutDeviceFactory factory = {});
  ~TWaveOut();
  TWaveOut(const TWaveOut&) = delete;
  TWaveOut& operator=(const TWaveOut&) = delete;

  // On opens the device, off closes it; no action when unchanged. A missing
  // device leaves the output closed (logged once per process) and later
  // blocks are discarded.
  void SetActive(bool on);
  bool Active() const;
  // True while a device is open.
  bool IsOpen() const;

  // Closes and reopens around the change when active.
  void SetFormat(const TWaveFormat& format);
  TWaveFormat Format() const;

  void SetCallbackMode(TCallbackMode mode);
  TCallbackMode CallbackMode() const;

  // Queues one block; false when it was dropped.
  bool Write(const void* data, std::size_t length);

  // The buffer the next block goes to (0-15).
  uint32_t NextBuffer() const;
  // Buffers queued and not yet reported done.
  int BusyBuffers() const;

 private:
  // Header flags, as the sound layer's done report leaves them: 0 = free.
  static constexpr uint32_t kPrepared = 0x02;
  static constexpr uint32_t kQueued = 0x10;

  struct THeader {
    std::atomic<uint32_t> flags{0};  // written by Write and the done report
    uint32_t length = 0;             // owner of the buffer (see flags) only
  };

  void OpenDevice();   // ctlLock_ held
  void CloseDevice();  // ctlLock_ held
  void BufferDone(int index);

  const TWaveOutDeviceFactory factory_;

  mutable std::mutex ctlLock_;
  bool active_ = false;                     // guarded by ctlLock_
  TWaveFormat format_;                      // guarded by ctlLock_
  std::unique_ptr<TWaveOutDevice> device_;  // guarded by ctlLock_; set while open
  TCallbackMode callbackMode_ = TCallbackMode::Window;  // guarded by ctlLock_
  uint32_t next_ = 0;                       // guarded by ctlLock_

  std::array<THeader, kBufferCount> headers_;
  // Buffer i belongs to header i; its bytes are written only while the
  // header's flags are 0 and read by the device only while they are not.
  std::array<std::array<uint8_t, kBufferBytes>, kBufferCount> buffers_;
};
