#pragma once
// The byte pipe a simulated device talks through. The socket form serves
// real connections; the memory form feeds a session from a buffer (fuzzing,
// unit tests) and collects what it answers.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vzsim {

class SimLink {
 public:
  virtual ~SimLink() = default;
  // Reads exactly `n` bytes. `idleMs` bounds the wait for the first byte
  // (0: wait as long as the device runs); once a byte has come, the rest must
  // follow within the link's transfer time-out. False on close, error,
  // time-out or stop.
  virtual bool ReadExact(void* buf, size_t n, int idleMs) = 0;
  // Writes all `n` bytes within the transfer time-out; false otherwise.
  virtual bool WriteAll(const void* buf, size_t n) = 0;
  // Waits `ms` unless the device stops first (then false).
  virtual bool Pause(int ms) = 0;
  // True when a second thread may write beside the reading one (a stream
  // connection's media sender); WriteAll then keeps whole writes apart.
  virtual bool CanStream() const { return false; }
  // Ends the connection in both directions; the reader's next read fails.
  virtual void Cut() {}
};

// A connected socket owned by the caller. Every wait polls in short steps and
// checks `stop`, so a stopping device never waits on a silent peer.
class SocketLink final : public SimLink {
 public:
  static constexpr int kTransferTimeoutMs = 10000;
  SocketLink(int fd, const std::atomic<bool>& stop) : fd_(fd), stop_(stop) {}
  bool ReadExact(void* buf, size_t n, int idleMs) override;
  bool WriteAll(const void* buf, size_t n) override;
  bool Pause(int ms) override;
  bool CanStream() const override { return true; }
  void Cut() override;

 private:
  // Waits for `events` on the socket; false on time-out, stop or hang-up.
  bool Wait(short events, int timeoutMs);
  int fd_;
  const std::atomic<bool>& stop_;
  std::mutex writeMutex_;  // one whole WriteAll at a time
};

class MemoryLink final : public SimLink {
 public:
  MemoryLink(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ReadExact(void* buf, size_t n, int idleMs) override;
  bool WriteAll(const void* buf, size_t n) override;
  bool Pause(int) override { return true; }
  const std::vector<uint8_t>& Written() const { return written_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  std::vector<uint8_t> written_;
};

}  // namespace vzsim
