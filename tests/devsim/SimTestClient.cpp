#include "SimTestClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace devsimtest {

SimTestClient::~SimTestClient() { Close(); }

bool SimTestClient::Connect(uint16_t port) {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  timeval tv{kTimeoutMs / 1000, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    Close();
    return false;
  }
  return true;
}

void SimTestClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  loginId_ = 0;
}

bool SimTestClient::SendRaw(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool SimTestClient::Send(vz::TCmdPkt pkt) {
  vz::StampPkt(pkt, loginId_);
  return SendRaw(&pkt, sizeof pkt);
}

bool SimTestClient::RecvBytes(std::vector<uint8_t>& out, size_t n) {
  out.assign(n, 0);
  size_t got = 0;
  while (got < n) {
    const ssize_t r = ::recv(fd_, out.data() + got, n - got, 0);
    if (r <= 0) {
      out.resize(got);
      return false;
    }
    got += static_cast<size_t>(r);
  }
  return true;
}

bool SimTestClient::WaitReadable(int ms) {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
}

bool SimTestClient::Recv(vz::TCmdPkt& out) {
  std::vector<uint8_t> bytes;
  return RecvBytes(bytes, vz::kPktSize) && vz::PktFromBytes(bytes.data(), bytes.size(), out);
}

bool SimTestClient::ReadUntilClosed(std::vector<uint8_t>& out, size_t limit) {
  out.clear();
  uint8_t buf[4096];
  while (out.size() < limit) {
    const ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
    if (r == 0) return true;
    if (r < 0) return false;  // time-out or error: not closed
    out.insert(out.end(), buf, buf + r);
  }
  return false;
}

bool SimTestClient::Login(const std::string& user, const std::string& password, int32_t streamFlag,
                          vz::TLoginReply* reply) {
  vz::TCmdPkt req{};
  if (!vz::BuildLoginRequest({user, password, "127.0.0.1", streamFlag}, req)) return false;
  loginId_ = 0;
  vz::TCmdPkt answer{};
  if (!Send(req) || !Recv(answer)) return false;
  vz::TLoginReply parsed;
  const bool ok = vz::ParseLoginReply(answer, parsed);
  if (reply) *reply = parsed;
  loginId_ = ok ? parsed.LoginId : 0;
  return ok;
}

bool SimTestClient::Exchange(const vz::TCmdPkt& request, vz::TCmdPkt& reply) {
  return Send(request) && Recv(reply);
}

bool ConnectsWithin(uint16_t port, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  SimTestClient c;
  while (std::chrono::steady_clock::now() < until) {
    if (c.Connect(port)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace devsimtest
