#include "SimAlarms.h"

namespace vzsim {

void SimAlarms::AddLocked(bool raised, int32_t channel, int32_t type, int32_t flag) {
  SimAlarmEvent e;
  e.number = ++latest_;
  e.raised = raised;
  e.channel = channel;
  e.type = type;
  e.flag = flag;
  events_.push_back(e);
  while (events_.size() > kKeep) events_.pop_front();
}

void SimAlarms::Raise(int32_t channel, int32_t type, int32_t flag) {
  std::lock_guard<std::mutex> lock(mutex_);
  AddLocked(true, channel, type, flag);
}

void SimAlarms::Clear(int32_t channel, int32_t type, int32_t flag) {
  std::lock_guard<std::mutex> lock(mutex_);
  AddLocked(false, channel, type, flag);
}

void SimAlarms::SetSchedule(const SimAlarmSchedule& schedule) {
  std::lock_guard<std::mutex> lock(mutex_);
  schedule_ = schedule;
  if (schedule_.everyMs < 0) schedule_.everyMs = 0;
  if (schedule_.holdMs < 0) schedule_.holdMs = 0;
  if (schedule_.everyMs > 0 && schedule_.holdMs >= schedule_.everyMs) schedule_.holdMs = schedule_.everyMs / 2;
  nextRaise_ = Clock::now() + std::chrono::milliseconds(schedule_.everyMs);
  if (clearPending_ && schedule_.everyMs == 0) pendingClear_ = Clock::now();
}

uint64_t SimAlarms::Latest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return latest_;
}

std::vector<SimAlarmEvent> SimAlarms::Since(uint64_t after) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Clock::time_point now = Clock::now();
  if (clearPending_ && now >= pendingClear_) {
    clearPending_ = false;
    AddLocked(false, clearChannel_, clearType_, 0);
  }
  if (schedule_.everyMs > 0 && now >= nextRaise_) {
    AddLocked(true, schedule_.channel, schedule_.type, 1);
    clearPending_ = true;
    clearChannel_ = schedule_.channel;
    clearType_ = schedule_.type;
    pendingClear_ = now + std::chrono::milliseconds(schedule_.holdMs);
    nextRaise_ = now + std::chrono::milliseconds(schedule_.everyMs);
  }
  std::vector<SimAlarmEvent> out;
  for (const SimAlarmEvent& e : events_) {
    if (e.number > after) out.push_back(e);
  }
  return out;
}

}  // namespace vzsim
