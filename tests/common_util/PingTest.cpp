#include "Ping.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ChildNetns.h"

namespace {

// The child's findings, one byte each.
struct Report {
  bool test_namespace;  // no namespace of its own, but the test runner's
  vz::TPingResult datagram_loopback;
  vz::TPingResult datagram_localhost;
  vz::TPingResult empty_host;
  vz::TPingResult raw_loopback;  // only in a namespace of its own
  vz::TPingResult ignored_echo;  // only in a namespace of its own
};

std::string Probe(bool own) {
  Report r{};
  const char* inNetns = std::getenv("VZ_IN_NETNS");
  r.test_namespace = !own && inNetns && std::string(inNetns) == "1";
  if (own || r.test_namespace) utiltest::WriteProc("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
  r.datagram_loopback = vz::PingHost("127.0.0.1", 5000);
  r.datagram_localhost = vz::PingHost("localhost", 5000);
  r.empty_host = vz::PingHost("", 100);
  r.raw_loopback = r.ignored_echo = vz::TPingResult::NoPermission;
  if (own) {
    // Datagram sockets closed again: the raw kind has to do the work.
    if (utiltest::WriteProc("/proc/sys/net/ipv4/ping_group_range", "1 0"))
      r.raw_loopback = vz::PingHost("127.0.0.1", 5000);
    utiltest::WriteProc("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
    if (utiltest::WriteProc("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
      r.ignored_echo = vz::PingHost("127.0.0.1", 300);
  }
  return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

TEST(Ping, EchoOverLoopback) {
  const utiltest::ChildResult child = utiltest::RunInChildNetns(Probe);
  ASSERT_TRUE(child.ran);
  ASSERT_EQ(child.output.size(), sizeof(Report));
  Report r{};
  std::memcpy(&r, child.output.data(), sizeof r);

  EXPECT_EQ(r.empty_host, vz::TPingResult::BadHost);
  if (r.datagram_loopback == vz::TPingResult::NoPermission) {
    GTEST_SKIP() << "neither ICMP datagram nor raw sockets are permitted here";
  }
  EXPECT_EQ(r.datagram_loopback, vz::TPingResult::Reply);
  EXPECT_EQ(r.datagram_localhost, vz::TPingResult::Reply);
  if (child.own_namespace) {
    EXPECT_EQ(r.raw_loopback, vz::TPingResult::Reply) << "raw socket path";
    EXPECT_EQ(r.ignored_echo, vz::TPingResult::NoReply) << "a host that does not answer";
  } else {
    std::printf("no network namespace of its own: raw socket and silent host not tried\n");
  }
}

TEST(Ping, BadHostAnswersFalse) {
  EXPECT_FALSE(vz::Ping("", 100));
  EXPECT_EQ(vz::PingHost("no-such-host.invalid", 100), vz::TPingResult::BadHost);
}

}  // namespace
