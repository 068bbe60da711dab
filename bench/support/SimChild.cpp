#include "SimChild.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace vzbench {
namespace {

bool ReadAll(int fd, void* buf, size_t len) {
  auto* p = static_cast<uint8_t*>(buf);
  while (len > 0) {
    const ssize_t n = ::read(fd, p, len);
    if (n <= 0) return false;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const void* buf, size_t len) {
  const auto* p = static_cast<const uint8_t*>(buf);
  while (len > 0) {
    const ssize_t n = ::write(fd, p, len);
    if (n <= 0) return false;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TSimChild::TSimChild(std::vector<TSimDevice> devices) : devices_(std::move(devices)) {}

TSimChild::~TSimChild() {
  if (pid_ <= 0) return;
  const char quit = 'Q';
  (void)WriteAll(to_, &quit, 1);
  ::waitpid(pid_, nullptr, 0);
  ::close(to_);
  ::close(from_);
}

bool TSimChild::Start(int nice) {
  int down[2], up[2];
  if (devices_.empty() || ::pipe(down) != 0 || ::pipe(up) != 0) return false;
  pid_ = ::fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (nice > 0) {
      errno = 0;
      const int now = ::getpriority(PRIO_PROCESS, 0);
      if (errno == 0) (void)::setpriority(PRIO_PROCESS, 0, now + nice);
    }
    ::close(down[1]);
    ::close(up[0]);
    ::_exit(Serve(down[0], up[1]));
  }
  ::close(down[0]);
  ::close(up[1]);
  to_ = down[1];
  from_ = up[0];
  ports_.resize(devices_.size());
  return ReadAll(from_, ports_.data(), ports_.size() * sizeof(uint16_t));
}

std::vector<TSimSent> TSimChild::Sent() {
  const char ask = 'S';
  std::vector<TSimSent> sent(devices_.size());
  if (!WriteAll(to_, &ask, 1) || !ReadAll(from_, sent.data(), sent.size() * sizeof(TSimSent))) return {};
  return sent;
}

int TSimChild::Serve(int in, int out) {
  char dir[] = "/tmp/vzbenchsimXXXXXX";
  if (::mkdtemp(dir) == nullptr) return 1;
  vzsim::SimOptions o;
  o.stateDir = dir;
  o.devices = Devices();
  for (const TSimDevice& d : devices_) o.cameras.push_back(d.Camera);
  int status = 1;
  {
    vzsim::DevSim sim(o);
    if (sim.Start()) {
      std::vector<uint16_t> ports;
      for (int k = 0; k < Devices(); ++k) {
        ports.push_back(sim.Port(k));
        if (devices_[static_cast<size_t>(k)].Fault != vzsim::Fault::None)
          sim.SetFault(k, devices_[static_cast<size_t>(k)].Fault);
      }
      if (WriteAll(out, ports.data(), ports.size() * sizeof(uint16_t))) {
        status = 0;
        char c = 0;
        while (ReadAll(in, &c, 1) && c == 'S') {
          std::vector<TSimSent> sent;
          for (int k = 0; k < Devices(); ++k) {
            const vzsim::StreamStats st = sim.Stats(k);
            sent.push_back({st.videoFrames, st.audioFrames});
          }
          if (!WriteAll(out, sent.data(), sent.size() * sizeof(TSimSent))) break;
        }
      }
      sim.Stop();
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return status;
}

}  // namespace vzbench
