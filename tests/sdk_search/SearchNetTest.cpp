// The LAN search on veth pairs between two namespaces of the test's own:
// the SDK's sockets on the "PC" side, the simulator's responder or a raw
// sender on the devices' side.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "DevSim.h"
#include "SdkTime.h"
#include "SearchNetns.h"
#include "SearchPacket.h"
#include "SimSearch.h"
#include "TestEnv.h"
#include "class_Search.h"
#include "vzSDK.h"

namespace {

// Copies text into a fixed field, NUL-padded, cut at the field's size.
template <size_t N>
void Put(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::memcpy(field, text, std::min(N, std::strlen(text)));
}

using searchtest::SearchNetns;

struct Seen {
  int32_t type, channels, dataPort, httpPort;
  std::string name, ip, mac, mask, gateway, dns;
};
std::vector<Seen> g_seen;  // the test thread's only: callbacks run there

int32_t OnDevice(int32_t type, int32_t channels, int32_t dataPort, int32_t httpPort, const char* name, const char* ip,
                 const char* mac, const char* mask, const char* gateway, const char* dns) {
  g_seen.push_back({type, channels, dataPort, httpPort, name, ip, mac, mask, gateway, dns});
  return 0;
}

// A PC whose local clock reads 2001-01-01 00:00:00 (978307200 local seconds).
vz::DateTimeParts NewYear2001() {
  vz::DateTimeParts p;
  p.year = 2001;
  p.month = 1;
  p.day = 1;
  return p;
}

constexpr auto kPatience = std::chrono::seconds(20);

bool WaitFor(const std::function<bool()>& done, const std::function<void()>& step) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    step();
  }
  return done();
}

vzsim::SimSearchAnswer Device(const char* name, const char* ip, int32_t type, int32_t channels) {
  vzsim::SimSearchAnswer a;
  Put(a.info.DevName, name);
  a.info.DevType = type;
  a.info.VideoChannels = channels;
  a.net.DataPort = 5000 + channels;
  a.net.WebPort = 80;
  Put(a.net.IP, ip);
  Put(a.net.Mac, "02:00:00:00:00:01");
  Put(a.net.Mask, "255.255.255.0");
  Put(a.net.Gateway, "10.77.1.254");
  Put(a.net.Dns, "10.77.1.253");
  return a;
}

std::multiset<std::pair<std::string, int>> Senders(const std::vector<vzsim::SimSearchRequest>& heard, size_t from,
                                                   uint32_t cmd) {
  std::multiset<std::pair<std::string, int>> out;
  for (size_t i = from; i < heard.size(); ++i) {
    if (heard[i].cmd == cmd) out.insert({heard[i].fromIP, heard[i].fromPort});
  }
  return out;
}

class SearchNet : public ::testing::Test {
 protected:
  void SetUp() override { g_seen.clear(); }
  void TearDown() override { vz::SetSdkClockSources(nullptr, nullptr); }

  bool Build(int interfaces) { return ns_.Create(interfaces, &why_); }

  void StartResponder() {
    responder_ = std::make_unique<vzsim::SimSearch>(
        [this] {
          std::lock_guard<std::mutex> lock(lock_);
          return answers_;
        },
        [this](int64_t seconds) {
          std::lock_guard<std::mutex> lock(lock_);
          times_.push_back(seconds);
        });
    std::string error;
    ns_.InDevices([&] { ASSERT_TRUE(responder_->Start("0.0.0.0", 2000, &error)) << error; });
  }

  bool PumpUntil(vz::TSearch& search, const std::function<bool()>& done) {
    return WaitFor(done, [&] { search.ProcessEvents(50); });
  }

  SearchNetns ns_;  // first in, last out
  std::string why_;
  std::mutex lock_;  // guards answers_ and times_ (the responder's thread reads them)
  std::vector<vzsim::SimSearchAnswer> answers_;
  std::vector<int64_t> times_;
  std::unique_ptr<vzsim::SimSearch> responder_;
};

