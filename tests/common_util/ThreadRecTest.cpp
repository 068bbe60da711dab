#include "ThreadRec.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "WaitFor.h"

namespace {

using utiltest::WaitFor;

struct Job {
  std::atomic<bool> started{false};
  std::atomic<bool> release{false};  // lets a stubborn procedure end
  std::atomic<bool> done{false};
  std::atomic<pid_t> tid{0};
  char name[16] = {0};
};

// Waits for its stop flag, as a well-behaved receive loop does.
void PoliteProc(void* param) {
  auto* job = static_cast<Job*>(param);
  job->tid = static_cast<pid_t>(::syscall(SYS_gettid));
  ::pthread_getname_np(::pthread_self(), job->name, sizeof job->name);
  job->started = true;
  while (!TThreadRec::StopRequestedHere()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  job->done = true;
}

// Ignores the stop flag until the test releases it.
void StubbornProc(void* param) {
  auto* job = static_cast<Job*>(param);
  job->started = true;
  while (!job->release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  job->done = true;
}

TEST(ThreadRec, StopEndsAPoliteProcedureWithinTheGrace) {
  for (bool autoClose : {false, true}) {
    Job job;
    TThreadRec rec;
    ASSERT_TRUE(rec.Start(PoliteProc, &job, TThreadPriority::Normal, autoClose, "vzRecTest"));
    ASSERT_TRUE(WaitFor([&] { return job.started.load(); }));
    EXPECT_TRUE(rec.Running());
    EXPECT_EQ(rec.ThreadId(), job.tid.load());
    EXPECT_FALSE(rec.Start(PoliteProc, &job)) << "a second start while running";
    EXPECT_FALSE(TThreadRec::StopRequestedHere()) << "the caller's thread has no record";
    EXPECT_TRUE(rec.Stop(20000)) << "autoClose " << autoClose;
    EXPECT_TRUE(job.done.load());
    EXPECT_FALSE(rec.Running());
    EXPECT_STREQ(job.name, "vzRecTest");
  }
}

TEST(ThreadRec, StopGivesUpOnAStubbornProcedureAndLetsItRunOn) {
  Job job;
  TThreadRec rec;
  ASSERT_TRUE(rec.Start(StubbornProc, &job));
  ASSERT_TRUE(WaitFor([&] { return job.started.load(); }));
  EXPECT_FALSE(rec.Stop(30));
  EXPECT_FALSE(rec.Running());
  EXPECT_FALSE(job.done.load());
  // The record is free for a new thread while the old one runs on.
  Job next;
  ASSERT_TRUE(rec.Start(PoliteProc, &next));
  EXPECT_TRUE(rec.Stop(20000));
  job.release = true;
  EXPECT_TRUE(WaitFor([&] { return job.done.load(); }));
}

TEST(ThreadRec, RefusesAnEmptyProcedureAndStopsNothingQuietly) {
  TThreadRec rec;
  EXPECT_FALSE(rec.Start(nullptr, nullptr));
  EXPECT_TRUE(rec.Stop(0));
  EXPECT_EQ(rec.ThreadId(), 0);
}

TEST(ThreadRec, AProcedureThatThrowsEndsTheThreadOnly) {
  TThreadRec rec;
  ASSERT_TRUE(rec.Start([](void*) { throw std::runtime_error("boom"); }, nullptr));
  EXPECT_TRUE(WaitFor([&] { return !rec.Running(); }));
  EXPECT_TRUE(rec.Stop(1000));
}

}  // namespace
