#include "ScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace linktest {

namespace {
int ListenLoopback(uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(sa.sin_port);
  return fd;
}
}  // namespace

ScriptedPeer::ScriptedPeer(Script script, int connections) {
  listenFd_ = ListenLoopback(&port_);
  thread_ = std::thread([this, script, connections] { Run(script, connections); });
}

ScriptedPeer::~ScriptedPeer() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

void ScriptedPeer::Run(Script script, int connections) {
  // A stop ends the loop only once no connection waits to be accepted, so
  // what a client sent before going away is still read.
  for (int i = 0; i < connections && listenFd_ >= 0;) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) {
      if (stop_.load()) break;
      continue;
    }
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    accepted_.fetch_add(1);
    ++i;
    script(fd);
    ::close(fd);
  }
}

bool ScriptedPeer::ReadAll(int fd, void* buf, size_t len, int timeoutMs) {
  auto* p = static_cast<uint8_t*>(buf);
  size_t got = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got < len) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd pf{fd, POLLIN, 0};
    if (::poll(&pf, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::recv(fd, p + got, len - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool ScriptedPeer::WriteAll(int fd, const void* buf, size_t len) {
  const auto* p = static_cast<const uint8_t*>(buf);
  size_t sent = 0;
  while (sent < len) {
    const ssize_t n = ::send(fd, p + sent, len - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool ScriptedPeer::WaitClosed(int fd, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  uint8_t scratch[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd pf{fd, POLLIN, 0};
    if (::poll(&pf, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
    if (n <= 0) return true;
  }
}

uint16_t ClosedPort() {
  uint16_t port = 0;
  const int fd = ListenLoopback(&port);
  if (fd >= 0) ::close(fd);
  return port;
}

}  // namespace linktest
