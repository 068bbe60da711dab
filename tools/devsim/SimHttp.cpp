#include "SimHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace vzsim {
namespace {

constexpr int kStepMs = 50;
constexpr int kRequestTimeoutMs = 3000;
constexpr int kSendTimeoutMs = 10000;

// A 16 x 16 PNG in one colour.
constexpr unsigned char kLogo[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x91, 0x68,
    0x36, 0x00, 0x00, 0x00, 0x16, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x50, 0x48, 0x38, 0x40,
    0x12, 0x62, 0x18, 0xD5, 0x30, 0xAA, 0x61, 0xF8, 0x6A, 0x00, 0x00, 0x7F, 0xB7, 0x40, 0x10, 0xCD,
    0x42, 0x9E, 0x57, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

const char* StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    default: return "Error";
  }
}

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

SimHttp::SimHttp(Authenticator auth, std::string fileRoot) : auth_(std::move(auth)), fileRoot_(std::move(fileRoot)) {
  wifi_ = {
      {"SimNet-A", "simpass01", "2", "2", "2"},
      {"Sim Net B", "simpass02", "1", "0", "1"},
  };
}

SimHttp::~SimHttp() { Stop(); }

bool SimHttp::Start(uint16_t port, std::string* error) {
  Stop();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::string("web server socket: ") + std::strerror(errno);
    return false;
  }
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
    if (error) *error = "web server cannot listen on 127.0.0.1:" + std::to_string(port) + " (" + std::strerror(errno) + ")";
    ::close(fd);
    return false;
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port_.store(ntohs(addr.sin_port));
  listenFd_ = fd;
  stop_.store(false);
  thread_ = std::thread([this] { ServeLoop(); });
  return true;
}

void SimHttp::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
  }
  port_.store(0);
}

void SimHttp::SetCfgReply(int msgId, std::string body) {
  std::lock_guard<std::mutex> lock(mutex_);
  cfgReplies_[msgId] = std::move(body);
}

void SimHttp::ClearCfgReplies() {
  std::lock_guard<std::mutex> lock(mutex_);
  cfgReplies_.clear();
}

void SimHttp::SetWiFiList(std::vector<SimWiFi> networks) {
  std::lock_guard<std::mutex> lock(mutex_);
  wifi_ = std::move(networks);
}

std::vector<SimWiFi> SimHttp::WiFiList() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wifi_;
}

std::vector<SimHttpRequest> SimHttp::Heard() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return heard_;
}

std::string SimHttp::LogoPng() { return std::string(reinterpret_cast<const char*>(kLogo), sizeof kLogo); }

std::string SimHttp::WiFiListText(const std::vector<SimWiFi>& networks) {
  std::string text;
  for (size_t i = 0; i < networks.size(); ++i) {
    const SimWiFi& w = networks[i];
    const std::pair<const char*, const std::string*> keys[] = {
        {"SSID", &w.ssid}, {"Password", &w.password}, {"EncryptType", &w.encryptType}, {"Auth", &w.auth},
        {"Enc", &w.enc}};
    text.append("[").append(std::to_string(i)).append("]\r\n");
    for (const auto& [key, value] : keys) text.append(key).append("=").append(*value).append("\r\n");
  }
  return text;
}

void SimHttp::ServeLoop() {
  while (!stop_.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, kStepMs) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    ServeConnection(fd);
    ::close(fd);
  }
}

void SimHttp::ServeConnection(int fd) {
  std::string head;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (stop_.load() || std::chrono::steady_clock::now() > until || head.size() > kMaxHeadBytes) return;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kStepMs) <= 0) continue;
    char buf[2048];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n == 0) return;
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return;
    }
    head.append(buf, static_cast<size_t>(n));
  }
  SimHttpRequest request;
  Reply reply;
  if (!request.Parse(head)) {
    reply.status = 400;
    reply.body = "bad request";
  } else {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (heard_.size() >= kHeardLimit) heard_.erase(heard_.begin());
      heard_.push_back(request);
    }
    reply = Answer(request);
  }
  SendReply(fd, reply);
}

