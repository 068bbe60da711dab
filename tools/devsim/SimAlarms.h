#pragma once
// Alarm events of one device. Raised and cleared on command or by a
// schedule; every stream connection sends each event once, as an alarm
// packet (code 14 raised, 15 cleared). Events are numbered; a connection
// remembers the last number it sent and picks up the newer ones.
//
// All functions may be called from any thread; `mutex_` guards everything.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace vzsim {

struct SimAlarmEvent {
  uint64_t number = 0;
  bool raised = true;   // code 14 when raised, 15 when cleared
  int32_t type = 1;     // alarm kind, 1 motion detection
  int32_t channel = 0;  // a negative channel is sent as it is
  int32_t flag = 1;
};

struct SimAlarmSchedule {
  int everyMs = 0;  // 0: no schedule
  int holdMs = 0;   // raised for this long, then cleared
  int32_t channel = 0;
  int32_t type = 1;
};

class SimAlarms {
 public:
  static constexpr size_t kKeep = 256;

  void Raise(int32_t channel, int32_t type, int32_t flag);
  void Clear(int32_t channel, int32_t type, int32_t flag);
  void SetSchedule(const SimAlarmSchedule& schedule);

  // The newest event number now: a connection that starts sends only events after it.
  uint64_t Latest() const;
  // Runs the schedule up to now, then the events after `after`.
  std::vector<SimAlarmEvent> Since(uint64_t after);

 private:
  using Clock = std::chrono::steady_clock;
  void AddLocked(bool raised, int32_t channel, int32_t type, int32_t flag);

  mutable std::mutex mutex_;
  std::deque<SimAlarmEvent> events_;
  uint64_t latest_ = 0;
  SimAlarmSchedule schedule_;
  Clock::time_point nextRaise_{};
  Clock::time_point pendingClear_{};
  bool clearPending_ = false;
  int32_t clearChannel_ = 0, clearType_ = 1;  // of the scheduled alarm that is up
};

}  // namespace vzsim
