#include "Timers.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "WaitFor.h"

namespace {

using utiltest::WaitFor;

// Counts calls and notices two calls running at once.
struct CallProbe {
  std::atomic<int> calls{0};
  std::atomic<int> in_flight{0};
  std::atomic<bool> overlapped{false};
  std::mutex lock;
  std::set<long> threads;  // kernel thread ids (never reused soon, unlike std::thread::id); guarded by lock

  void Call(std::chrono::microseconds work = std::chrono::microseconds(200)) {
    if (in_flight.fetch_add(1) != 0) overlapped = true;
    {
      std::lock_guard<std::mutex> g(lock);
      threads.insert(::syscall(SYS_gettid));
    }
    std::this_thread::sleep_for(work);
    calls.fetch_add(1);
    in_flight.fetch_sub(1);
  }
  size_t ThreadCount() {
    std::lock_guard<std::mutex> g(lock);
    return threads.size();
  }
};

TEST(Timers, StartsDisabledWithTheDefaults) {
  TTimers timer;
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::Normal);
  EXPECT_FALSE(timer.Terminated());
}

TEST(Timers, EnableRunsTheHandlerAndDisableParksIt) {
  CallProbe probe;
  TTimers timer;
  timer.SetOnTimer([&] { probe.Call(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(probe.calls.load(), 0) << "ran before it was enabled";

  timer.SetEnabled(true);
  ASSERT_TRUE(WaitFor([&] { return probe.calls.load() >= 5; }));
  timer.SetEnabled(false);
  EXPECT_EQ(probe.in_flight.load(), 0) << "a call still ran after disabling returned";
  const int parked = probe.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(probe.calls.load(), parked);

  timer.SetEnabled(true);
  ASSERT_TRUE(WaitFor([&] { return probe.calls.load() >= parked + 5; }));
  timer.Stop();
  EXPECT_FALSE(timer.Enabled());
  EXPECT_TRUE(timer.Terminated());
  EXPECT_EQ(probe.in_flight.load(), 0);
  EXPECT_EQ(probe.ThreadCount(), 1u) << "suspending must not change the thread";
  EXPECT_FALSE(probe.overlapped.load());
}

TEST(Timers, TheHandlerPacesItselfWhateverTheInterval) {
  std::atomic<int> calls{0};
  TTimers timer;
  timer.SetInterval(60000);
  timer.SetOnTimer([&] { calls.fetch_add(1); std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
  timer.SetEnabled(true);
  // Waiting the interval between calls would give one call a minute.
  EXPECT_TRUE(WaitFor([&] { return calls.load() >= 20; }));
  EXPECT_EQ(timer.Interval(), 60000);
}

TEST(Timers, IntervalChangeWhileEnabledReplacesTheThread) {
  CallProbe probe;
  TTimers timer;
  timer.SetOnTimer([&] { probe.Call(std::chrono::microseconds(500)); });
  timer.SetInterval(10);  // disabled: only stored
  EXPECT_EQ(timer.Interval(), 10);
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitFor([&] { return probe.calls.load() >= 3; }));
  for (int interval : {20, 30, 40}) {
    const int before = probe.calls.load();
    timer.SetInterval(interval);
    EXPECT_EQ(timer.Interval(), interval);
    EXPECT_TRUE(timer.Enabled());
    ASSERT_TRUE(WaitFor([&] { return probe.calls.load() >= before + 3; }));
  }
  timer.SetInterval(40);  // unchanged: keeps the thread
  timer.Stop();
  EXPECT_EQ(probe.ThreadCount(), 4u);
  EXPECT_FALSE(probe.overlapped.load()) << "old and new thread ran the handler at once";
}

TEST(Timers, StopLetsAWaitingHandlerSeeTerminated) {
  std::atomic<bool> entered{false};
  std::atomic<bool> saw_terminated{false};
  TTimers timer;
  timer.SetOnTimer([&] {
    entered = true;
    // A long wait (a socket read) that watches the flag.
    while (!timer.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    saw_terminated = true;
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitFor([&] { return entered.load(); }));
  EXPECT_FALSE(timer.Terminated());
  timer.Stop();
  EXPECT_TRUE(saw_terminated.load());
}

TEST(Timers, HandlerMayDisableOrStopItsOwnTimer) {
  enum class Action { Disable, Stop, Interval, Destroy };
  for (Action action : {Action::Disable, Action::Stop, Action::Interval, Action::Destroy}) {
    std::atomic<bool> go{false};  // the owner has left SetEnabled
    std::atomic<int> calls{0};
    std::atomic<bool> acted{false};
    auto timer = std::make_unique<TTimers>();
    TTimers* self = timer.get();
    std::mutex owner;  // guards timer for the Destroy case
    timer->SetOnTimer([&, self] {
      if (!go.load() || calls.fetch_add(1) + 1 != 3) return;
      switch (action) {
        case Action::Disable: self->SetEnabled(false); break;
        case Action::Stop: self->Stop(); break;
        case Action::Interval: self->SetInterval(7); break;
        case Action::Destroy: {
          std::lock_guard<std::mutex> g(owner);
          timer.reset();
          break;
        }
      }
      acted = true;
    });
    timer->SetEnabled(true);
    go = true;
    ASSERT_TRUE(WaitFor([&] { return acted.load(); })) << static_cast<int>(action);
    if (action == Action::Interval) {
      ASSERT_TRUE(WaitFor([&] { return calls.load() >= 6; })) << "the replacement thread did not go on";
      timer->Stop();
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(calls.load(), 3) << static_cast<int>(action);
    std::lock_guard<std::mutex> g(owner);
    if (timer) {
      EXPECT_FALSE(timer->Enabled());
    }
  }
}

TEST(Timers, ThreadIsNamedAndTakesThePriority) {
  std::atomic<bool> done{false};
  char name[16] = {0};
  int nice_value = -100;
  TTimers timer("vzTimerTest");
  timer.SetThreadPriority(TThreadPriority::Lower);
  timer.SetOnTimer([&] {
    if (done) return;
    ::pthread_getname_np(::pthread_self(), name, sizeof name);
    nice_value = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    done = true;
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));
  timer.Stop();
  EXPECT_STREQ(name, "vzTimerTest");
  EXPECT_EQ(nice_value, 5);
  EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::Lower);
}

TEST(Timers, EmptyHandlerParksAndAThrowingOneKeepsTheLoopAlive) {
  std::atomic<int> calls{0};
  TTimers timer;
  timer.SetEnabled(true);  // no handler yet: nothing to call
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  timer.SetOnTimer([&] {
    calls.fetch_add(1);
    throw std::runtime_error("handler failure");
  });
  EXPECT_TRUE(WaitFor([&] { return calls.load() >= 3; }));
  timer.SetOnTimer(nullptr);
  const int after = calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_LE(calls.load(), after + 1);  // at most the call in flight
  timer.Stop();
}

}  // namespace