SimHttp::Reply SimHttp::Answer(const SimHttpRequest& request) {
  if (request.path == "/cfg.cgi") return AnswerCfg(request);
  if (request.path == "/logo.png") {
    Reply r;
    r.contentType = "image/png";
    r.body = LogoPng();
    return r;
  }
  return AnswerFile(request.path);
}

SimHttp::Reply SimHttp::AnswerCfg(const SimHttpRequest& request) {
  Reply r;
  if (!auth_ || auth_(request.Query("User"), request.Query("Psd")) <= 0) {
    r.status = 401;
    r.body = "wrong user or password";
    return r;
  }
  const std::string idText = request.Query("MsgID");
  char* end = nullptr;
  const long id = std::strtol(idText.c_str(), &end, 10);
  if (idText.empty() || *end != '\0') {
    r.status = 400;
    r.body = "no MsgID";
    return r;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto fixed = cfgReplies_.find(static_cast<int>(id));
  if (id == 71) {
    // Forgetting changes the list even when a test fixed the reply text.
    const std::string ssid = request.Query("SSID");
    bool found = false;
    for (auto it = wifi_.begin(); it != wifi_.end(); ++it) {
      if (it->ssid == ssid) {
        wifi_.erase(it);
        found = true;
        break;
      }
    }
    r.body = found ? "OK" : "ERROR";
  } else if (id == 68 || id == 69) {
    r.body = "OK";
  } else if (id == 70) {
    r.body = WiFiListText(wifi_);
  } else if (fixed == cfgReplies_.end()) {
    r.status = 400;
    r.body = "unknown MsgID";
    return r;
  }
  if (fixed != cfgReplies_.end()) {
    r.status = 200;
    r.body = fixed->second;
  }
  return r;
}

SimHttp::Reply SimHttp::AnswerFile(const std::string& path) const {
  Reply r;
  const bool unsafe = path.size() < 2 || path.find("/../") != std::string::npos || EndsWith(path, "/..") ||
                      path.find('\0') != std::string::npos || fileRoot_.empty();
  std::string file = fileRoot_;
  if (!file.empty() && file.back() == '/') file.pop_back();
  file += path;
  std::error_code ec;
  if (unsafe || !std::filesystem::is_regular_file(file, ec)) {
    r.status = 404;
    r.body = "no such file";
    return r;
  }
  r.contentType = "application/octet-stream";
  r.file = file;
  return r;
}

bool SimHttp::SendAll(int fd, const char* data, size_t size) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
  while (size > 0) {
    if (stop_.load() || std::chrono::steady_clock::now() > until) return false;
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, kStepMs) <= 0) continue;
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void SimHttp::SendReply(int fd, const Reply& reply) const {
  std::ifstream in;
  uint64_t length = reply.body.size();
  if (!reply.file.empty()) {
    std::error_code ec;
    length = std::filesystem::file_size(reply.file, ec);
    in.open(reply.file, std::ios::binary);
    if (ec || !in) {
      SendReply(fd, Reply{404, "text/plain", "no such file", {}});
      return;
    }
  }
  const std::string head = "HTTP/1.0 " + std::to_string(reply.status) + " " + StatusText(reply.status) +
                           "\r\nContent-Type: " + reply.contentType + "\r\nContent-Length: " +
                           std::to_string(length) + "\r\nConnection: close\r\n\r\n";
  if (!SendAll(fd, head.data(), head.size())) return;
  if (reply.file.empty()) {
    SendAll(fd, reply.body.data(), reply.body.size());
    return;
  }
  std::vector<char> chunk(64 * 1024);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<size_t>(in.gcount());
    if (got == 0 || !SendAll(fd, chunk.data(), got)) return;
  }
}

}  // namespace vzsim
