#pragma once
// A loopback relay between the player and the simulated device that keeps a
// copy of every audio and video frame the device sends, in the order sent,
// so a test can compare what reached the callbacks byte for byte with what
// was on the wire. The device-to-player direction is cut into 8-byte-led
// units as the player reads them; a unit whose length no device may send
// ends the copying (the bytes are still relayed).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace nettest {

struct WireFrame {
  uint32_t marker = 0;
  uint8_t chl = 0;
  uint8_t key = 0;
  int32_t stream = 0;
  std::vector<uint8_t> payload;
};

class TapRelay {
 public:
  explicit TapRelay(uint16_t device_port);
  ~TapRelay();
  TapRelay(const TapRelay&) = delete;
  TapRelay& operator=(const TapRelay&) = delete;

  // The port the player connects to; 0 when the relay could not listen.
  uint16_t Port() const { return port_; }
  std::vector<WireFrame> Frames() const;

 private:
  void AcceptLoop();
  void Pump(int player_fd, int device_fd);
  // Takes the whole units off the front of pending; false once the unit
  // boundaries are lost.
  bool Parse(std::vector<uint8_t>& pending);

  const uint16_t device_port_;
  uint16_t port_ = 0;
  int listen_fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread accept_thread_;
  std::mutex threads_lock_;
  std::vector<std::thread> pumps_;  // guarded by threads_lock_
  mutable std::mutex frames_lock_;
  std::vector<WireFrame> frames_;  // guarded by frames_lock_
};

}  // namespace nettest
