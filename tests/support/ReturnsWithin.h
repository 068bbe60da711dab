#pragma once
// Runs a call that might never return (a suspected deadlock) on a thread
// of its own, so that the test fails instead of hanging ctest.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace vztest {

// Success when call returned within limit. Otherwise its thread is left
// running, detached, with whatever it holds: the test has failed by then.
inline ::testing::AssertionResult ReturnsWithin(std::function<void()> call, std::chrono::seconds limit) {
  std::packaged_task<void()> task(std::move(call));
  std::future<void> done = task.get_future();
  std::thread t(std::move(task));
  if (done.wait_for(limit) != std::future_status::ready) {
    t.detach();
    return ::testing::AssertionFailure() << "still running after " << limit.count() << " s";
  }
  t.join();
  return ::testing::AssertionSuccess();
}

}  // namespace vztest
