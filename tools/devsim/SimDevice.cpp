#include "SimDevice.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "SimBytes.h"
#include "SimLink.h"
#include "SimSession.h"

namespace vzsim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStepMs = 50;

int64_t HostLocalSeconds() {
  const time_t now = std::time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return static_cast<int64_t>(now) + local.tm_gmtoff;
}

}  // namespace

SimDevice::SimDevice(int index, SimModel model, std::string statePath, bool verbose, SimCamera camera)
    : index_(index),
      model_(model),
      statePath_(std::move(statePath)),
      verbose_(verbose),
      camera_(std::move(camera)),
      nextLoginId_(0x00010000u * static_cast<uint32_t>(index + 1) + 1u) {
  state_ = SimDefaults::Build(model_, index_, 0);
  ApplyCameraLocked();
}

void SimDevice::ApplyCameraLocked() {
  const SimCamera& cam = camera_;
  for (auto& v : state_.video) {
    const size_t n = v.size();
    if (cam.codec >= 0) {
      PutU32(v.data(), n, layout::kVideoCodec, static_cast<uint32_t>(cam.codec));
      PutU8(v.data(), n, layout::kVideoSubCodec, static_cast<uint8_t>(cam.codec));
    }
    if (cam.width > 0 && cam.height > 0) {
      PutU32(v.data(), n, layout::kVideoWidth, static_cast<uint32_t>(cam.width));
      PutU32(v.data(), n, layout::kVideoHeight, static_cast<uint32_t>(cam.height));
    }
    if (cam.fps > 0) PutU32(v.data(), n, layout::kVideoRate, static_cast<uint32_t>(cam.fps));
    if (cam.kbps > 0) PutU32(v.data(), n, layout::kVideoBitRate, static_cast<uint32_t>(cam.kbps) * 1024u);
    if (cam.keyInterval > 0) PutU32(v.data(), n, layout::kVideoKeyInterval, static_cast<uint32_t>(cam.keyInterval));
  }
  if (cam.width > 0 && cam.height > 0) {
    // The device says it offers the size it streams.
    for (int code = 1; code < layout::kResolutionCount; ++code) {
      if (layout::kResolutions[code].width != cam.width || layout::kResolutions[code].height != cam.height) continue;
      const size_t at = layout::kInfoAt + 128;
      const uint64_t mask = GetU32(state_.cfg.data(), state_.cfg.size(), at) |
                            static_cast<uint64_t>(GetU32(state_.cfg.data(), state_.cfg.size(), at + 4)) << 32;
      PutU64(state_.cfg.data(), state_.cfg.size(), at, mask | (1ull << code));
    }
  }
  state_.MirrorChannelZero();
}

SimDevice::~SimDevice() { Stop(); }

void SimDevice::Log(const char* format, ...) const {
  if (!verbose_) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "vzDevSim device %d: %s\n", index_, line);
}

bool SimDevice::Bind(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    return false;
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port_.store(ntohs(addr.sin_port));
  listenFd_ = fd;
  return true;
}

bool SimDevice::Open(uint16_t port, std::string* error) {
  if (!Bind(port)) {
    *error = "device " + std::to_string(index_) + ": cannot listen on 127.0.0.1:" + std::to_string(port) +
             " (" + std::strerror(errno) + ")";
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!statePath_.empty() && !state_.Load(statePath_)) {
    Log("no usable state in %s, starting from the defaults", statePath_.c_str());
    state_ = SimDefaults::Build(model_, index_, port_.load());
  }
  // The device serves where it listens, whatever the file said before, and
  // films what its command line asks for.
  PutU32(state_.cfg.data(), state_.cfg.size(), layout::kNetAt, port_.load());
  ApplyCameraLocked();
  if (!statePath_.empty() && !state_.Save(statePath_)) {
    *error = "device " + std::to_string(index_) + ": cannot write " + statePath_;
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  return true;
}

void SimDevice::StartServing() {
  stop_.store(false);
  listener_ = std::thread([this] { ListenLoop(); });
}

void SimDevice::Stop() {
  stop_.store(true);
  if (listener_.joinable()) listener_.join();
  DropConnections();
  ReapFinished(true);
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
  }
}

