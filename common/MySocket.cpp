#include "MySocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left of a time-out that started at `start`; 0 when spent.
int RemainingMs(Clock::time_point start, uint32_t timeoutMs) {
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  const long long left = static_cast<long long>(timeoutMs) - spent;
  return left > 0 ? static_cast<int>(left) : 0;
}

// Slice of a wait that must notice a cancel flag within this many ms.
constexpr int kCancelSliceMs = 10;

int WaitFor(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  int r;
  do {
    r = ::poll(&p, 1, ms);
  } while (r < 0 && errno == EINTR);
  return r;
}

void SetBlocking(int fd, bool blocking) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return;
  ::fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // little-endian host, as the wire
}

}  // namespace

TMyCSkt::TMyCSkt(TSktFlavour flavour)
    : flavour_(flavour), socketStyles_(flavour == TSktFlavour::Sdk ? ssClose : (ssRead | ssClose)) {}

TMyCSkt::~TMyCSkt() {
  Close();
  markers_.clear();
}

void TMyCSkt::SetHost(const std::string& host) {
  if (host == host_) return;
  host_ = host;
  address_.clear();
  if (host.empty()) return;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || res == nullptr) return;
  const auto* sin = reinterpret_cast<const sockaddr_in*>(res->ai_addr);
  const auto* b = reinterpret_cast<const uint8_t*>(&sin->sin_addr.s_addr);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
  address_ = text;
  ::freeaddrinfo(res);
}

void TMyCSkt::SetActive(bool active) {
  if (!active) {
    Close();
    return;
  }
  if (Active() || fd_.load() >= 0) {
    if (flavour_ == TSktFlavour::Client && Active()) return;
    Close();  // the SDK opens again; release the old descriptor first
  }
  abort_.store(false);
  if (clientType_ == TClientType::ctNonBlocking) {
    OpenNonBlocking();
  } else {
    OpenBlocking();
  }
}

void TMyCSkt::OpenNonBlocking() {
  if (address_.empty() || port_ <= 0 || port_ > 65535) return;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port_));
  if (::inet_pton(AF_INET, address_.c_str(), &sa.sin_addr) != 1) return;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  fd_.store(fd);
  if (flavour_ == TSktFlavour::Client && sendNoDelay_) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  const auto start = Clock::now();
  const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  bool connected = rc == 0;
  bool failed = false;  // a completion with an error is ignored: the wait runs out
  while (!connected && !abort_.load()) {
    const int left = RemainingMs(start, connTimeOutMs_);
    if (left <= 0) break;
    const int slice = left < kCancelSliceMs ? left : kCancelSliceMs;
    if (failed) {
      ::usleep(static_cast<useconds_t>(slice) * 1000);
      continue;
    }
    if (WaitFor(fd, POLLOUT, slice) > 0) {
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      if (err == 0) {
        connected = true;
      } else {
        failed = true;
      }
    }
  }
  if (!connected) {
    ReleaseSocket();
    return;
  }
  if (socketStyles_ == 0) SetBlocking(fd, true);
  active_.store(true);
  if (OnConnect) OnConnect(*this);
}

void TMyCSkt::OpenBlocking() {
  if (address_.empty() || port_ <= 0 || port_ > 65535) return;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port_));
  if (::inet_pton(AF_INET, address_.c_str(), &sa.sin_addr) != 1) return;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  fd_.store(fd);
  if (flavour_ == TSktFlavour::Sdk) {
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const linger lg{1, 5};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  } else if (sendNoDelay_) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  // A blocking connect still has a bound: connect non-blocking, wait up to
  // ConnTimeOut, fail at once on an error, then restore blocking mode.
  SetBlocking(fd, false);
  bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
  if (!connected && errno == EINPROGRESS) {
    const auto start = Clock::now();
    while (!abort_.load()) {
      const int left = RemainingMs(start, connTimeOutMs_);
      if (left <= 0) break;
      const int r = WaitFor(fd, POLLOUT, left < kCancelSliceMs ? left : kCancelSliceMs);
      if (r < 0) break;
      if (r == 0) continue;
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      connected = err == 0;
      break;
    }
  }
  if (!connected) {
    ReleaseSocket();
    return;
  }
  SetBlocking(fd, true);
  active_.store(true);
  if (flavour_ == TSktFlavour::Client && OnConnect) OnConnect(*this);
}

