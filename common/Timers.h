#pragma once
// TTimers: a worker thread that calls OnTimer back to back while enabled.
//
// Interval is kept but the loop does not wait between calls: the handler
// paces itself (the player's reading step waits on its socket). Disabling
// parks the loop on a condition variable after the call in flight; changing
// Interval while enabled replaces the thread by a new one with the same
// handler; Stop (and the destructor) tells the thread to end and joins it.
//
// Guarantees:
// - OnTimer never runs on two threads at once, also across a replacement:
//   a new thread starts calling only after its predecessor has ended.
// - When SetEnabled(false) or Stop returns on another thread, no call is in
//   flight and none starts until the timer is enabled again.
// - Called from inside the handler, SetEnabled(false), SetInterval, Stop and
//   even the destructor do not wait for themselves: they take effect when
//   the handler returns (a stopped thread is then detached and ends alone).
//   The getters never block, so a handler may ask Enabled() or Terminated()
//   while another thread is stopping the timer.
// - A handler that throws is logged ("Timers except:OnTimer", once per run
//   of failures) and the loop backs off 10 ms before calling it again.
// Callers must not hold a lock the handler takes while they disable or stop
// the timer: that wait would deadlock, as any join would.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "ThreadPriority.h"

class TTimers {
 public:
  using TTimerEvent = std::function<void()>;

  explicit TTimers(std::string threadName = "vzTimer");
  ~TTimers();
  TTimers(const TTimers&) = delete;
  TTimers& operator=(const TTimers&) = delete;

  bool Enabled() const { return enabled_.load(); }
  void SetEnabled(bool enabled);
  int Interval() const { return interval_ms_.load(); }
  // Negative values count as 0.
  void SetInterval(int interval_ms);
  TThreadPriority ThreadPriority() const { return priority_.load(); }
  // Takes effect before the next call of the handler.
  void SetThreadPriority(TThreadPriority priority);
  // Replaces the handler (an empty one parks the loop); a call in flight
  // finishes with the old one.
  void SetOnTimer(TTimerEvent handler);
  // Names threads started from now on (the kernel keeps 15 characters).
  void SetThreadName(std::string name);

  // On the timer's thread: true once that thread has been told to end, so a
  // handler in a long wait can return early. Elsewhere: true after Stop
  // until the timer is enabled again.
  bool Terminated() const;
  // Tells the thread to end and waits for it (not when called by the
  // handler); Enabled() is false afterwards. Enabling again starts a thread.
  void Stop();

 private:
  struct Worker;
  std::shared_ptr<Worker> StartWorkerLocked(std::shared_ptr<Worker> predecessor);
  static void Run(std::shared_ptr<Worker> w);
  static void Finish(std::shared_ptr<Worker> w);

  mutable std::mutex control_;              // guards worker_, handler_, name_; never taken by the worker
  std::shared_ptr<Worker> worker_;          // guarded by control_
  std::shared_ptr<const TTimerEvent> handler_;  // guarded by control_
  std::string name_;                        // guarded by control_
  std::atomic<bool> enabled_{false};        // written under control_
  std::atomic<int> interval_ms_{1000};      // written under control_
  std::atomic<TThreadPriority> priority_{TThreadPriority::Normal};
  std::atomic<bool> stopped_{false};        // written under control_
};
