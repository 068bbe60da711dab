#include "LoopbackHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace utiltest {
namespace {

int BindLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

void SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

LoopbackHttp::LoopbackHttp(std::map<std::string, Answer> routes) : routes_(std::move(routes)) {
  listener_ = BindLoopback(port_);
  if (listener_ >= 0 && ::listen(listener_, 16) == 0) thread_ = std::thread(&LoopbackHttp::Serve, this);
}

LoopbackHttp::~LoopbackHttp() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

std::string LoopbackHttp::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttp::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Respond(client);
    ::close(client);
  }
}

void LoopbackHttp::Respond(int client) {
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
    pollfd p{client, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) return;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  ++requests_;
  // "GET /path HTTP/1.1"
  const size_t start = request.find(' ');
  const size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  const std::string path = end == std::string::npos ? "" : request.substr(start + 1, end - start - 1);
  auto it = routes_.find(path);
  const Answer answer = it == routes_.end() ? Answer{404, "not here"} : it->second;
  SendAll(client, "HTTP/1.1 " + std::to_string(answer.status) + " X\r\nContent-Length: " +
                      std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n" + answer.body);
}

uint16_t ClosedLoopbackPort() {
  uint16_t port = 0;
  const int fd = BindLoopback(port);
  if (fd >= 0) ::close(fd);  // bound but never listening, then gone
  return port;
}

}  // namespace utiltest
