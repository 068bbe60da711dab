#pragma once
// What the simulator tests of the live-player functions share: a simulator
// of the test's own, players that are freed whatever happens, and waits
// with generous limits (the machine is shared, tests may run under the
// sanitizers).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "DevSim.h"
#include "TestEnv.h"
#include "vzSDK.h"

namespace nettest {

constexpr int32_t kConnectTimeOutMs = 5000;

template <typename P>
bool WaitFor(P pred, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

struct PlayerDeleter {
  void operator()(vzNetPlayer_* h) const { vzNet_Free(h); }
};
using Player = std::unique_ptr<vzNetPlayer_, PlayerDeleter>;

inline Player NewPlayer() {
  vzNetHandle h = reinterpret_cast<vzNetHandle>(&h);  // Init must clear it first
  EXPECT_EQ(vzNet_Init(&h, devNone, 0, 0, 0, 0), 1);
  EXPECT_NE(h, nullptr);
  // Pictures are decoded as in a live view: every test here also drives its
  // frames through the decoder.
  EXPECT_EQ(vzNet_SetDecodeStyle(h, Decode_All), 1);
  return Player(h);
}

class SimFixture : public ::testing::Test {
 protected:
  void StartSim(vzsim::SimOptions o) {
    o.stateDir = dir_.str();
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  // Logs in with the account user/user; port 0: the device's own.
  bool Connect(vzNetHandle h, const char* user = "admin", uint16_t port = 0) {
    const int p = port != 0 ? port : sim_->Port(0);
    return vzNet_Connect(h, user, user, "127.0.0.1", "127.0.0.1", p, kConnectTimeOutMs) != 0;
  }

  vztest::TempDir dir_;
  std::unique_ptr<vzsim::DevSim> sim_;
};

}  // namespace nettest
