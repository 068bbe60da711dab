#pragma once
// A scripted device on loopback for the player's stream tests: it answers
// the login (with a chosen user level) and the whole-configuration request,
// remembers which connection asked for the stream, and sends on that
// connection exactly the bytes a test pushes. Everything else is answered
// with an echo. All functions may be called from any thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "vz_records.h"

namespace playertest {

vz::TDevCfg DefaultCfg();

// Stream units as the device sends them.
std::vector<uint8_t> FrameUnit(uint32_t marker, uint64_t timeUs, uint8_t chl, bool key, int32_t streamType,
                               uint32_t payloadBytes, uint8_t fill);
std::vector<uint8_t> AlarmUnit(uint32_t cmd, int32_t type, uint32_t time, int32_t chl, int32_t flag);
std::vector<uint8_t> StatusUnit(uint8_t chl, uint8_t sample);
std::vector<uint8_t> RawUnit(uint32_t marker, uint32_t length, uint32_t bodyBytes, uint8_t fill);

class FakeDevice {
 public:
  explicit FakeDevice(int32_t userLevel = 3, const vz::TDevCfg& cfg = DefaultCfg());
  ~FakeDevice();
  FakeDevice(const FakeDevice&) = delete;
  FakeDevice& operator=(const FakeDevice&) = delete;

  uint16_t Port() const { return port_; }
  int Logins() const { return logins_.load(); }
  int StartStreams() const { return starts_.load(); }
  bool Streaming() const;
  // Sends on the stream connection; false when there is none.
  bool Push(const std::vector<uint8_t>& bytes);
  // Closes the stream connection.
  void Cut();
  void SetRefuseLogin(bool on) { refuse_.store(on); }

 private:
  void Listen();
  void Serve(int fd);

  const int32_t level_;
  const vz::TDevCfg cfg_;
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> refuse_{false};
  std::atomic<int> logins_{0};
  std::atomic<int> starts_{0};
  mutable std::mutex lock_;
  int stream_fd_ = -1;  // guarded by lock_
  std::vector<std::thread> threads_;  // guarded by lock_
  std::thread listener_;
};

}  // namespace playertest
