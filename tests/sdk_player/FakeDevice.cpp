#include "FakeDevice.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "AVFrameHead.h"
#include "vz_protocol.h"
#include "vz_values.h"

namespace playertest {

vz::TDevCfg DefaultCfg() {
  vz::TDevCfg c{};
  std::memcpy(c.DevInfo.Model, "IPC-TEST", 8);
  c.DevInfo.DevType = 2;
  c.DevInfo.VideoChannels = 1;
  c.DevInfo.SubStream = 1;
  c.Video.Width = 704;
  c.Video.Height = 576;
  c.Video.Codec = vz::H264;
  c.Video.Brightness = 11;
  c.Video.Contrast = 22;
  c.Video.Hue = 33;
  c.Video.Saturation = 44;
  c.Video.Sharpness = 55;
  c.Video.SubResolution = vz::P352x288;
  c.Audio.Active = 1;
  c.Audio.Codec = 0;
  c.Audio.Channels = 1;
  c.Audio.SampleRate = 8000;
  c.Audio.AvgBytesPerSec = 16000;
  c.Audio.BlockAlign = 2;
  c.Audio.BitsPerSample = 16;
  c.Rs485.Ptz[0].Addr = 7;
  return c;
}

std::vector<uint8_t> FrameUnit(uint32_t marker, uint64_t timeUs, uint8_t chl, bool key, int32_t streamType,
                               uint32_t payloadBytes, uint8_t fill) {
  vz::TAVFrameHead h{};
  h.Magic = marker;
  h.Len = payloadBytes + vz::kFrameLenOverhead;
  h.TimeStamp = timeUs;
  h.Chl = chl;
  h.IsIFrame = key ? 1 : 0;
  h.StreamType = streamType;
  std::vector<uint8_t> out(sizeof(h) + payloadBytes, fill);
  std::memcpy(out.data(), &h, sizeof(h));
  return out;
}

std::vector<uint8_t> AlarmUnit(uint32_t cmd, int32_t type, uint32_t time, int32_t chl, int32_t flag) {
  vz::TAlarmEvent ev;
  ev.Cmd = cmd;
  ev.Type = type;
  ev.Time = time;
  ev.Channel = chl;
  ev.Flag = flag;
  vz::TCmdPkt p{};
  vz::BuildAlarmEvent(ev, p);
  vz::StampPkt(p, 0);
  const uint8_t* b = vz::PktBytes(p);
  return std::vector<uint8_t>(b, b + sizeof(p));
}

std::vector<uint8_t> StatusUnit(uint8_t chl, uint8_t sample) {
  std::vector<uint8_t> out(10, 0);
  uint8_t head[vz::kUnitHeadSize];
  vz::WriteUnitHead(vz::kMarkerStatus, 2, head);
  std::memcpy(out.data(), head, sizeof(head));
  out[8] = chl;
  out[9] = sample;
  return out;
}

std::vector<uint8_t> RawUnit(uint32_t marker, uint32_t length, uint32_t bodyBytes, uint8_t fill) {
  std::vector<uint8_t> out(vz::kUnitHeadSize + bodyBytes, fill);
  uint8_t head[vz::kUnitHeadSize];
  vz::WriteUnitHead(marker, length, head);
  std::memcpy(out.data(), head, sizeof(head));
  return out;
}

namespace {

bool RecvAll(int fd, void* buf, size_t n, const std::atomic<bool>& stop) {
  auto* p = static_cast<uint8_t*>(buf);
  size_t got = 0;
  while (got < n) {
    if (stop.load()) return false;
    pollfd pf{fd, POLLIN, 0};
    const int r = ::poll(&pf, 1, 50);
    if (r < 0) return false;
    if (r == 0) continue;
    const ssize_t k = ::recv(fd, p + got, n - got, 0);
    if (k <= 0) return false;
    got += static_cast<size_t>(k);
  }
  return true;
}

bool SendAll(int fd, const void* buf, size_t n) {
  const auto* p = static_cast<const uint8_t*>(buf);
  size_t sent = 0;
  while (sent < n) {
    const ssize_t k = ::send(fd, p + sent, n - sent, MSG_NOSIGNAL);
    if (k <= 0) return false;
    sent += static_cast<size_t>(k);
  }
  return true;
}

}  // namespace

FakeDevice::FakeDevice(int32_t userLevel, const vz::TDevCfg& cfg) : level_(userLevel), cfg_(cfg) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  ::listen(listen_fd_, 16);
  socklen_t len = sizeof(a);
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  listener_ = std::thread([this] { Listen(); });
}

FakeDevice::~FakeDevice() {
  stop_.store(true);
  if (listener_.joinable()) listener_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> g(lock_);
    threads.swap(threads_);
  }
  for (auto& t : threads) t.join();
  ::close(listen_fd_);
}

void FakeDevice::Listen() {
  while (!stop_.load()) {
    pollfd pf{listen_fd_, POLLIN, 0};
    if (::poll(&pf, 1, 50) <= 0) continue;
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> g(lock_);
    threads_.emplace_back([this, fd] { Serve(fd); });
  }
}

void FakeDevice::Serve(int fd) {
  vz::TCmdPkt req{};
  while (RecvAll(fd, &req, sizeof(req), stop_)) {
    const uint32_t cmd = req.Head.Cmd;
    if (cmd == vz::kCmdLogin) {
      vz::TCmdPkt reply{};
      if (refuse_.load()) {
        vz::BuildLoginRefusal(reply);
      } else {
        vz::TLoginReply r;
        r.LoginId = 1000 + static_cast<uint32_t>(logins_.fetch_add(1));
        r.UserLevel = level_;
        r.DevInfo = cfg_.DevInfo;
        vz::FillLoginExtracts(r, &cfg_.Video, &cfg_.Audio, 1);
        vz::BuildLoginReply(r, reply);
      }
      if (!SendAll(fd, &reply, sizeof(reply))) break;
    } else if (cmd == vz::kCmdGetAllCfg) {
      uint8_t head[vz::kUnitHeadSize];
      vz::WriteUnitHead(vz::kMarkerCfgBlock, sizeof(cfg_), head);
      if (!SendAll(fd, head, sizeof(head)) || !SendAll(fd, &cfg_, sizeof(cfg_))) break;
    } else if (cmd == vz::kCmdStartStream) {
      std::lock_guard<std::mutex> g(lock_);
      stream_fd_ = fd;
      starts_.fetch_add(1);
    } else {
      vz::TCmdPkt reply = req;
      reply.Result = 1;
      if (!SendAll(fd, &reply, sizeof(reply))) break;
    }
  }
  std::lock_guard<std::mutex> g(lock_);
  if (stream_fd_ == fd) stream_fd_ = -1;
  ::close(fd);
}

bool FakeDevice::Streaming() const {
  std::lock_guard<std::mutex> g(lock_);
  return stream_fd_ >= 0;
}

bool FakeDevice::Push(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> g(lock_);
  return stream_fd_ >= 0 && SendAll(stream_fd_, bytes.data(), bytes.size());
}

void FakeDevice::Cut() {
  std::lock_guard<std::mutex> g(lock_);
  if (stream_fd_ >= 0) ::shutdown(stream_fd_, SHUT_RDWR);
}

}  // namespace playertest