bool TMyCSkt::Attach(int fd) {
  if (fd < 0) return false;
  Close();
  abort_.store(false);
  fd_.store(fd);
  active_.store(true);
  return true;
}

void TMyCSkt::ReleaseSocket() {
  const int fd = fd_.exchange(-1);
  active_.store(false);
  if (fd >= 0) ::close(fd);
  aheadBegin_ = aheadEnd_ = 0;  // never served to the next connection
}

void TMyCSkt::Close() {
  StopRecvThread();
  ReleaseSocket();
}

void TMyCSkt::Disconnect() {
  if (!active_.exchange(false)) return;
  const int fd = fd_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

bool TMyCSkt::SendExact(const void* buf, int len, uint32_t timeoutMs) {
  const int fd = fd_.load();
  if (buf == nullptr || len <= 0 || fd < 0 || !Active()) return false;
  const auto* p = static_cast<const uint8_t*>(buf);
  const auto start = Clock::now();
  int sent = 0;
  while (sent < len) {
    const int piece = (len - sent) < kSendPiece ? (len - sent) : kSendPiece;
    // Every piece but the last says more follows, so the kernel joins the
    // pieces into full segments instead of holding the second one back for
    // the peer's delayed acknowledgement of the first.
    const int more = sent + piece < len ? MSG_MORE : 0;
    const ssize_t n = ::send(fd, p + sent, static_cast<size_t>(piece), MSG_DONTWAIT | MSG_NOSIGNAL | more);
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int left = RemainingMs(start, timeoutMs);
      if (left <= 0) return false;
      if (WaitFor(fd, POLLOUT, left) < 0) return false;
      continue;
    }
    return false;  // the socket stays open; the caller decides
  }
  return true;
}

bool TMyCSkt::RecvExact(void* buf, int len, uint32_t timeoutMs) {
  return RecvExactUntil(static_cast<uint8_t*>(buf), len, timeoutMs, nullptr);
}

bool TMyCSkt::RecvExactUntil(uint8_t* buf, int len, uint32_t timeoutMs, const std::atomic<bool>* cancel) {
  if (len == 0) return true;
  const int fd = fd_.load();
  if (buf == nullptr || len < 0 || fd < 0 || !Active()) return false;
  const auto start = Clock::now();
  int got = TakeAhead(buf, len);
  while (got < len) {
    // What is missing goes straight into the caller's buffer unless it is
    // smaller than the read-ahead, which then takes all the socket holds.
    const bool ahead = static_cast<size_t>(len - got) < ahead_.size();
    uint8_t* into = ahead ? ahead_.data() : buf + got;
    const size_t room = ahead ? ahead_.size() : static_cast<size_t>(len - got);
    const ssize_t n = ::recv(fd, into, room, MSG_DONTWAIT);
    if (n > 0) {
      if (ahead) {
        aheadBegin_ = 0;
        aheadEnd_ = static_cast<size_t>(n);
        got += TakeAhead(buf + got, len - got);
      } else {
        got += static_cast<int>(n);
      }
      continue;
    }
    if (n == 0) {  // peer closed: never retried
      Disconnect();
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      Disconnect();
      return false;
    }
    if (cancel != nullptr && cancel->load()) return false;
    const int left = RemainingMs(start, timeoutMs);
    if (left <= 0) return false;
    const int slice = cancel != nullptr && left > kCancelSliceMs ? kCancelSliceMs : left;
    if (WaitFor(fd, POLLIN, slice) < 0) return false;
  }
  return true;
}

int TMyCSkt::TakeAhead(uint8_t* buf, int len) {
  const size_t n = std::min(aheadEnd_ - aheadBegin_, static_cast<size_t>(len));
  if (n == 0) return 0;
  std::memcpy(buf, ahead_.data() + aheadBegin_, n);
  aheadBegin_ += n;
  if (aheadBegin_ == aheadEnd_) aheadBegin_ = aheadEnd_ = 0;
  return static_cast<int>(n);
}

void TMyCSkt::SetReadAhead(int bytes) {
  if (recvThread_.joinable()) return;
  ahead_.assign(static_cast<size_t>(std::max(bytes, 0)), 0);
  ahead_.shrink_to_fit();
  aheadBegin_ = aheadEnd_ = 0;
}

