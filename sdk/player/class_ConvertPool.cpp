#include "class_ConvertPool.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace vz {

struct TConvertTask {
  explicit TConvertTask(std::function<void()> w) : work(std::move(w)) {}
  const std::function<void()> work;
  std::atomic<bool> taken{false};  // whoever sets it runs the work
  std::mutex lock;
  std::condition_variable cv;
  bool done = false;  // guarded by lock

  // Runs the work here unless the helper took it; then waits for it.
  void Collect() {
    if (!taken.exchange(true)) {
      work();
      return;
    }
    std::unique_lock<std::mutex> g(lock);
    cv.wait(g, [this] { return done; });
  }
};

namespace {

class THelper {
 public:
  THelper() : thread_([this] { Loop(); }) { thread_.detach(); }

  void Offer(const std::shared_ptr<TConvertTask>& job) {
    {
      std::lock_guard<std::mutex> g(lock_);
      queue_.push_back(job);
    }
    cv_.notify_one();
  }

 private:
  void Loop() {
    pthread_setname_np(pthread_self(), "vzSDK convert");
    // Waking, the helper must not push a decoding thread off its processor:
    // everything it does, the decoding thread can take back. As a batch
    // thread it waits for a free processor instead.
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
    for (;;) {
      std::shared_ptr<TConvertTask> job;
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
  std::deque<std::shared_ptr<TConvertTask>> queue_;  // guarded by lock_
  std::thread thread_;
};

THelper& Helper() {
  // Never destroyed: the detached helper may still be waiting at exit.
  static THelper* helper = new THelper;
  return *helper;
}

}  // namespace

void TConvertPool::Run(const std::function<void()>& mine, const std::function<void()>& other) {
  // The job keeps only a reference to `other`: it is finished before this
  // call returns.
  TConvertJob job = Start([&other] { other(); });
  mine();
  job.Finish();
}

TConvertJob TConvertPool::Start(std::function<void()> work) {
  TConvertJob job;
  job.task_ = std::make_shared<TConvertTask>(std::move(work));
  Helper().Offer(job.task_);
  return job;
}

TConvertJob::~TConvertJob() { Finish(); }

TConvertJob& TConvertJob::operator=(TConvertJob&& other) noexcept {
  if (this != &other) {
    Finish();
    task_ = std::move(other.task_);
  }
  return *this;
}

void TConvertJob::Finish() {
  if (task_ == nullptr) return;
  task_->Collect();
  task_.reset();
}

}  // namespace vz