void SimDevice::ListenLoop() {
  while (!stop_.load()) {
    ReapFinished(false);
    if (rebootPending_.exchange(false)) {
      // A rebooting device answers nothing: the port is closed for a moment.
      ::close(listenFd_);
      listenFd_ = -1;
      DropConnections();
      const auto until = Clock::now() + std::chrono::milliseconds(rebootRefusalMs_.load());
      while (!stop_.load() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      while (!stop_.load() && !Bind(port_.load())) std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
      Log("back after reboot");
      continue;
    }
    pollfd p{listenFd_, POLLIN, 0};
    const int r = ::poll(&p, 1, kStepMs);
    if (r > 0 && (p.revents & POLLIN)) Accept();
  }
}

void SimDevice::Accept() {
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  std::lock_guard<std::mutex> lock(connsMutex_);
  if (static_cast<int>(conns_.size()) >= kMaxConnections) {
    Log("too many connections, closing a new one");
    ::close(fd);
    return;
  }
  auto done = std::make_shared<std::atomic<bool>>(false);
  Conn& c = conns_.emplace_back();
  c.fd = fd;
  c.done = done;
  c.thread = std::thread([this, fd, done] { Serve(fd, done); });
}

void SimDevice::Serve(int fd, std::shared_ptr<std::atomic<bool>> done) {
  SocketLink link(fd, stop_);
  {
    // Ended before the descriptor is closed: its stream sender writes on
    // fd until the session is destroyed.
    SimSession session(*this, link, NextConnectionId());
    session.Run();
  }
  {
    // Leave the table before the descriptor is closed, so a reboot never
    // shuts down a number the system has handed out again.
    std::lock_guard<std::mutex> lock(connsMutex_);
    for (Conn& c : conns_) {
      if (c.fd == fd) c.fd = -1;
    }
  }
  ::close(fd);
  done->store(true);
}

void SimDevice::ReapFinished(bool all) {
  std::list<Conn> finished;
  {
    std::lock_guard<std::mutex> lock(connsMutex_);
    for (auto it = conns_.begin(); it != conns_.end();) {
      if (all || it->done->load()) {
        auto next = std::next(it);
        finished.splice(finished.end(), conns_, it);
        it = next;
      } else {
        ++it;
      }
    }
  }
  for (Conn& c : finished) {
    if (c.thread.joinable()) c.thread.join();
  }
}

void SimDevice::DropConnections() {
  std::lock_guard<std::mutex> lock(connsMutex_);
  for (Conn& c : conns_) {
    if (c.fd >= 0) ::shutdown(c.fd, SHUT_RDWR);
  }
}

FaultSpec SimDevice::FaultFor(uint32_t cmd) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const FaultSpec& f = fault_;
  if (f.kind == Fault::None || IsStreamFault(f.kind)) return {};
  const bool applies = f.onlyCmd != 0 ? f.onlyCmd == cmd
                                      : (cmd == layout::kLogin) == (f.kind == Fault::RefuseLogin);
  return applies ? f : FaultSpec{};
}

FaultSpec SimDevice::StreamFault() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return IsStreamFault(fault_.kind) ? fault_ : FaultSpec{};
}

void SimDevice::AddTalk(TalkPacket packet) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (talk_.size() >= kTalkLimit) talk_.pop_front();
  talk_.push_back(std::move(packet));
}

std::vector<TalkPacket> SimDevice::Talk() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<TalkPacket>(talk_.begin(), talk_.end());
}

void SimDevice::ClearTalk() {
  std::lock_guard<std::mutex> lock(mutex_);
  talk_.clear();
}

StreamStats SimDevice::Stats() const {
  StreamStats s;
  s.videoFrames = sent_.video.load();
  s.audioFrames = sent_.audio.load();
  s.statusUnits = sent_.status.load();
  s.alarmPackets = sent_.alarms.load();
  s.bytes = sent_.bytes.load();
  s.streaming = sent_.streaming.load();
  return s;
}