TEST_F(SearchNet, OneCallbackPerDeviceHeardTwiceAndAgainOnANewSearch) {
  if (!Build(2)) GTEST_SKIP() << why_;
  answers_ = {Device("Front door", "10.77.1.50", 1, 1), Device("Yard", "10.77.2.60", 2, 4)};
  StartResponder();
  vz::TSearch search;
  ASSERT_TRUE(search.Init(&OnDevice));
  ASSERT_EQ(search.Ports(), (std::vector<int>{1999, 2000}));

  for (size_t round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(search.SearchDevice());
    // Both devices answer on both networks: four replies per search.
    ASSERT_TRUE(PumpUntil(search, [&] { return search.RepliesDelivered() >= 4 * round; }));
    search.ProcessEvents(100);
    ASSERT_EQ(g_seen.size(), 2 * round);
    std::set<std::string> ips{g_seen[2 * round - 2].ip, g_seen[2 * round - 1].ip};
    EXPECT_EQ(ips, (std::set<std::string>{"10.77.1.50", "10.77.2.60"}));
  }
  const Seen& yard = g_seen[0].ip == "10.77.2.60" ? g_seen[0] : g_seen[1];
  EXPECT_EQ(yard.type, 2);
  EXPECT_EQ(yard.channels, 4);
  EXPECT_EQ(yard.dataPort, 5004);
  EXPECT_EQ(yard.httpPort, 80);
  EXPECT_EQ(yard.name, "Yard");
  EXPECT_EQ(yard.mac, "02:00:00:00:00:01");
  EXPECT_EQ(yard.mask, "255.255.255.0");
  EXPECT_EQ(yard.gateway, "10.77.1.254");
  EXPECT_EQ(yard.dns, "10.77.1.253");

  // Each socket sent its own request, from its own address and port.
  const auto heard = responder_->Heard();
  for (const auto& r : heard) EXPECT_EQ(r.arg, 0);
  EXPECT_EQ(Senders(heard, 0, 26), (std::multiset<std::pair<std::string, int>>{
                                       {"10.77.1.1", 1999}, {"10.77.1.1", 1999}, {"10.77.2.1", 2000}, {"10.77.2.1", 2000}}));
  EXPECT_TRUE(search.Free());
  EXPECT_EQ(search.Ports(), std::vector<int>{});
}

TEST_F(SearchNet, MalformedAndAddresslessRepliesAreDropped) {
  if (!Build(1)) GTEST_SKIP() << why_;
  vz::TSearch search;
  ASSERT_TRUE(search.Init(&OnDevice));
  ASSERT_EQ(search.Ports(), std::vector<int>{1999});
  int sender = -1;
  ns_.InDevices([&] {
    sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, SearchNetns::DevIP(1).c_str(), &local.sin_addr);
    ASSERT_EQ(::bind(sender, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  });
  ASSERT_GE(sender, 0);
  auto reply = [](const char* ip) { return vz::BuildSearchReply(Device("cam", ip, 1, 1).info, Device("cam", ip, 1, 1).net); };
  auto patched = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> p = reply("10.77.1.70");
    std::memcpy(p.data() + at, &value, 4);
    return p;
  };
  auto resized = [&](size_t size) {
    std::vector<uint8_t> p = reply("10.77.1.71");
    p.resize(size, 0);
    return p;
  };
  // In sending order: everything before the last reply must be dropped or
  // reported once; the last one shows the earlier ones were all processed.
  const std::vector<std::vector<uint8_t>> datagrams = {
      resized(1459),        resized(1461),         resized(9000),         resized(0),
      patched(12, 17),      patched(0, 0xAAAAAAAB), patched(4, 1451),     reply(""),
      reply("0.0.0.0"),     reply("10.77.1.80"),   reply("10.77.1.80"),  reply("10.77.1.81"),
  };
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(1999);
  ::inet_pton(AF_INET, SearchNetns::PcIP(1).c_str(), &to.sin_addr);
  for (const auto& d : datagrams) {
    ASSERT_EQ(::sendto(sender, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(d.size()));
  }
  ASSERT_TRUE(PumpUntil(search, [&] { return !g_seen.empty() && g_seen.back().ip == "10.77.1.81"; }));
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].ip, "10.77.1.80");
  ::close(sender);
}

TEST_F(SearchNet, AFullAddressTableIgnoresFurtherDevices) {
  if (!Build(1)) GTEST_SKIP() << why_;
  vz::TSearch search;
  ASSERT_TRUE(search.Init(&OnDevice));
  ASSERT_TRUE(search.SearchDevice());  // nobody answers; the table starts empty
  int sender = -1;
  ns_.InDevices([&] { sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); });
  ASSERT_GE(sender, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(1999);
  ::inet_pton(AF_INET, SearchNetns::PcIP(1).c_str(), &to.sin_addr);
  const size_t devices = vz::TSearch::kTableSize + 2;
  for (size_t i = 0; i < devices; ++i) {
    const std::string ip = "10.78." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1);
    const vzsim::SimSearchAnswer a = Device("cam", ip.c_str(), 1, 1);
    const std::vector<uint8_t> d = vz::BuildSearchReply(a.info, a.net);
    ASSERT_EQ(::sendto(sender, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                       static_cast<ssize_t>(d.size()));
    // In small batches, so no socket buffer overflows on a busy machine.
    if (i % 16 == 15 || i + 1 == devices) {
      ASSERT_TRUE(PumpUntil(search, [&] { return search.RepliesDelivered() >= i + 1; }));
    }
  }
  ASSERT_EQ(g_seen.size(), vz::TSearch::kTableSize);
  EXPECT_EQ(g_seen.back().ip, "10.78.2.112");  // the 512th
  ::close(sender);
}

