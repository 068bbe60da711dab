#pragma once
// A simulator on loopback with its state in a fresh folder, and helpers to
// reach its records by the SDK's own record table.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "DevSim.h"
#include "SimTestClient.h"
#include "TestEnv.h"
#include "vz_protocol.h"

namespace devsimtest {

class SimFixture : public ::testing::Test {
 protected:
  void TearDown() override { sim_.reset(); }

  void StartSim(const std::string& model = "ipc", int devices = 1, uint16_t basePort = 0) {
    vzsim::SimOptions o;
    o.basePort = basePort;
    o.stateDir = dir_.str();
    o.model = model;
    o.devices = devices;
    o.rebootRefusalMs = 1000;
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  uint16_t Port(int device = 0) const { return sim_->Port(device); }

  void LogIn(SimTestClient& c, const std::string& user = "admin") {
    ASSERT_TRUE(c.Connect(Port()));
    ASSERT_TRUE(c.Login(user, user));
  }

  // The record as the device stores it: in the whole block, or the sensor record.
  std::vector<uint8_t> Stored(const vz::TRecordInfo& info) const {
    if (info.CfgOffset < 0) return sim_->RfConfigBytes(0);
    const std::vector<uint8_t> cfg = sim_->ConfigBytes(0);
    const auto from = cfg.begin() + info.CfgOffset;
    return std::vector<uint8_t>(from, from + static_cast<std::ptrdiff_t>(info.Size));
  }

  // Polls a condition the device reaches on its own thread.
  static bool Eventually(const std::function<bool()>& done, int ms = 10000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }

  static std::vector<uint8_t> Payload(const vz::TCmdPkt& p, size_t size) {
    std::vector<uint8_t> out(size);
    vz::PktGetBytes(p, vz::pkt::kRecord, out.data(), size);
    return out;
  }

  vztest::TempDir dir_;
  std::unique_ptr<vzsim::DevSim> sim_;
};

}  // namespace devsimtest
