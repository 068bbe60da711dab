#include "Ping.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "NetUtils.h"

namespace vz {
namespace {

constexpr size_t kReplyBufferBytes = 128;
constexpr size_t kEchoBytes = 8;  // type, code, checksum, id, sequence; no payload

uint16_t Checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length & 1) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

uint16_t NextSequence() {
  static std::atomic<uint16_t> sequence{1};
  return sequence.fetch_add(1, std::memory_order_relaxed);
}

class TFd {
 public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens the datagram kind when allowed, else the raw kind; -1 when neither.
int OpenIcmpSocket(bool& raw) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) {
    raw = false;
    return fd;
  }
  fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  raw = true;
  return fd;
}

// Finds the ICMP message in what the socket delivered: the raw kind hands the
// IP header too. Answers nullptr when the bytes cannot hold one.
const uint8_t* IcmpPart(const uint8_t* data, size_t length, bool raw, size_t& icmpLength) {
  size_t offset = 0;
  if (raw) {
    if (length < 20) return nullptr;
    offset = static_cast<size_t>(data[0] & 0x0F) * 4;
    if (offset < 20 || offset > length) return nullptr;
  }
  icmpLength = length - offset;
  return icmpLength >= kEchoBytes ? data + offset : nullptr;
}

}  // namespace

TPingResult PingHost(const std::string& host, int timeout_ms) {
  const std::string address = ResolveHost(host);
  if (address.empty()) return TPingResult::BadHost;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = StrToIP(address);

  bool raw = false;
  TFd fd(OpenIcmpSocket(raw));
  if (fd.get() < 0) return TPingResult::NoPermission;

  // The datagram kind puts its own identifier in and checks the sum; the raw
  // kind sends what we build, so both are filled in.
  const uint16_t id = static_cast<uint16_t>(::getpid());
  const uint16_t sequence = NextSequence();
  uint8_t echo[kEchoBytes] = {ICMP_ECHO, 0, 0, 0, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id),
                              static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence)};
  const uint16_t sum = Checksum(echo, sizeof echo);
  echo[2] = static_cast<uint8_t>(sum >> 8);
  echo[3] = static_cast<uint8_t>(sum);
  if (::sendto(fd.get(), echo, sizeof echo, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) !=
      static_cast<ssize_t>(sizeof echo)) {
    return TPingResult::SendFailed;
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return TPingResult::NoReply;
    pollfd p{fd.get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return TPingResult::NoReply;
    uint8_t reply[kReplyBufferBytes];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got =
        ::recvfrom(fd.get(), reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return TPingResult::NoReply;
    }
    size_t icmpLength = 0;
    const uint8_t* icmp = IcmpPart(reply, static_cast<size_t>(got), raw, icmpLength);
    if (!icmp || icmp[0] != ICMP_ECHOREPLY) continue;  // a raw socket also sees other traffic
    if (from.sin_addr.s_addr != target.sin_addr.s_addr) continue;
    const uint16_t gotSequence = static_cast<uint16_t>(icmp[6] << 8 | icmp[7]);
    if (gotSequence != sequence) continue;
    if (raw && static_cast<uint16_t>(icmp[4] << 8 | icmp[5]) != id) continue;
    return TPingResult::Reply;
  }
}

bool Ping(const std::string& host, int timeout_ms) { return PingHost(host, timeout_ms) == TPingResult::Reply; }

}  // namespace vz
