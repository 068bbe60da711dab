#include "class_ConvertPool.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace vz {

namespace {

struct TJob {
  explicit TJob(const std::function<void()>& w) : work(w) {}
  const std::function<void()>& work;  // the caller's; valid until it has seen done
  std::atomic<bool> taken{false};     // whoever sets it runs the work
  std::mutex lock;
  std::condition_variable cv;
  bool done = false;  // guarded by lock
};

class THelper {
 public:
  THelper() : thread_([this] { Loop(); }) { thread_.detach(); }

  void Offer(const std::shared_ptr<TJob>& job) {
    {
      std::lock_guard<std::mutex> g(lock_);
      queue_.push_back(job);
    }
    cv_.notify_one();
  }

 private:
  void Loop() {
    pthread_setname_np(pthread_self(), "vzSDK convert");
    for (;;) {
      std::shared_ptr<TJob> job;
      {
        std::unique_lock<std::mutex> g(lock_);
        cv_.wait(g, [this] { return !queue_.empty(); });
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      // The caller may have taken it back meanwhile.
      if (job->taken.exchange(true)) continue;
      job->work();
      {
        std::lock_guard<std::mutex> g(job->lock);
        job->done = true;
      }
      job->cv.notify_one();
    }
  }

  std::mutex lock_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<TJob>> queue_;  // guarded by lock_
  std::thread thread_;
};

THelper& Helper() {
  // Never destroyed: the detached helper may still be waiting at exit.
  static THelper* helper = new THelper;
  return *helper;
}

}  // namespace

void TConvertPool::Run(const std::function<void()>& mine, const std::function<void()>& other) {
  auto job = std::make_shared<TJob>(other);
  Helper().Offer(job);
  mine();
  if (!job->taken.exchange(true)) {
    other();
    return;
  }
  std::unique_lock<std::mutex> g(job->lock);
  job->cv.wait(g, [&] { return job->done; });
}

}  // namespace vz
