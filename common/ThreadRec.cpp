#include "ThreadRec.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "LogWriter.h"

namespace {
// The stop flag of the record running on this thread.
thread_local const std::atomic<bool>* t_stop_flag = nullptr;
}  // namespace

TThreadRec::~TThreadRec() {
  if (state_) Stop(kDestroyGraceMs);
}

bool TThreadRec::Start(TThreadProc proc, void* param, TThreadPriority priority, bool autoClose,
                       std::string name) {
  if (!proc || Running()) return false;
  if (thread_.joinable()) thread_.join();  // ended already, only not yet collected
  auto state = std::make_shared<State>();
  thread_ = std::thread([state, proc = std::move(proc), param, priority, name] {
    state->tid = static_cast<pid_t>(::syscall(SYS_gettid));
    vz::NameThisThread(name);
    vz::ApplyThreadPriority(priority);
    t_stop_flag = &state->stop;
    try {
      proc(param);
    } catch (const std::exception& e) {
      vz::WriteLogF("ThreadRec except:%s %s", name.c_str(), e.what());
    } catch (...) {
      vz::WriteLogF("ThreadRec except:%s", name.c_str());
    }
    state->finished = true;
  });
  state_ = std::move(state);
  name_ = std::move(name);
  if (autoClose) thread_.detach();
  return true;
}

bool TThreadRec::Stop(int grace_ms) {
  if (!state_) return true;
  state_->stop = true;
  const bool self = thread_.joinable() && thread_.get_id() == std::this_thread::get_id();
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(grace_ms < 0 ? 0 : grace_ms);
  while (!self && !state_->finished.load() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const bool ended = state_->finished.load();
  if (thread_.joinable()) {
    if (ended && !self) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }
  if (!ended && !self) {
    vz::WriteLogF("ThreadRec: %s still running after %d ms, left detached", name_.c_str(), grace_ms);
  }
  state_.reset();
  return ended;
}

bool TThreadRec::Running() const { return state_ && !state_->finished.load(); }

bool TThreadRec::StopRequested() const { return state_ && state_->stop.load(); }

bool TThreadRec::StopRequestedHere() { return t_stop_flag && t_stop_flag->load(); }

pid_t TThreadRec::ThreadId() const { return state_ ? state_->tid.load() : 0; }
