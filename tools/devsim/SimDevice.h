#pragma once
// One simulated device: its stored state, its listening socket, the threads
// serving its connections, its journal and its fault switch.
//
// Locks: `mutex_` guards state_, clockOffset_s_, fault_, journal_, upload
// results, stream masks and counters; `connsMutex_` guards conns_. They are
// never held together. The listener thread alone owns listenFd_.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DevSim.h"
#include "SimAlarms.h"
#include "SimDefaults.h"
#include "SimState.h"

namespace vzsim {

struct FaultSpec {
  Fault kind = Fault::None;
  int arg = 0;
  uint32_t onlyCmd = 0;
};

class SimDevice {
 public:
  static constexpr size_t kJournalLimit = 4096;
  static constexpr int kMaxConnections = 32;

  static constexpr size_t kTalkLimit = 1024;

  // An empty `statePath` keeps the state in memory only. `camera` is written
  // over the stored video records at Open.
  SimDevice(int index, SimModel model, std::string statePath, bool verbose, SimCamera camera = {});
  ~SimDevice();
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  // Binds 127.0.0.1:`port` (0: any free port), then loads or creates the
  // state file. False with `error` filled when either fails.
  bool Open(uint16_t port, std::string* error);
  void StartServing();
  void Stop();

  int Index() const { return index_; }
  uint16_t Port() const { return port_.load(); }
  bool Verbose() const { return verbose_; }
  // Whether the device films the busy scene (its camera's setting).
  bool BusyScene() const { return camera_.busy; }
  void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

  // --- used by the sessions ------------------------------------------------
  // The fault that applies to command `cmd` (1: the login).
  FaultSpec FaultFor(uint32_t cmd) const;
  // The media fault switched on now (kind None when there is none).
  FaultSpec StreamFault() const;
  SimAlarms& Alarms() { return alarms_; }
  void AddTalk(TalkPacket packet);
  // Counters of what the stream connections sent; lock-free, any thread.
  struct Counters {
    std::atomic<uint64_t> video{0}, audio{0}, status{0}, alarms{0}, bytes{0};
    std::atomic<int> streaming{0};
  };
  Counters& Sent() { return sent_; }
  int64_t DeviceTimeUs() const;  // device-local microseconds since 1970
  void Record(JournalEntry entry);
  uint64_t NextConnectionId() { return nextConn_.fetch_add(1) + 1; }
  uint32_t NextLoginId();
  // The level of a matching account, 0 when none matches.
  int Authenticate(const std::string& user, const std::string& password) const;
  void Read(const std::function<void(const SimState&)>& fn) const;
  // Runs `fn` under the lock; when it returns true the state is saved.
  void Modify(const std::function<bool(SimState&)>& fn);
  void FactoryDefault();
  int64_t DeviceTime() const;  // device-local seconds
  void SetDeviceTime(int64_t seconds);
  // Drops every connection and refuses new ones for the refusal time.
  void Reboot();
  void UploadBegun();
  void UploadEnded(std::vector<uint8_t> bytes, UploadState state);
  void SetStreamMasks(uint32_t main, uint32_t audio, uint32_t sub);

  // --- used by the facade --------------------------------------------------
  void SetFault(FaultSpec fault);
  void SetRebootRefusal(int ms) { rebootRefusalMs_.store(ms < 0 ? 0 : ms); }
  std::vector<JournalEntry> Journal() const;
  void ClearJournal();
  SimState State() const;
  std::vector<uint8_t> LastUpload() const;
  UploadState LastUploadState() const;
  int RebootCount() const;
  int OpenConnections() const;
  std::vector<uint32_t> StreamMasks() const;
  std::vector<TalkPacket> Talk() const;
  void ClearTalk();
  StreamStats Stats() const;

 private:
  struct Conn {
    std::thread thread;
    int fd = -1;
    std::shared_ptr<std::atomic<bool>> done;
  };

  bool Bind(uint16_t port);
  void ListenLoop();
  void Accept();
  void Serve(int fd, std::shared_ptr<std::atomic<bool>> done);
  void ReapFinished(bool all);
  void DropConnections();
  void SaveLocked();
  void ApplyCameraLocked();

  const int index_;
  const SimModel model_;
  const std::string statePath_;
  const bool verbose_;
  const SimCamera camera_;
  std::atomic<uint16_t> port_{0};
  std::atomic<bool> stop_{false};
  std::atomic<int> rebootRefusalMs_{2000};
  std::atomic<bool> rebootPending_{false};
  std::atomic<uint64_t> nextConn_{0};
  int listenFd_ = -1;  // listener thread (and Open before it starts)
  std::thread listener_;

  mutable std::mutex mutex_;
  SimState state_;                  // guarded by mutex_
  int64_t clockOffset_s_ = 0;       // guarded by mutex_
  FaultSpec fault_;                 // guarded by mutex_
  std::deque<JournalEntry> journal_;  // guarded by mutex_
  uint32_t nextLoginId_;            // guarded by mutex_
  std::vector<uint8_t> lastUpload_;  // guarded by mutex_
  UploadState uploadState_ = UploadState::None;  // guarded by mutex_
  int rebootCount_ = 0;             // guarded by mutex_
  std::vector<uint32_t> streamMasks_;  // guarded by mutex_
  std::deque<TalkPacket> talk_;     // guarded by mutex_

  SimAlarms alarms_;  // has its own lock
  Counters sent_;

  mutable std::mutex connsMutex_;
  std::list<Conn> conns_;  // guarded by connsMutex_
};

}  // namespace vzsim
