#include "TapRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace nettest {

namespace {

constexpr uint32_t kVideo = 0xBBBBBBBBu;
constexpr uint32_t kAudio = 0xCCCCCCCCu;
constexpr uint32_t kMaxUnit = 524288;
constexpr size_t kHead = 8;
constexpr size_t kFrameHead = 24;

uint32_t U32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

}  // namespace

TapRelay::TapRelay(uint16_t device_port) : device_port_(device_port) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(0);
  socklen_t len = sizeof a;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listen_fd_, 8) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    return;
  }
  port_ = ntohs(a.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

TapRelay::~TapRelay() {
  stop_ = true;
  if (accept_thread_.joinable()) accept_thread_.join();
  std::lock_guard<std::mutex> g(threads_lock_);
  for (auto& t : pumps_) t.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

std::vector<WireFrame> TapRelay::Frames() const {
  std::lock_guard<std::mutex> g(frames_lock_);
  return frames_;
}

void TapRelay::AcceptLoop() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int player = ::accept(listen_fd_, nullptr, nullptr);
    if (player < 0) continue;
    const int device = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = Loopback(device_port_);
    if (device < 0 || ::connect(device, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
      ::close(player);
      if (device >= 0) ::close(device);
      continue;
    }
    std::lock_guard<std::mutex> g(threads_lock_);
    pumps_.emplace_back([this, player, device] { Pump(player, device); });
  }
}

void TapRelay::Pump(int player_fd, int device_fd) {
  std::vector<uint8_t> pending;
  bool parsing = true;
  uint8_t buf[65536];
  bool open = true;
  while (open && !stop_) {
    pollfd p[2] = {{player_fd, POLLIN, 0}, {device_fd, POLLIN, 0}};
    if (::poll(p, 2, 20) <= 0) continue;
    for (int i = 0; i < 2 && open; ++i) {
      if ((p[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = ::recv(p[i].fd, buf, sizeof buf, 0);
      if (n <= 0) {
        open = false;
        break;
      }
      // Copied before it is passed on, so the copy is never behind what
      // the player has seen.
      if (i == 1 && parsing) {
        pending.insert(pending.end(), buf, buf + n);
        parsing = Parse(pending);
      }
      if (!SendAll(i == 0 ? device_fd : player_fd, buf, static_cast<size_t>(n))) {
        open = false;
        break;
      }
    }
  }
  ::close(player_fd);
  ::close(device_fd);
}

bool TapRelay::Parse(std::vector<uint8_t>& pending) {
  size_t at = 0;
  while (pending.size() - at >= kHead) {
    const uint32_t marker = U32(&pending[at]);
    const uint32_t len = U32(&pending[at + 4]);
    if (len > kMaxUnit) {  // lost the unit boundaries: copy no more
      pending.clear();
      return false;
    }
    if (pending.size() - at < kHead + len) break;
    if ((marker == kVideo || marker == kAudio) && kHead + len >= kFrameHead) {
      const uint8_t* f = &pending[at];
      WireFrame w;
      w.marker = marker;
      w.chl = f[16];
      w.key = f[17];
      std::memcpy(&w.stream, f + 20, 4);
      w.payload.assign(f + kFrameHead, f + kHead + len);
      std::lock_guard<std::mutex> g(frames_lock_);
      frames_.push_back(std::move(w));
    }
    at += kHead + len;
  }
  pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

}  // namespace nettest