TEST_F(SearchNet, PortsCountUpwardFrom1999AcrossAddresses) {
  if (!Build(3)) GTEST_SKIP() << why_;
  StartResponder();
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> taken;  // interface, port
    std::vector<int> ports;
  };
  const Case cases[] = {
      {"all free", {}, {1999, 2000, 2001}},
      {"2000 taken on the second address", {{2, 2000}}, {1999, 2001, 2002}},
      {"1999 and 2000 taken on the first address", {{1, 1999}, {1, 2000}}, {2001, 2002, 2003}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int> blockers;
    for (const auto& [k, port] : c.taken) {
      const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(port));
      ::inet_pton(AF_INET, SearchNetns::PcIP(k).c_str(), &a.sin_addr);
      ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
      blockers.push_back(s);
    }
    vz::TSearch search;
    ASSERT_TRUE(search.Init(&OnDevice));
    EXPECT_EQ(search.Ports(), c.ports);
    const size_t before = responder_->Heard().size();
    ASSERT_TRUE(search.SearchDevice());
    ASSERT_TRUE(WaitFor([&] { return responder_->Heard().size() >= before + 3; },
                        [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }));
    EXPECT_EQ(Senders(responder_->Heard(), before, 26),
              (std::multiset<std::pair<std::string, int>>{
                  {"10.77.1.1", c.ports[0]}, {"10.77.2.1", c.ports[1]}, {"10.77.3.1", c.ports[2]}}));
    for (int s : blockers) ::close(s);
  }
}

TEST_F(SearchNet, SetTimeCarriesThePCsLocalSeconds) {
  if (!Build(2)) GTEST_SKIP() << why_;
  answers_ = {Device("cam", "10.77.1.50", 1, 1)};
  StartResponder();
  vz::SetSdkClockSources(nullptr, &NewYear2001);
  vz::TSearch search;
  ASSERT_TRUE(search.Init(&OnDevice));
  ASSERT_TRUE(search.AdjustTime());
  auto timesHeard = [&] {
    std::lock_guard<std::mutex> lock(lock_);
    return times_.size();
  };
  ASSERT_TRUE(WaitFor([&] { return timesHeard() >= 2; },
                      [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }));
  {
    std::lock_guard<std::mutex> lock(lock_);
    EXPECT_EQ(times_, (std::vector<int64_t>{978307200, 978307200}));
  }
  EXPECT_EQ(Senders(responder_->Heard(), 0, 17),
            (std::multiset<std::pair<std::string, int>>{{"10.77.1.1", 1999}, {"10.77.2.1", 2000}}));
  // A set-time broadcast is no search: nothing is reported.
  search.ProcessEvents(200);
  EXPECT_TRUE(g_seen.empty());
}

TEST_F(SearchNet, ExportsFindTheSimulatorAndSetItsClock) {
  if (!Build(1)) GTEST_SKIP() << why_;
  vztest::TempDir dir;
  vzsim::SimOptions options;
  options.stateDir = dir.str();
  vzsim::DevSim sim(options);
  ns_.InDevices([&] {
    ASSERT_TRUE(sim.Start()) << sim.Error();
    ASSERT_TRUE(sim.StartSearch()) << sim.Error();
  });
  const vz::TDevCfg cfg = sim.Config(0);
  vz::SetSdkClockSources(nullptr, &NewYear2001);
  ASSERT_TRUE(vzSearch_Init(&OnDevice));
  ASSERT_TRUE(vzSearch_SearchDevice());
  ASSERT_TRUE(WaitFor([] { return !g_seen.empty(); }, [] { vzSearch_ProcessEvents(50); }));
  vzSearch_ProcessEvents(200);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].ip, std::string(cfg.Net.IP, strnlen(cfg.Net.IP, sizeof cfg.Net.IP)));
  EXPECT_EQ(g_seen[0].name, std::string(cfg.DevInfo.DevName, strnlen(cfg.DevInfo.DevName, 20)));
  EXPECT_EQ(g_seen[0].dataPort, cfg.Net.DataPort);
  EXPECT_EQ(g_seen[0].channels, cfg.DevInfo.VideoChannels);
  ASSERT_TRUE(vzSearch_AdjustTime());
  // The device's clock follows the broadcast (and runs on from there).
  auto nearSetTime = [&] { return sim.DeviceTime(0) >= 978307200 && sim.DeviceTime(0) < 978307200 + 600; };
  EXPECT_TRUE(WaitFor(nearSetTime, [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }));
  EXPECT_TRUE(vzSearch_Free());
  // After Free nothing is reported any more, even when pumped.
  EXPECT_EQ(vzSearch_ProcessEvents(100), 0);
  ns_.InDevices([&] { sim.Stop(); });
}

TEST_F(SearchNet, QtEventLoopOfTheInitThreadDeliversReplies) {
  if (!Build(1)) GTEST_SKIP() << why_;
  answers_ = {Device("cam", "10.77.1.50", 1, 1)};
  StartResponder();
  int argc = 1;
  char name[] = "sdk_search_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  vz::TSearch search;
  ASSERT_TRUE(search.Init(&OnDevice));
  ASSERT_TRUE(search.SearchDevice());
  // No ProcessEvents here: the application's own event processing reports.
  ASSERT_TRUE(WaitFor([] { return !g_seen.empty(); }, [] {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }));
  EXPECT_EQ(g_seen[0].ip, "10.77.1.50");
  search.Free();
  // Replies posted before Free find nothing to report.
  QCoreApplication::processEvents();
  EXPECT_EQ(g_seen.size(), 1u);
}

}  // namespace
