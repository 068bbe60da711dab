#pragma once
// The simulator's LAN search responder: listens on UDP port 2000 (and the
// search multicast group) and answers every search request with one reply
// per device, each carrying that device's TDevInfo and TNetCfg, sent back to
// the requesting socket's address and port. A set-time request hands its
// seconds to the time sink. Other datagrams are ignored.
//
// Threads: the answers run on the responder's receive thread; the answer
// source and time sink are called there and must be safe for that. Start
// and Stop belong to the owner's thread; Heard may be called from any thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vz_records.h"

namespace vz {
class TMyUDP;
}

namespace vzsim {

struct SimSearchAnswer {
  vz::TDevInfo info{};
  vz::TNetCfg net{};
};

// A valid request as the responder heard it.
struct SimSearchRequest {
  std::string fromIP;
  int fromPort = 0;
  uint32_t cmd = 0;
  int32_t arg = 0;  // the Result field: seconds of a set-time request
};

class SimSearch {
 public:
  using AnswerSource = std::function<std::vector<SimSearchAnswer>()>;
  using TimeSink = std::function<void(int64_t seconds)>;

  SimSearch(AnswerSource answers, TimeSink setTime);
  ~SimSearch();  // stops
  SimSearch(const SimSearch&) = delete;
  SimSearch& operator=(const SimSearch&) = delete;

  // Binds localIP:port; false (with `error`) when the port cannot be bound.
  bool Start(const std::string& localIP = "0.0.0.0", int port = 2000, std::string* error = nullptr);
  void Stop();
  bool Running() const;

  std::vector<SimSearchRequest> Heard() const;  // at most the last 256 requests

 private:
  void OnDatagram(vz::TMyUDP* sender, const char* buf, int len, const std::string& fromIP, int fromPort);

  AnswerSource answers_;
  TimeSink setTime_;
  std::unique_ptr<vz::TMyUDP> udp_;
  mutable std::mutex heardLock_;  // guards heard_
  std::vector<SimSearchRequest> heard_;
};

}  // namespace vzsim
