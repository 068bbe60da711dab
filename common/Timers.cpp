#include "Timers.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <thread>

#include "LogWriter.h"

struct TTimers::Worker {
  const TTimers* owner = nullptr;
  std::mutex mu;
  std::condition_variable cv;
  bool enabled = false;                          // guarded by mu
  std::shared_ptr<const TTimerEvent> handler;    // guarded by mu
  uint64_t calls_started = 0;                    // guarded by mu
  uint64_t calls_finished = 0;                   // guarded by mu
  bool exited = false;                           // guarded by mu: the loop has ended
  std::atomic<bool> terminate{false};            // set under mu, read anywhere
  std::atomic<TThreadPriority> priority{TThreadPriority::Normal};
  std::string name;                              // fixed before the thread starts
  std::shared_ptr<Worker> predecessor;           // owned by the worker's thread once started
  std::thread thread;  // set before the worker is shared; joined or detached by whoever takes it out
};

namespace {
// The worker whose loop runs on this thread, if any.
thread_local const void* t_current_worker = nullptr;
}  // namespace

TTimers::TTimers(std::string threadName) : name_(std::move(threadName)) {}

TTimers::~TTimers() { Stop(); }

std::shared_ptr<TTimers::Worker> TTimers::StartWorkerLocked(std::shared_ptr<Worker> predecessor) {
  auto w = std::make_shared<Worker>();
  w->owner = this;
  w->enabled = enabled_.load();
  w->handler = handler_;
  w->priority = priority_.load();
  w->name = name_;
  w->predecessor = std::move(predecessor);
  w->thread = std::thread(&TTimers::Run, w);
  stopped_ = false;
  return w;
}

void TTimers::Run(std::shared_ptr<Worker> w) {
  t_current_worker = w.get();
  vz::NameThisThread(w->name);
  if (w->predecessor) {
    // A replaced thread may still be inside the handler when it was told to
    // end from that very handler; wait until its loop is over.
    std::shared_ptr<Worker> before = std::move(w->predecessor);
    std::unique_lock<std::mutex> lk(before->mu);
    before->cv.wait(lk, [&] { return before->exited; });
  }
  TThreadPriority applied = TThreadPriority::Normal;
  bool failing = false;  // the previous call threw: log a run of failures once
  for (;;) {
    std::shared_ptr<const TTimerEvent> handler;
    {
      std::unique_lock<std::mutex> lk(w->mu);
      w->cv.wait(lk, [&] { return w->terminate.load() || (w->enabled && w->handler); });
      if (w->terminate.load()) {
        w->exited = true;
        w->cv.notify_all();
        return;
      }
      handler = w->handler;
      ++w->calls_started;
    }
    if (const TThreadPriority wanted = w->priority.load(); wanted != applied) {
      vz::ApplyThreadPriority(wanted);
      applied = wanted;
    }
    bool failed = false;
    try {
      (*handler)();
    } catch (const std::exception& e) {
      if (!failing) vz::WriteLogF("Timers except:OnTimer %s", e.what());
      failed = true;
    } catch (...) {
      if (!failing) vz::WriteLog("Timers except:OnTimer");
      failed = true;
    }
    failing = failed;
    std::unique_lock<std::mutex> lk(w->mu);
    ++w->calls_finished;
    w->cv.notify_all();
    // A handler that keeps failing must not spin: back off a little.
    if (failed) w->cv.wait_for(lk, std::chrono::milliseconds(10), [&] { return w->terminate.load(); });
  }
}

// Waits for a worker told to end, or lets it end alone when that is us.
void TTimers::Finish(std::shared_ptr<Worker> w) {
  if (!w || !w->thread.joinable()) return;
  if (t_current_worker == w.get()) {
    w->thread.detach();
  } else {
    w->thread.join();
  }
}

void TTimers::SetEnabled(bool enabled) {
  std::shared_ptr<Worker> w;
  uint64_t inFlight = 0;
  {
    std::lock_guard<std::mutex> guard(control_);
    enabled_ = enabled;
    if (enabled && !worker_) worker_ = StartWorkerLocked(nullptr);
    w = worker_;
    if (!w) return;
    std::lock_guard<std::mutex> lk(w->mu);
    w->enabled = enabled;
    inFlight = w->calls_started;
    w->cv.notify_all();
  }
  if (enabled || t_current_worker == w.get()) return;
  // Parked once the call that was in flight when we disabled has returned.
  std::unique_lock<std::mutex> lk(w->mu);
  w->cv.wait(lk, [&] { return w->calls_finished >= inFlight || w->exited; });
}

void TTimers::SetInterval(int interval_ms) {
  if (interval_ms < 0) interval_ms = 0;
  std::shared_ptr<Worker> old;
  {
    std::lock_guard<std::mutex> guard(control_);
    if (interval_ms == interval_ms_.load()) return;
    interval_ms_ = interval_ms;
    if (!enabled_.load() || !worker_) return;
    old = std::move(worker_);
    {
      std::lock_guard<std::mutex> lk(old->mu);
      old->terminate = true;
      old->cv.notify_all();
    }
    worker_ = StartWorkerLocked(old);
  }
  Finish(std::move(old));
}

void TTimers::SetThreadPriority(TThreadPriority priority) {
  std::lock_guard<std::mutex> guard(control_);
  priority_ = priority;
  if (worker_) worker_->priority = priority;
}

void TTimers::SetOnTimer(TTimerEvent handler) {
  std::lock_guard<std::mutex> guard(control_);
  handler_ = handler ? std::make_shared<const TTimerEvent>(std::move(handler)) : nullptr;
  if (worker_) {
    std::lock_guard<std::mutex> lk(worker_->mu);
    worker_->handler = handler_;
    worker_->cv.notify_all();
  }
}

void TTimers::SetThreadName(std::string name) {
  std::lock_guard<std::mutex> guard(control_);
  name_ = std::move(name);
}

bool TTimers::Terminated() const {
  if (t_current_worker) {
    const auto* w = static_cast<const Worker*>(t_current_worker);
    if (w->owner == this) return w->terminate.load();
  }
  return stopped_.load();
}

void TTimers::Stop() {
  std::shared_ptr<Worker> w;
  {
    std::lock_guard<std::mutex> guard(control_);
    enabled_ = false;
    stopped_ = true;
    w = std::move(worker_);
    if (!w) return;
    std::lock_guard<std::mutex> lk(w->mu);
    w->terminate = true;
    w->enabled = false;
    w->cv.notify_all();
  }
  Finish(std::move(w));
}
