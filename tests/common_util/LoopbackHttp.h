#pragma once
// A tiny HTTP/1.0-style server on 127.0.0.1 for the download tests: one
// thread, one request per connection, answers from a fixed table of paths.
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

namespace utiltest {

class LoopbackHttp {
 public:
  struct Answer {
    int status = 200;
    std::string body;
  };
  explicit LoopbackHttp(std::map<std::string, Answer> routes);
  ~LoopbackHttp();
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;

  uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const;
  int Requests() const { return requests_.load(); }

 private:
  void Serve();
  void Respond(int client);

  const std::map<std::string, Answer> routes_;  // read-only after construction
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

// A loopback port with nothing listening on it.
uint16_t ClosedLoopbackPort();

}  // namespace utiltest
