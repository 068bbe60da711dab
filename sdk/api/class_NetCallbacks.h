#pragma once
// TNetCallbacks: the application's callbacks of one player and the adapters
// that the player's hooks call. The adapters translate a hook's arguments
// into the C callback's, and nothing a callback throws gets back into the
// reading thread.
//
// A player's handle is the player object itself, so the callbacks of each
// player are found by its address: Attach at creation, Detach before it is
// destroyed. The player's hooks hold their own reference, so a hook still
// running after Detach finds its object alive.
//
// The callbacks are set on the caller's thread and called on the player's
// reading thread. When a setter returns, no call of the callbacks it
// replaced is running any more, so the caller may free what the old UserData
// pointed to; a setter called from inside a callback of the same object does
// not wait for itself.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "vzSDK.h"

namespace vz {

class TNetCallbacks {
 public:
  struct TLive {
    vzNetDataCallback Video = nullptr;
    vzNetDataCallback Audio = nullptr;
    vzNetAlarmCallback Alarm = nullptr;
    vzNetDrawCallback Draw = nullptr;
    void* UserData = nullptr;
  };
  struct TRecord {
    vzRecStartCallback Start = nullptr;
    vzRecStopCallback Stop = nullptr;
    vzRecPathCallback Path = nullptr;
  };

  // owner: the player these callbacks belong to, only compared (InCallbackOf).
  explicit TNetCallbacks(const void* owner) : owner_(owner) {}

  // A fresh object for owner, listed until Detach.
  static std::shared_ptr<TNetCallbacks> Attach(const void* owner);
  // The listed object of owner; null when none is.
  static std::shared_ptr<TNetCallbacks> Of(const void* owner);
  static void Detach(const void* owner);
  TNetCallbacks(const TNetCallbacks&) = delete;
  TNetCallbacks& operator=(const TNetCallbacks&) = delete;

  void SetLive(const TLive& live);
  TLive Live() const;
  // Does not wait for a record event in flight.
  void SetRecord(const TRecord& record);
  TRecord Record() const;

  // OnAVData: a frame (24-byte head and payload) of total_bytes. Video and
  // audio frames go to their callback with the payload; anything shorter
  // than a head or with another marker is dropped.
  void AVData(const uint8_t* frame, uint32_t total_bytes);
  // OnAlarm: type 0 when the alarm ended; time as a date-time.
  void Alarm(int32_t type, int32_t chl, double time);
  // OnRenderAfter.
  void Draw(void* dc, int32_t chl);

  // The record events, on the thread that starts or stops a recording.
  // They do not wait for the live callbacks (a recording may be started
  // from inside one), so replacing them does not wait either. Each answers
  // whether an event was set.
  bool RecStart(const char* addr, int32_t port, int32_t chl, int32_t kind, double start, const char* file,
                int32_t* slot);
  bool RecStop(const char* addr, int32_t port, int32_t chl, int32_t kind, int64_t bytes, double start, double stop,
               const char* file, int32_t slot);
  bool RecPath(char* folder40);

  // True while the calling thread runs a callback of owner's.
  static bool InCallbackOf(const void* owner);
  // How many callbacks threw (each is logged, the first and then every
  // 1000th, to keep a callback that always throws from filling the log).
  uint64_t Failures() const { return failures_.load(); }

 private:
  template <typename F>
  void Call(const char* kind, F&& f);
  void Failed(const char* kind);

  const void* const owner_;
  // Held while a callback runs and while a setter replaces callbacks.
  std::mutex call_lock_;
  mutable std::mutex data_lock_;
  TLive live_;  // guarded by data_lock_
  TRecord record_;  // guarded by data_lock_
  std::atomic<uint64_t> failures_{0};
};

}  // namespace vz
