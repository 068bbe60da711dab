#include "SimLink.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace vzsim {
namespace {

constexpr int kStepMs = 50;

using Clock = std::chrono::steady_clock;

// Whole milliseconds left, rounded up so that a wait never ends early.
int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

bool SocketLink::Wait(short events, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (stop_.load()) return false;
    pollfd p{fd_, events, 0};
    const int step = timeoutMs == 0 ? kStepMs : std::min(kStepMs, MsLeft(deadline));
    const int r = ::poll(&p, 1, step);
    if (r < 0 && errno != EINTR) return false;
    if (r > 0) {
      if (p.revents & events) return true;
      if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
    }
    if (timeoutMs != 0 && MsLeft(deadline) == 0) return false;
  }
}

bool SocketLink::ReadExact(void* buf, size_t n, int idleMs) {
  auto* out = static_cast<uint8_t*>(buf);
  size_t got = 0;
  while (got < n) {
    if (!Wait(POLLIN, got == 0 ? idleMs : kTransferTimeoutMs)) return false;
    const ssize_t r = ::recv(fd_, out + got, n - got, 0);
    if (r == 0) return false;
    if (r < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    got += static_cast<size_t>(r);
  }
  return true;
}

bool SocketLink::WriteAll(const void* buf, size_t n) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  const auto* in = static_cast<const uint8_t*>(buf);
  size_t sent = 0;
  while (sent < n) {
    if (!Wait(POLLOUT, kTransferTimeoutMs)) return false;
    const ssize_t r = ::send(fd_, in + sent, n - sent, MSG_NOSIGNAL);
    if (r < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    sent += static_cast<size_t>(r);
  }
  return true;
}

void SocketLink::Cut() { ::shutdown(fd_, SHUT_RDWR); }

bool SocketLink::Pause(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (!stop_.load()) {
    const int left = MsLeft(deadline);
    if (left == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kStepMs, left)));
  }
  return false;
}

bool MemoryLink::ReadExact(void* buf, size_t n, int) {
  if (n > size_ - pos_) return false;
  if (n > 0) std::memcpy(buf, data_ + pos_, n);
  pos_ += n;
  return true;
}

bool MemoryLink::WriteAll(const void* buf, size_t n) {
  const auto* in = static_cast<const uint8_t*>(buf);
  // Bounded: a fuzzed session cannot make the collector grow without end.
  if (written_.size() < (1u << 20)) written_.insert(written_.end(), in, in + n);
  return true;
}

}  // namespace vzsim
