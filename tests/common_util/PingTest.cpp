#include "Ping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool WriteProc(const char* path, const char* value) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, value, std::strlen(value)) == static_cast<ssize_t>(std::strlen(value));
  ::close(fd);
  return ok;
}

bool LoopbackUp() {
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq req{};
  std::strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ::ioctl(s, SIOCGIFFLAGS, &req) == 0;
  req.ifr_flags = static_cast<short>(req.ifr_flags | IFF_UP);
  ok = ok && ::ioctl(s, SIOCSIFFLAGS, &req) == 0;
  ::close(s);
  return ok;
}

enum class Setup : unsigned char { OwnNamespace, TestNamespace, AsFound };

// What the child reports, one byte each.
struct Report {
  Setup setup;
  vz::TPingResult datagram_loopback;
  vz::TPingResult datagram_localhost;
  vz::TPingResult empty_host;
  vz::TPingResult raw_loopback;   // only in a namespace of our own
  vz::TPingResult ignored_echo;   // only in a namespace of our own
};

// Runs in a child process: a network namespace of its own when the system
// allows one, so the sysctls below never touch anything shared.
Report RunInChild() {
  Report r{};
  const bool own = ::unshare(CLONE_NEWNET) == 0 && LoopbackUp();
  const bool testNs = !own && std::getenv("VZ_IN_NETNS") && std::string(std::getenv("VZ_IN_NETNS")) == "1";
  r.setup = own ? Setup::OwnNamespace : testNs ? Setup::TestNamespace : Setup::AsFound;
  if (own || testNs) WriteProc("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
  r.datagram_loopback = vz::PingHost("127.0.0.1", 5000);
  r.datagram_localhost = vz::PingHost("localhost", 5000);
  r.empty_host = vz::PingHost("", 100);
  r.raw_loopback = r.ignored_echo = vz::TPingResult::NoPermission;
  if (own) {
    // Datagram sockets closed again: the raw kind has to do the work.
    if (WriteProc("/proc/sys/net/ipv4/ping_group_range", "1 0")) r.raw_loopback = vz::PingHost("127.0.0.1", 5000);
    WriteProc("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
    if (WriteProc("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1")) r.ignored_echo = vz::PingHost("127.0.0.1", 300);
  }
  return r;
}

TEST(Ping, EchoOverLoopback) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(fds[0]);
    const Report r = RunInChild();
    const ssize_t n = ::write(fds[1], &r, sizeof r);
    ::_exit(n == static_cast<ssize_t>(sizeof r) ? 0 : 1);
  }
  ::close(fds[1]);
  Report r{};
  const ssize_t got = ::read(fds[0], &r, sizeof r);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof r));

  EXPECT_EQ(r.empty_host, vz::TPingResult::BadHost);
  if (r.datagram_loopback == vz::TPingResult::NoPermission) {
    GTEST_SKIP() << "neither ICMP datagram nor raw sockets are permitted here";
  }
  EXPECT_EQ(r.datagram_loopback, vz::TPingResult::Reply);
  EXPECT_EQ(r.datagram_localhost, vz::TPingResult::Reply);
  if (r.setup == Setup::OwnNamespace) {
    EXPECT_EQ(r.raw_loopback, vz::TPingResult::Reply) << "raw socket path";
    EXPECT_EQ(r.ignored_echo, vz::TPingResult::NoReply) << "a host that does not answer";
  }
}

TEST(Ping, BadHostAnswersFalse) {
  EXPECT_FALSE(vz::Ping("", 100));
  EXPECT_EQ(vz::PingHost("no-such-host.invalid", 100), vz::TPingResult::BadHost);
}

}  // namespace
