#include "MyUDP.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace vz {

namespace {

bool ParseIPv4(const std::string& text, in_addr* out) { return ::inet_pton(AF_INET, text.c_str(), out) == 1; }

uint64_t NowMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

TMyUDP::TMyUDP() = default;

TMyUDP::~TMyUDP() { SetActive(false); }

bool TMyUDP::Active() const { return active_.load(); }

void TMyUDP::SetActive(bool active) {
  std::lock_guard<std::mutex> guard(activeLock_);
  if (active == active_.load()) return;
  if (active) {
    Open();
  } else {
    Close();
  }
}

std::string TMyUDP::MultiCastIP() const {
  std::lock_guard<std::mutex> lock(propLock_);
  return multiCastIP_;
}
void TMyUDP::SetMultiCastIP(const std::string& ip) {
  std::lock_guard<std::mutex> lock(propLock_);
  multiCastIP_ = ip;
}
std::string TMyUDP::LocalIP() const {
  std::lock_guard<std::mutex> lock(propLock_);
  return localIP_;
}
void TMyUDP::SetLocalIP(const std::string& ip) {
  std::lock_guard<std::mutex> lock(propLock_);
  localIP_ = ip;
}
int TMyUDP::Port() const {
  std::lock_guard<std::mutex> lock(propLock_);
  return port_;
}
void TMyUDP::SetPort(int port) {
  std::lock_guard<std::mutex> lock(propLock_);
  port_ = port;
}
bool TMyUDP::Loop() const {
  std::lock_guard<std::mutex> lock(propLock_);
  return loop_;
}
void TMyUDP::SetLoop(bool loop) {
  std::lock_guard<std::mutex> lock(propLock_);
  loop_ = loop;
}
int TMyUDP::TTL() const {
  std::lock_guard<std::mutex> lock(propLock_);
  return ttl_;
}
void TMyUDP::SetTTL(int ttl) {
  std::lock_guard<std::mutex> lock(propLock_);
  ttl_ = ttl;
}

void TMyUDP::SetOnError(TOnErrorEvent handler) {
  std::lock_guard<std::mutex> lock(propLock_);
  onError_ = std::move(handler);
}
void TMyUDP::SetOnRecvData(TOnRecvDataEvent handler) {
  std::lock_guard<std::mutex> lock(recvLock_);
  onRecvData_ = std::move(handler);
}
void TMyUDP::SetOnRecvDataEx(TOnRecvDataEventEx handler) {
  std::lock_guard<std::mutex> lock(recvLock_);
  onRecvDataEx_ = std::move(handler);
}

void TMyUDP::ReportError(int code) {
  TOnErrorEvent handler;
  {
    std::lock_guard<std::mutex> lock(propLock_);
    handler = onError_;
  }
  if (handler) handler(this, code);
}

void TMyUDP::Open() {
  std::string group, local;
  int port = 0, ttl = 0;
  bool loop = false;
  {
    std::lock_guard<std::mutex> lock(propLock_);
    group = multiCastIP_;
    local = localIP_;
    port = port_;
    ttl = ttl_;
    loop = loop_;
  }
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    ReportError(errno);
    return;
  }
  const int one = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) ReportError(errno);

  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  // A port outside 0 ... 65535 or a local address that is no address cannot
  // be bound; say so instead of binding something else.
  if (port < 0 || port > 65535 || !ParseIPv4(local, &addr.sin_addr)) {
    ReportError(EINVAL);
    ::close(fd);
    return;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    ReportError(errno);
    ::close(fd);
    return;
  }
  if (!group.empty()) {
    ip_mreq mreq{};
    if (!ParseIPv4(group, &mreq.imr_multiaddr)) {
      ReportError(EINVAL);
    } else {
      mreq.imr_interface = addr.sin_addr;
      if (::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0) ReportError(errno);
    }
    const int ttlValue = ttl;
    if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttlValue, sizeof ttlValue) != 0) ReportError(errno);
  }
  const int loopValue = loop ? 1 : 0;
  if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loopValue, sizeof loopValue) != 0) ReportError(errno);

  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    ReportError(errno);
    ::close(fd);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(sockLock_);
    fd_ = fd;
    wakeFd_ = wake;
  }
  try {
    receiver_ = std::thread(&TMyUDP::ReceiveLoop, this);
  } catch (...) {
    ReportError(EAGAIN);
    std::lock_guard<std::mutex> lock(sockLock_);
    ::close(fd_);
    ::close(wakeFd_);
    fd_ = wakeFd_ = -1;
    return;
  }
  active_.store(true);
}

