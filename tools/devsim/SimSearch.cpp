#include "SimSearch.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "MyUDP.h"
#include "SearchPacket.h"

namespace vzsim {

namespace {

constexpr size_t kHeardLimit = 256;

uint32_t U32At(const char* p, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(p[at + static_cast<size_t>(i)]);
  return v;
}

}  // namespace

SimSearch::SimSearch(AnswerSource answers, TimeSink setTime)
    : answers_(std::move(answers)), setTime_(std::move(setTime)) {}

SimSearch::~SimSearch() { Stop(); }

bool SimSearch::Start(const std::string& localIP, int port, std::string* error) {
  Stop();
  auto udp = std::make_unique<vz::TMyUDP>();
  udp->SetLocalIP(localIP);
  udp->SetPort(port);
  udp->SetMultiCastIP(vz::kSearchGroup);
  int bindError = 0;
  udp->SetOnError([&bindError](vz::TMyUDP*, int code) { bindError = code; });
  udp->SetOnRecvData([this](vz::TMyUDP* sender, const char* buf, int len, const std::string& ip, int fromPort) {
    OnDatagram(sender, buf, len, ip, fromPort);
  });
  udp->SetActive(true);
  udp->SetOnError(nullptr);
  if (!udp->Active()) {
    if (error) *error = "cannot bind UDP " + localIP + ":" + std::to_string(port) + ": " + std::strerror(bindError);
    return false;
  }
  udp_ = std::move(udp);
  return true;
}

void SimSearch::Stop() {
  if (!udp_) return;
  udp_->SetOnRecvData(nullptr);
  udp_->SetActive(false);
  udp_.reset();
}

bool SimSearch::Running() const { return udp_ && udp_->Active(); }

std::vector<SimSearchRequest> SimSearch::Heard() const {
  std::lock_guard<std::mutex> lock(heardLock_);
  return heard_;
}

void SimSearch::OnDatagram(vz::TMyUDP* sender, const char* buf, int len, const std::string& fromIP, int fromPort) {
  if (buf == nullptr || len != static_cast<int>(vz::kPktSize)) return;
  if (U32At(buf, 0) != vz::kMarkerPacket || U32At(buf, 4) != vz::kPktLength) return;
  SimSearchRequest req;
  req.fromIP = fromIP;
  req.fromPort = fromPort;
  req.cmd = U32At(buf, 12);
  req.arg = static_cast<int32_t>(U32At(buf, vz::kPktResultOffset));
  if (req.cmd != vz::kCmdSearchDevice && req.cmd != vz::kCmdSetTime) return;
  // A device's own reply is command 26 too; only a request has no device
  // address in it.
  if (req.cmd == vz::kCmdSearchDevice && buf[220] != '\0') return;
  {
    std::lock_guard<std::mutex> lock(heardLock_);
    if (heard_.size() >= kHeardLimit) heard_.erase(heard_.begin());
    heard_.push_back(req);
  }
  if (req.cmd == vz::kCmdSetTime) {
    if (setTime_) setTime_(req.arg);
    return;
  }
  if (!answers_) return;
  for (const SimSearchAnswer& answer : answers_()) {
    const std::vector<uint8_t> reply = vz::BuildSearchReply(answer.info, answer.net);
    sender->SendTo(reply.data(), static_cast<int>(reply.size()), fromPort, fromIP);
  }
}

}  // namespace vzsim
