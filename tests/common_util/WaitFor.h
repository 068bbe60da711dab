#pragma once
// Polls a condition with a generous limit: the machine is shared and the
// sanitizer build is slow, so only a hang ends a wait unsuccessfully.
#include <chrono>
#include <thread>

namespace utiltest {

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace utiltest
