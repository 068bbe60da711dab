#pragma once
// The LAN search behind the vzSearch_ exports.
//
// Init binds one TMyUDP per local IPv4 address, on the first free port from
// 1999 upward (the count runs on across addresses). SearchDevice and
// AdjustTime reopen every socket and broadcast a search (command 26) or
// set-time (command 17, the PC's local seconds) request to port 2000 from
// it. Devices answer with their TDevInfo and TNetCfg; each device address is
// reported at most once per search through a table of 512 addresses.
//
// Threads: Init, SearchDevice, AdjustTime, Free and ProcessEvents belong to
// one thread, the owner (the one that called Init). The sockets' receive
// threads only check and queue replies; the callback runs on the owner
// while it processes events:
// - on the Qt application's thread (a QCoreApplication exists and Init ran
//   on its thread) every queued reply is also posted to that thread's event
//   loop, so QCoreApplication::processEvents() or exec() delivers it;
// - on any thread, ProcessEvents(ms) waits that long and delivers what
//   arrives meanwhile.
// The callback may call Free, SearchDevice or AdjustTime.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MyUDP.h"
#include "SearchPacket.h"
#include "vzSDK.h"

namespace vz {

class TSearch {
 public:
  static constexpr int kFirstPort = 1999;
  static constexpr int kPortTries = 100;  // ports tried for one address
  static constexpr size_t kTableSize = 512;
  static constexpr size_t kQueueLimit = 1024;  // replies waiting beyond this are dropped

  TSearch();
  ~TSearch();  // frees
  TSearch(const TSearch&) = delete;
  TSearch& operator=(const TSearch&) = delete;

  // Always true. A second Init frees the first one's sockets.
  bool Init(TSearchDevCallback callback);
  bool SearchDevice();
  bool AdjustTime();
  bool Free();
  // Delivers the replies that are queued or arrive within timeoutMs; the
  // number of callbacks made.
  int ProcessEvents(int timeoutMs);

  // The bound port of each socket in address order, 0 for one left inactive.
  std::vector<int> Ports() const;
  // Replies that passed the checks and were delivered (reported or not).
  uint64_t RepliesDelivered() const { return delivered_.load(); }

 private:
  bool Broadcast(uint32_t cmd, bool withTime);
  void OnDatagram(const char* buf, int len);  // receive threads
  int Deliver();                              // owner thread

  std::vector<std::unique_ptr<TMyUDP>> sockets_;  // owner thread only
  TSearchDevCallback callback_ = nullptr;          // owner thread only
  std::array<uint32_t, kTableSize> reported_{};    // owner thread only

  std::mutex queueLock_;  // guards queue_
  std::condition_variable queueCv_;
  std::deque<std::vector<uint8_t>> queue_;
  std::atomic<bool> postToQt_{false};
  std::atomic<uint64_t> delivered_{0};
  std::shared_ptr<int> alive_;  // posted deliveries check it before touching this object
};

}  // namespace vz
