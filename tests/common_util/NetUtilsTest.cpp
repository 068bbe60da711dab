#include "NetUtils.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ChildNetns.h"

namespace {

struct TextCase {
  const char* text;
  bool expected;
};

TEST(NetUtils, IsIPFollowsTheDottedRule) {
  const TextCase cases[] = {
      {"192.168.1.10", true},  {"0.0.0.0", true},        {"255.255.255.255", true},
      {"010.001.000.009", true},  // leading zeros are numbers too
      {"192.168.1.256", false},   // a part above 255
      {"300.1.1.1", false},    {"192.168.1", false},  // only three parts
      {"1.2.3.4.5", false},       // fourth part "4.5" is no number
      {"1..2.3", false},       {".1.2.3", false},     {"1.2.3.", false},
      {"", false},             {"a.b.c.d", false},    {"1.2.3.4 ", false},
      {"-1.2.3.4", false},     {"99999999999999999999.1.1.1", false},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::IsIP(c.text), c.expected) << c.text;
}

TEST(NetUtils, IsHostNameNeedsTwoDotsAndNoAt) {
  const TextCase cases[] = {
      {"cam.example", false},       // one dot
      {"www.example.com", true},    {"a.b.c.d.e", true},
      {"user@mail.example.com", false}, {"", false}, {"..", true},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::IsHostName(c.text), c.expected) << c.text;
}

TEST(NetUtils, IsMACNeedsSixHexBytes) {
  struct MacCase {
    const char* text;
    char separator;
    bool expected;
  };
  const MacCase cases[] = {
      {"00:1A:2b:3C:4d:FF", ':', true}, {"00-1A-2B-3C-4D-5E", '-', true},
      {"00-1A-2B-3C-4D-5E", ':', false},  // wrong separator
      {"00:1A:2B:3C:4D", ':', false},     // five parts
      {"00:1A:2B:3C:4D:5E:6F", ':', false}, {"00:1A:2B:3C:4D:", ':', false},
      {"00:1A:2B:3C:4D:5G", ':', false},  {"00:1A:2B:3C:4D:100", ':', false},  // above 255
      {"0:1:2:3:4:5", ':', true},         {"", ':', false},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::IsMAC(c.text, c.separator), c.expected) << c.text;
}

TEST(NetUtils, IsLanIPCoversThePrivateRanges) {
  const TextCase cases[] = {
      {"10.0.0.1", true},     {"10.255.255.255", true}, {"172.16.0.1", true},  {"172.31.255.255", true},
      {"172.15.0.1", false},  {"172.32.0.1", false},    {"192.168.0.1", true}, {"192.169.0.1", false},
      {"0.1.2.3", true},      {"8.8.8.8", false},       {"127.0.0.1", false},  {"10.0.0", false},
      {"host.example.com", false},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::IsLanIP(c.text), c.expected) << c.text;
}

TEST(NetUtils, IPToStrAndStrToIPRoundTrip) {
  const char* addresses[] = {"0.0.0.0", "1.2.3.4", "192.168.1.10", "255.255.255.255", "10.0.200.7"};
  for (const char* text : addresses) {
    const uint32_t network = vz::StrToIP(text);
    EXPECT_EQ(network, ::inet_addr(text)) << text;
    EXPECT_EQ(vz::IPToStr(network, vz::TByteOrder::Network), text);
    EXPECT_EQ(vz::IPToStr(ntohl(network), vz::TByteOrder::Host), text);
  }
}

TEST(NetUtils, StrToIPAnswersZeroForBadText) {
  for (const char* text : {"", "1.2.3", "256.1.1.1", "a.b.c.d", "1.2.3.4.5"}) EXPECT_EQ(vz::StrToIP(text), 0u) << text;
}

TEST(NetUtils, IPToStrHonoursTheByteOrder) {
  EXPECT_EQ(vz::IPToStr(0xC0A8010Au, vz::TByteOrder::Host), "192.168.1.10");
  EXPECT_EQ(vz::IPToStr(htonl(0xC0A8010Au), vz::TByteOrder::Network), "192.168.1.10");
}

TEST(NetUtils, ResolveHost) {
  EXPECT_EQ(vz::ResolveHost("127.0.0.1"), "127.0.0.1");
  const std::string local = vz::ResolveHost("localhost");
  EXPECT_TRUE(vz::IsIP(local)) << local;
  EXPECT_EQ(local.rfind("127.", 0), 0u) << local;
  EXPECT_EQ(vz::ResolveHost(""), "");
  EXPECT_EQ(vz::ResolveHost("no-such-host.invalid"), "");
}

TEST(NetUtils, LocalAddressesLeaveLoopbackOut) {
  for (const std::string& a : vz::LocalIPv4List()) {
    EXPECT_TRUE(vz::IsIP(a)) << a;
    EXPECT_NE(a.rfind("127.", 0), 0u) << a;
  }
  const std::string joined = vz::LocalIPs(";");
  if (vz::LocalIPv4List().empty()) {
    EXPECT_EQ(joined, "127.0.0.1");
    EXPECT_FALSE(vz::WaitForNetwork(100));
  } else {
    EXPECT_TRUE(vz::WaitForNetwork(100));
  }
}

TEST(NetUtils, WaitForNetworkRunsThePumpWhileWaiting) {
  if (!vz::LocalIPv4List().empty()) GTEST_SKIP() << "this host has a network address";
  int pumped = 0;
  EXPECT_FALSE(vz::WaitForNetwork(200, [&] { ++pumped; }));
  EXPECT_GT(pumped, 0);
}

TEST(NetUtils, LocalAddressesComeFromTheInterfacesThatAreUp) {
  const utiltest::ChildResult child = utiltest::RunInChildNetns([](bool own) -> std::string {
    if (!own) return "skip";
    std::string seen = vz::LocalIPs(",");
    seen.append(vz::WaitForNetwork(50) ? " net" : " none");
    // A veth pair of this namespace only: one end up with two addresses,
    // the other left down with one.
    if (std::system("ip link add vzt0 type veth peer name vzt1 && ip addr add 10.77.0.1/24 dev vzt0 && "
                    "ip addr add 10.77.1.1/24 dev vzt0 && ip link set vzt0 up && "
                    "ip addr add 10.78.0.1/24 dev vzt1") != 0) {
      return "skip";
    }
    seen.append("|").append(vz::LocalIPs(";")).append(vz::WaitForNetwork(5000) ? " net" : " none");
    return seen;
  });
  ASSERT_TRUE(child.ran);
  if (child.output == "skip") GTEST_SKIP() << "no network namespace, or no ip tool or veth support";
  EXPECT_EQ(child.output, "127.0.0.1 none|10.77.0.1;10.77.1.1 net");
}

}  // namespace
