#include "SearchNetns.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace searchtest {
namespace {

int OpenOwnNetns() { return ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC); }

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool Running(const std::string& name) {
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq req{};
  std::strncpy(req.ifr_name, name.c_str(), IFNAMSIZ - 1);
  const bool ok = ::ioctl(s, SIOCGIFFLAGS, &req) == 0 && (req.ifr_flags & IFF_RUNNING) != 0;
  ::close(s);
  return ok;
}

}  // namespace

SearchNetns::~SearchNetns() {
  if (home_ >= 0) {
    ::setns(home_, CLONE_NEWNET);
    ::close(home_);
  }
  if (pc_ >= 0) ::close(pc_);
  if (dev_ >= 0) ::close(dev_);
}

bool SearchNetns::Create(int interfaces, std::string* why) {
  const char* inNetns = std::getenv("VZ_IN_NETNS");
  if (inNetns == nullptr || std::string(inNetns) != "1" || ::geteuid() != 0) {
    *why = "needs root inside the test runner's network namespace (VZ_IN_NETNS=1)";
    return false;
  }
  home_ = OpenOwnNetns();
  if (home_ < 0 || ::unshare(CLONE_NEWNET) != 0 || !Run("ip link set lo up") || (dev_ = OpenOwnNetns()) < 0 ||
      ::unshare(CLONE_NEWNET) != 0 || !Run("ip link set lo up") || (pc_ = OpenOwnNetns()) < 0) {
    *why = "cannot create network namespaces";
    return false;
  }
  const std::string devPath = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(dev_);
  for (int k = 1; k <= interfaces; ++k) {
    const std::string p = "vzp" + std::to_string(k), d = "vzd" + std::to_string(k);
    if (!Run("ip link add " + p + " type veth peer name " + d + " && ip link set " + d + " netns " + devPath +
             " && ip addr add " + PcIP(k) + "/24 dev " + p + " && ip link set " + p + " up")) {
      *why = "cannot create veth pairs";
      return false;
    }
  }
  bool ok = true;
  InDevices([&] {
    for (int k = 1; k <= interfaces && ok; ++k) {
      const std::string d = "vzd" + std::to_string(k);
      ok = Run("ip addr add " + DevIP(k) + "/24 dev " + d + " && ip link set " + d + " up");
    }
  });
  if (!ok) {
    *why = "cannot configure the device side";
    return false;
  }
  // Both ends up before anything is sent, so no first datagram is lost.
  for (int k = 1; k <= interfaces; ++k) {
    const std::string p = "vzp" + std::to_string(k);
    for (int i = 0; i < 500 && !Running(p); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void SearchNetns::InDevices(const std::function<void()>& fn) {
  ::setns(dev_, CLONE_NEWNET);
  fn();
  ::setns(pc_, CLONE_NEWNET);
}

}  // namespace searchtest