void SimDevice::Record(JournalEntry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (journal_.size() >= kJournalLimit) journal_.pop_front();
  journal_.push_back(std::move(entry));
}

uint32_t SimDevice::NextLoginId() {
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t id = nextLoginId_++;
  if (id == 0) id = nextLoginId_++;
  return id;
}

int SimDevice::Authenticate(const std::string& user, const std::string& password) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint8_t* users = state_.cfg.data() + layout::kUserAt;
  const size_t size = layout::kUserSize;
  uint32_t count = GetU32(users, size, layout::kUserCount);
  if (count > layout::kMaxUsers) count = layout::kMaxUsers;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = layout::kUserEntries + i * layout::kUserEntrySize;
    if (GetText(users, size, e + layout::kUserName, layout::kUserTextField) != user) continue;
    if (GetText(users, size, e + layout::kUserPassword, layout::kUserTextField) != password) return 0;
    const int32_t level = static_cast<int32_t>(GetU32(users, size, e + layout::kUserGroup));
    return level >= 1 && level <= 3 ? level : 0;
  }
  return 0;
}

void SimDevice::Read(const std::function<void(const SimState&)>& fn) const {
  std::lock_guard<std::mutex> lock(mutex_);
  fn(state_);
}

void SimDevice::Modify(const std::function<bool(SimState&)>& fn) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fn(state_)) SaveLocked();
}

void SimDevice::SaveLocked() {
  if (!statePath_.empty() && !state_.Save(statePath_)) Log("cannot save %s", statePath_.c_str());
}

void SimDevice::FactoryDefault() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = SimDefaults::Build(model_, index_, port_.load());
  ApplyCameraLocked();
  clockOffset_s_ = 0;
  SaveLocked();
}

int64_t SimDevice::DeviceTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return HostLocalSeconds() + clockOffset_s_;
}

int64_t SimDevice::DeviceTimeUs() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  int64_t offset = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    offset = clockOffset_s_;
  }
  const int64_t seconds = static_cast<int64_t>(now.tv_sec) + local.tm_gmtoff + offset;
  return seconds * 1000000 + now.tv_nsec / 1000;
}

void SimDevice::SetDeviceTime(int64_t seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  clockOffset_s_ = seconds - HostLocalSeconds();
}

void SimDevice::Reboot() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++rebootCount_;
  }
  Log("rebooting, refusing connections for %d ms", rebootRefusalMs_.load());
  rebootPending_.store(true);
  DropConnections();
}

void SimDevice::UploadBegun() {
  std::lock_guard<std::mutex> lock(mutex_);
  lastUpload_.clear();
  uploadState_ = UploadState::Receiving;
}

void SimDevice::UploadEnded(std::vector<uint8_t> bytes, UploadState state) {
  std::lock_guard<std::mutex> lock(mutex_);
  lastUpload_ = std::move(bytes);
  uploadState_ = state;
}

void SimDevice::SetStreamMasks(uint32_t main, uint32_t audio, uint32_t sub) {
  std::lock_guard<std::mutex> lock(mutex_);
  streamMasks_ = {main, audio, sub};
}

void SimDevice::SetFault(FaultSpec fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  fault_ = fault;
}

std::vector<JournalEntry> SimDevice::Journal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<JournalEntry>(journal_.begin(), journal_.end());
}

void SimDevice::ClearJournal() {
  std::lock_guard<std::mutex> lock(mutex_);
  journal_.clear();
}

SimState SimDevice::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

std::vector<uint8_t> SimDevice::LastUpload() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastUpload_;
}

UploadState SimDevice::LastUploadState() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return uploadState_;
}

int SimDevice::RebootCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rebootCount_;
}

int SimDevice::OpenConnections() const {
  std::lock_guard<std::mutex> lock(connsMutex_);
  int n = 0;
  for (const Conn& c : conns_) {
    if (c.fd >= 0) ++n;
  }
  return n;
}

std::vector<uint32_t> SimDevice::StreamMasks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streamMasks_;
}

}  // namespace vzsim
