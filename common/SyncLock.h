#pragma once
// TSyncLock: a lock plus a flag telling whether it is held. Not recursive:
// a thread that enters twice deadlocks, as with any plain mutex.
#include <atomic>
#include <mutex>

class TSyncLock {
 public:
  void Enter() {
    mutex_.lock();
    held_.store(true, std::memory_order_relaxed);
  }
  void Leave() {
    held_.store(false, std::memory_order_relaxed);
    mutex_.unlock();
  }
  bool Held() const { return held_.load(std::memory_order_relaxed); }

  // For std::lock_guard / std::scoped_lock.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::mutex mutex_;
  std::atomic<bool> held_{false};
};