void TMyUDP::LeaveGroup() {
  std::string group, local;
  {
    std::lock_guard<std::mutex> lock(propLock_);
    group = multiCastIP_;
    local = localIP_;
  }
  if (group.empty()) return;
  ip_mreq mreq{};
  if (!ParseIPv4(group, &mreq.imr_multiaddr) || !ParseIPv4(local, &mreq.imr_interface)) return;
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(sockLock_);
    fd = fd_;
  }
  if (::setsockopt(fd, IPPROTO_IP, IP_DROP_MEMBERSHIP, &mreq, sizeof mreq) != 0) ReportError(errno);
}

void TMyUDP::Close() {
  {
    std::lock_guard<std::mutex> lock(sockLock_);
    const uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
      // The counter cannot overflow with one write; nothing else can fail here.
    }
  }
  if (receiver_.joinable()) receiver_.join();
  LeaveGroup();
  {
    std::lock_guard<std::mutex> lock(sockLock_);
    if (fd_ >= 0) ::close(fd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
    fd_ = wakeFd_ = -1;
  }
  active_.store(false);
}

void TMyUDP::ReceiveLoop() {
  int fd = -1, wake = -1;
  {
    std::lock_guard<std::mutex> lock(sockLock_);
    fd = fd_;
    wake = wakeFd_;
  }
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if (fds[0].revents & (POLLIN | POLLERR)) HandleReadable();
  }
}

void TMyUDP::HandleReadable() {
  std::lock_guard<std::mutex> lock(recvLock_);
  int fd = -1;
  {
    std::lock_guard<std::mutex> sock(sockLock_);
    fd = fd_;
  }
  // One read per event: a datagram larger than the buffer counts as a
  // failed read rather than as its first 8192 bytes.
  auto readOne = [&](sockaddr_in* from, bool* none) -> int {
    socklen_t fromLen = sizeof *from;
    *from = sockaddr_in{};
    const ssize_t got =
        ::recvfrom(fd, buf_, sizeof buf_, MSG_TRUNC | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(from), &fromLen);
    *none = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    if (got < 0 || got > static_cast<ssize_t>(sizeof buf_)) return -1;
    return static_cast<int>(got);
  };
  sockaddr_in from{};
  bool none = false;
  if (!onRecvData_ && !onRecvDataEx_) {
    // Nobody listens: drop the datagram so the wait does not spin on it.
    readOne(&from, &none);
    return;
  }
  if (onRecvData_) {
    const int len = readOne(&from, &none);
    if (!none) {
      char ip[INET_ADDRSTRLEN] = {};
      ::inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
      try {
        onRecvData_(this, buf_, len, std::string(ip), ntohs(from.sin_port));
      } catch (...) {
        // A handler's failure must not end the receive thread.
      }
    }
  }
  if (onRecvDataEx_) {
    const int len = readOne(&from, &none);
    if (!none) {
      try {
        onRecvDataEx_(this, buf_, len, from);
      } catch (...) {
      }
    }
  }
}

int TMyUDP::SendBuf(const void* buf, int len, int timeoutMs, const sockaddr_in& addr) {
  if (buf == nullptr || len < 0) return -1;
  const uint64_t start = NowMs();
  for (;;) {
    ssize_t sent = -1;
    int err = 0;
    {
      std::lock_guard<std::mutex> lock(sockLock_);
      if (fd_ < 0) return -1;
      sent = ::sendto(fd_, buf, static_cast<size_t>(len), MSG_NOSIGNAL | MSG_DONTWAIT,
                      reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
      err = errno;
    }
    if (sent >= 0) return static_cast<int>(sent);
    if (err != EAGAIN && err != EWOULDBLOCK && err != ENOBUFS) return -1;
    if (NowMs() - start >= static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs)) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int TMyUDP::SendTo(const void* buf, int len, int port, const std::string& ip) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  if (port < 0 || port > 65535 || !ParseIPv4(ip, &addr.sin_addr)) return -1;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  return SendBuf(buf, len, kDefaultSendTimeoutMs, addr);
}

int TMyUDP::SendBroadcast(const void* buf, int len, int port) {
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(sockLock_);
    fd = fd_;
    const int one = 1;
    if (fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0) fd = -errno - 1;
  }
  if (fd < -1) ReportError(-fd - 1);
  return SendTo(buf, len, port, "255.255.255.255");
}

}  // namespace vz
