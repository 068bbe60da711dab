#include "class_Search.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <cstring>

#include "SdkTime.h"
#include "NetUtils.h"

namespace vz {

namespace {

int32_t LocalSecondsNow() {
  TDateTime dt = 0;
  if (!TryEncodeDateTime(LocalClockNow(), dt)) return 0;
  return static_cast<int32_t>(DateTimeToSeconds(dt));
}

}  // namespace

TSearch::TSearch() : alive_(std::make_shared<int>(0)) {}

TSearch::~TSearch() {
  alive_.reset();
  Free();
}

bool TSearch::Init(TSearchDevCallback callback) {
  Free();
  const std::vector<std::string> addresses = LocalIPv4List();
  QCoreApplication* app = QCoreApplication::instance();
  postToQt_.store(app != nullptr && QThread::currentThread() == app->thread());
  callback_ = callback;
  int port = kFirstPort;
  for (const std::string& address : addresses) {
    auto udp = std::make_unique<TMyUDP>();
    udp->SetMultiCastIP(kSearchGroup);
    udp->SetLocalIP(address);
    udp->SetTTL(32);
    udp->SetOnRecvData([this](TMyUDP*, const char* buf, int len, const std::string&, int) { OnDatagram(buf, len); });
    for (int tries = 0; tries < kPortTries && port <= 65535; ++tries, ++port) {
      udp->SetPort(port);
      udp->SetActive(true);
      if (udp->Active()) break;
    }
    ++port;
    sockets_.push_back(std::move(udp));
  }
  return true;
}

bool TSearch::SearchDevice() { return Broadcast(kCmdSearchDevice, false); }

bool TSearch::AdjustTime() { return Broadcast(kCmdSetTime, true); }

bool TSearch::Broadcast(uint32_t cmd, bool withTime) {
  {
    // Answers to an earlier request must not count for this one.
    std::lock_guard<std::mutex> lock(queueLock_);
    queue_.clear();
  }
  for (auto& udp : sockets_) {
    if (!udp) return false;
    reported_.fill(0);
    const std::vector<uint8_t> request = BuildSearchRequest(cmd, withTime ? LocalSecondsNow() : 0);
    // Reopening drops what is still queued in the socket and rejoins the group.
    udp->SetActive(false);
    udp->SetActive(true);
    if (udp->Active()) udp->SendBroadcast(request.data(), static_cast<int>(request.size()), kSearchRequestPort);
  }
  return true;
}

void TSearch::OnDatagram(const char* buf, int len) {
  if (buf == nullptr || len != static_cast<int>(kPktSize)) return;
  TSearchReply reply;
  if (!ParseSearchReply(reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(len), &reply)) return;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (queue_.size() >= kQueueLimit) return;
    queue_.emplace_back(buf, buf + len);
  }
  queueCv_.notify_all();
  if (postToQt_.load()) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
      std::weak_ptr<int> alive = alive_;
      QMetaObject::invokeMethod(
          app,
          [this, alive] {
            if (alive.lock()) Deliver();
          },
          Qt::QueuedConnection);
    }
  }
}

int TSearch::Deliver() {
  int reported = 0;
  for (;;) {
    std::vector<uint8_t> datagram;
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      if (queue_.empty()) break;
      datagram = std::move(queue_.front());
      queue_.pop_front();
    }
    TSearchReply reply;
    if (!ParseSearchReply(datagram.data(), datagram.size(), &reply)) continue;
    delivered_.fetch_add(1);
    const TSearchDevCallback callback = callback_;
    if (callback == nullptr || reply.Address == 0) continue;
    for (uint32_t& entry : reported_) {
      if (entry == reply.Address) break;
      if (entry != 0) continue;
      entry = reply.Address;
      ++reported;
      try {
        callback(reply.DevType, reply.ChlCount, reply.DataPort, reply.HttpPort, reply.DevName, reply.DevIP,
                 reply.DevMAC, reply.SubMask, reply.Gateway, reply.DNS);
      } catch (...) {
        // A caller's callback must not take the search down.
      }
      break;
    }
  }
  return reported;
}

int TSearch::ProcessEvents(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  int reported = Deliver();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(queueLock_);
      queueCv_.wait_until(lock, deadline, [this] { return !queue_.empty(); });
    }
    reported += Deliver();
    if (Clock::now() >= deadline) return reported;
  }
}

bool TSearch::Free() {
  callback_ = nullptr;
  for (auto& udp : sockets_) {
    if (!udp) continue;
    udp->SetOnRecvData(nullptr);
    udp->SetActive(false);
    udp.reset();
  }
  sockets_.clear();
  std::lock_guard<std::mutex> lock(queueLock_);
  queue_.clear();
  return true;
}

std::vector<int> TSearch::Ports() const {
  std::vector<int> ports;
  for (const auto& udp : sockets_) ports.push_back(udp && udp->Active() ? udp->Port() : 0);
  return ports;
}

}  // namespace vz
