#pragma once
// A loopback listener that plays one scripted device per accepted
// connection, for framing cases the simulator has no switch for.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

class ScriptedPeer {
 public:
  using Script = std::function<void(int fd)>;
  // Listens on 127.0.0.1 with a free port; each accepted connection runs
  // `script` on the peer's thread, then is closed.
  explicit ScriptedPeer(Script script, int connections = 1);
  ~ScriptedPeer();
  uint16_t Port() const { return port_; }
  // Connections accepted so far.
  int Accepted() const { return accepted_.load(); }

  // Helpers for scripts.
  static bool ReadAll(int fd, void* buf, size_t len, int timeoutMs = 5000);
  static bool WriteAll(int fd, const void* buf, size_t len);
  // True when the other side closed within timeoutMs (reads and drops data).
  static bool WaitClosed(int fd, int timeoutMs = 5000);

 private:
  void Run(Script script, int connections);
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> accepted_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A loopback port nothing listens on (bound once, then released).
uint16_t ClosedPort();

}  // namespace linktest
