#pragma once
// TThreadRec: one thread started on a procedure and its parameter, stopped
// with a grace period.
//
// Linux has no safe way to kill a single thread, so Stop cannot end a thread
// that ignores its stop flag. When the grace period passes, Stop detaches
// the thread, writes "ThreadRec: <name> still running after <n> ms, left
// detached" to the log and answers false. The thread then runs on alone:
// its procedure must not outlive what its parameter points to, so every
// procedure polls StopRequestedHere() (or a flag of its own) inside each
// wait. That flag is shared with the thread and stays valid however late it
// ends; the record itself is driven by one thread (its owner).
#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ThreadPriority.h"

class TThreadRec {
 public:
  using TThreadProc = std::function<void(void* param)>;

  TThreadRec() = default;
  // Stops a running thread with kDestroyGraceMs.
  ~TThreadRec();
  TThreadRec(const TThreadRec&) = delete;
  TThreadRec& operator=(const TThreadRec&) = delete;

  static constexpr int kDestroyGraceMs = 5000;

  // Starts proc(param) on a new thread named name with the priority. With
  // autoClose the thread is let go at once (Stop can still wait for it).
  // False when a thread of this record still runs or proc is empty.
  bool Start(TThreadProc proc, void* param, TThreadPriority priority = TThreadPriority::Normal,
             bool autoClose = false, std::string name = "vzThread");
  // Sets the stop flag and waits up to grace_ms (checking every 10 ms) for
  // the procedure to return. True when it did (or nothing was running).
  bool Stop(int grace_ms);

  // True while the procedure has not returned.
  bool Running() const;
  // The flag Stop sets, as the owner sees it.
  bool StopRequested() const;
  // The flag of the record whose procedure runs on the calling thread
  // (false on other threads): what a procedure polls.
  static bool StopRequestedHere();
  // Kernel id of the thread (0 before it started).
  pid_t ThreadId() const;

 private:
  struct State {
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::atomic<pid_t> tid{0};
  };
  std::shared_ptr<State> state_;  // owned by the thread that drives the record
  std::thread thread_;            // empty after auto-close or once stopped
  std::string name_;
};
