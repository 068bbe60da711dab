#pragma once
// TavCache: the pre-alarm cache. Holds the last "pre-alarm time" seconds of
// recordable frames (at most that many MiB) so an alarm recording can start
// with what happened just before the alarm.
//
// Add runs on the player's receiving thread; WriteTo on the thread that
// starts an alarm recording. The queue's lock makes each step safe; the
// cache keeps no other shared state than the atomic pre-alarm time.
#include <atomic>
#include <cstdint>
#include "class_DataQueue.h"

namespace vz {

constexpr uint32_t kCacheBytesPerSecond = 1048576;
// A cache beyond this many seconds would not fit the queue's 32-bit size.
constexpr uint32_t kMaxPreAlarmSeconds = 2047;

class TavCache {
 public:
  TavCache() = default;
  TavCache(const TavCache&) = delete;
  TavCache& operator=(const TavCache&) = delete;

  // 0 turns the cache off. A change sizes the queue to seconds MiB (which
  // empties it). Values above kMaxPreAlarmSeconds are clamped. False when
  // the ring cannot be allocated; the cache is then off.
  bool SetPreAlarmTime(uint32_t seconds);
  uint32_t PreAlarmTime() const { return pre_alarm_s_.load(); }

  void Clear();

  // Caches one frame (head and payload). Frames older than the window, and
  // all cached frames when the new one is older than them (the device
  // clock went back), are discarded first. False when the cache is off, the
  // frame is not a valid frame or it does not fit.
  bool Add(const uint8_t* frame, uint32_t total_bytes);

  // Appends the cached frames, from the first video key frame on, to the
  // record file open on fd, each frame's StreamType replaced by the offset
  // of the key frame before it (the first key frame links to itself).
  // last_key is set to the file's end offset first and ends on the last key
  // frame written. Consumes the cache. False when the cache is off, fd is
  // not a seekable file, or a write fails.
  bool WriteTo(int fd, int64_t& last_key);

  std::size_t PendingCount() const { return queue_.PendingCount(); }
  TDataQueue& Queue() { return queue_; }

 private:
  uintptr_t Tag() const { return reinterpret_cast<uintptr_t>(this); }

  TDataQueue queue_;  // its own lock
  std::atomic<uint32_t> pre_alarm_s_{0};
};

}  // namespace vz
