#pragma once
// Shared pieces of the player tests: a player owned RAII-style, a fake
// seconds clock for the watchdog, and polling with generous limits.
#include <atomic>
#include <cstring>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "class_AxPlay.h"

namespace playertest {

struct PlayerFree {
  void operator()(TAxPlay* p) const { TAxPlay::Free(p); }
};
using PlayerPtr = std::unique_ptr<TAxPlay, PlayerFree>;

inline PlayerPtr NewPlayer() { return PlayerPtr(TAxPlay::New(0)); }

// One process-wide fake clock; tests that use it run one at a time.
inline std::atomic<int64_t>& FakeSeconds() {
  static std::atomic<int64_t> s{1700000000};
  return s;
}
inline int64_t FakeClock() { return FakeSeconds().load(); }

inline bool Eventually(const std::function<bool()>& done, int ms = 15000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

inline vz::TConnectArgs LocalArgs(uint16_t port, const std::string& user = "admin") {
  vz::TConnectArgs a;
  a.UserName = user;
  a.Password = user;
  a.DevAddr = "127.0.0.1";
  a.SvrAddr = "127.0.0.1";
  a.DataPort = port;
  a.ConnTimeOutMs = 3000;
  return a;
}

// What the hooks saw, collected from the reading thread.
struct Seen {
  struct Frame {
    uint32_t Magic;
    uint32_t Total;
    uint8_t Chl;
    uint8_t Key;
    int32_t Stream;
    uint8_t Fill;
    uint64_t TimeUs;
  };
  struct Alarm {
    int32_t Type, Chl, Flag;
    double Time;
  };
  mutable std::mutex lock;
  std::vector<Frame> frames;
  std::vector<Alarm> alarms;
  std::vector<std::vector<uint8_t>> statuses;
  std::vector<uint32_t> audioRaw;

  void Install(TAxPlay& p);
  size_t FrameCount() const {
    std::lock_guard<std::mutex> g(lock);
    return frames.size();
  }
};

}  // namespace playertest

namespace playertest {

inline void Seen::Install(TAxPlay& p) {
  p.SetOnAVData([this](TAxPlay&, const uint8_t* f, int32_t, uint32_t total) {
    vz::TAVFrameHead h{};
    std::memcpy(&h, f, sizeof(h));
    std::lock_guard<std::mutex> g(lock);
    frames.push_back({h.Magic, total, h.Chl, h.IsIFrame, h.StreamType, total > 24 ? f[24] : uint8_t{0}, h.TimeStamp});
  });
  p.SetOnAlarm([this](TAxPlay&, int32_t type, int32_t chl, int32_t flag, double t) {
    std::lock_guard<std::mutex> g(lock);
    alarms.push_back({type, chl, flag, t});
  });
  p.SetOnStatus([this](TAxPlay&, const uint8_t* body, uint32_t len) {
    std::lock_guard<std::mutex> g(lock);
    statuses.emplace_back(body, body + len);
  });
  p.SetOnAudioRaw([this](TAxPlay&, const uint8_t*, uint32_t len) {
    std::lock_guard<std::mutex> g(lock);
    audioRaw.push_back(len);
  });
}

}  // namespace playertest