bool TMyCSkt::HasWaiting(int bytes) {
  const int fd = fd_.load();
  if (fd < 0 || !Active()) return false;
  const size_t ahead = aheadEnd_ - aheadBegin_;
  if (ahead >= static_cast<size_t>(std::max(bytes, 0))) return true;
  int queued = 0;
  if (::ioctl(fd, FIONREAD, &queued) != 0) return false;
  return ahead + static_cast<size_t>(std::max(queued, 0)) >= static_cast<size_t>(bytes);
}

bool TMyCSkt::Readable(int timeoutMs) {
  const int fd = fd_.load();
  if (fd < 0 || !Active()) return false;
  if (aheadEnd_ > aheadBegin_) return true;
  return WaitFor(fd, POLLIN, std::max(timeoutMs, 0)) > 0;
}

bool TMyCSkt::WaitReadable(uint32_t timeoutMs) {
  if (flavour_ != TSktFlavour::Client) return false;
  const int fd = fd_.load();
  if (fd < 0 || !Active()) return false;
  return WaitFor(fd, POLLIN, static_cast<int>(timeoutMs > 0x7fffffffu ? 0x7fffffffu : timeoutMs)) > 0;
}

void TMyCSkt::SetPktHeads(const std::vector<uint32_t>& markers) {
  if (recvThread_.joinable()) return;  // the loop reads the list without a lock
  markers_ = markers;
}

bool TMyCSkt::StartRecvThread() {
  if (flavour_ != TSktFlavour::Client || !Active() || recvThread_.joinable()) return false;
  abort_.store(false);
  recvThread_ = std::thread([this] { RecvLoop(); });
  char name[16];
  std::snprintf(name, sizeof name, "vzSkt %d", port_);
  pthread_setname_np(recvThread_.native_handle(), name);
  return true;
}

void TMyCSkt::StopRecvThread() {
  abort_.store(true);
  if (!recvThread_.joinable()) return;
  if (recvThread_.get_id() == std::this_thread::get_id()) return;  // from its own event: it ends itself
  // Every wait of the loop is sliced and checks the flag, so this ends well
  // within the 5000 ms a stop may take.
  recvThread_.join();
}

void TMyCSkt::RecvLoop() {
  const int headLen = pktHeadLen_ == TPktHeadLen::head8 ? 8 : 16;
  const int lenAt = pktHeadLen_ == TPktHeadLen::head8 ? 4 : 12;
  std::vector<uint8_t> buf(static_cast<size_t>(headLen) + kMaxUnitLen);
  const int fd = fd_.load();
  while (!abort_.load() && Active()) {
    const int r = WaitFor(fd, POLLIN, kCancelSliceMs);
    if (r < 0) break;
    if (r == 0) continue;
    int avail = 0;
    if (::ioctl(fd, FIONREAD, &avail) != 0) break;
    if (avail == 0) {  // readable with nothing to read: the peer closed
      if ((socketStyles_ & ssClose) != 0 && OnDisConnect) OnDisConnect(*this);
      Disconnect();
      break;
    }
    if ((socketStyles_ & ssRead) != 0 && OnRead) OnRead(*this);
    if (!RecvExactUntil(buf.data(), headLen, 5000, &abort_)) break;
    const uint32_t marker = ReadU32(buf.data());
    bool known = false;
    for (uint32_t m : markers_) known = known || m == marker;
    if (!known) break;
    const uint32_t len = ReadU32(buf.data() + lenAt);
    if (len > kMaxUnitLen) continue;  // skipped; its body is not read
    if (len > 0 && !RecvExactUntil(buf.data() + headLen, static_cast<int>(len), 5000, &abort_)) break;
    if (OnRecvDataNotify) OnRecvDataNotify(*this, buf.data(), headLen + static_cast<int>(len));
  }
}

bool SktFastPing(const char* host, int port, uint32_t timeoutMs) {
  if (host == nullptr) return false;
  TMyCSkt skt(TSktFlavour::Sdk);
  skt.SetHost(host);
  skt.SetPort(port);
  skt.SetConnTimeOut(timeoutMs);
  skt.Open();
  return skt.Active();  // the destructor closes the connection
}
