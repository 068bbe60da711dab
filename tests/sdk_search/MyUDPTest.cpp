// The UDP component on loopback only, without a multicast group.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MyUDP.h"

namespace {

struct Got {
  std::string event;  // "data" or "ex"
  int len;
  std::string bytes;
  std::string fromIP;
  int fromPort;
};

// Collects the receive events, which arrive on the component's thread.
class Sink {
 public:
  void Attach(vz::TMyUDP& udp, bool data, bool ex) {
    if (data) {
      udp.SetOnRecvData([this](vz::TMyUDP*, const char* buf, int len, const std::string& ip, int port) {
        Add({"data", len, len > 0 ? std::string(buf, static_cast<size_t>(len)) : "", ip, port});
      });
    }
    if (ex) {
      udp.SetOnRecvDataEx([this](vz::TMyUDP*, const char* buf, int len, const sockaddr_in& a) {
        char ip[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
        Add({"ex", len, len > 0 ? std::string(buf, static_cast<size_t>(len)) : "", ip, ntohs(a.sin_port)});
      });
    }
  }
  // The first event then waits for Release, so datagrams sent meanwhile
  // are all queued when the receiver goes on reading.
  void HoldFirstEvent() {
    std::lock_guard<std::mutex> lock(lock_);
    hold_first_ = true;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(lock_);
    released_ = true;
    cv_.notify_all();
  }
  std::vector<Got> WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(lock_);
    cv_.wait_for(lock, std::chrono::seconds(20), [&] { return got_.size() >= n; });
    return got_;
  }

 private:
  void Add(Got g) {
    std::unique_lock<std::mutex> lock(lock_);
    got_.push_back(std::move(g));
    cv_.notify_all();
    if (hold_first_ && got_.size() == 1) cv_.wait_for(lock, std::chrono::seconds(20), [&] { return released_; });
  }
  std::mutex lock_;  // guards got_, hold_first_, released_
  std::condition_variable cv_;
  std::vector<Got> got_;
  bool hold_first_ = false;
  bool released_ = false;
};

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A plain socket on 127.0.0.1 (port 0: any); its port through *port.
int PlainSocket(int wanted, int* port) {
  const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(wanted);
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(s);
    return -1;
  }
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  return s;
}

int FreePort() {
  int port = 0;
  const int s = PlainSocket(0, &port);
  ::close(s);
  return port;
}

void Configure(vz::TMyUDP& udp, int port) {
  udp.SetMultiCastIP("");
  udp.SetLocalIP("127.0.0.1");
  udp.SetPort(port);
}

TEST(MyUDP, PropertiesStartAtTheirDefaults) {
  vz::TMyUDP udp;
  EXPECT_FALSE(udp.Active());
  EXPECT_EQ(udp.MultiCastIP(), "239.255.255.250");
  EXPECT_EQ(udp.LocalIP(), "0.0.0.0");
  EXPECT_EQ(udp.Port(), 65535);
  EXPECT_FALSE(udp.Loop());
  EXPECT_EQ(udp.TTL(), 32);
}

TEST(MyUDP, ActivationFailuresAreReportedAndLeaveItInactive) {
  int takenPort = 0;
  const int taken = PlainSocket(0, &takenPort);  // without address reuse
  ASSERT_GE(taken, 0);
  struct Case {
    const char* what;
    std::string ip;
    int port;
    int error;
  };
  const Case cases[] = {
      {"port taken", "127.0.0.1", takenPort, EADDRINUSE},
      {"no address", "camera", 2000, EINVAL},
      {"port out of range", "127.0.0.1", 70000, EINVAL},
      {"address not local", "192.0.2.1", 2000, EADDRNOTAVAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vz::TMyUDP udp;
    Configure(udp, c.port);
    udp.SetLocalIP(c.ip);
    std::vector<int> errors;
    udp.SetOnError([&](vz::TMyUDP*, int code) { errors.push_back(code); });
    udp.SetActive(true);
    EXPECT_FALSE(udp.Active());
    EXPECT_EQ(errors, std::vector<int>{c.error});
    EXPECT_EQ(udp.SendTo("x", 1, takenPort, "127.0.0.1"), -1);
  }
  ::close(taken);
}

TEST(MyUDP, SendingNeedsAnOpenSocketAndAnAddress) {
  vz::TMyUDP udp;
  const int port = FreePort();
  Configure(udp, port);
  EXPECT_EQ(udp.SendBuf("x", 1, 100, Loopback(port)), -1);
  EXPECT_EQ(udp.SendBroadcast("x", 1, 2000), -1);  // closed: nothing leaves
  udp.SetActive(true);
  ASSERT_TRUE(udp.Active());
  EXPECT_EQ(udp.SendTo("x", 1, port, "localhost"), -1);
  EXPECT_EQ(udp.SendTo("x", 1, 70000, "127.0.0.1"), -1);
  EXPECT_EQ(udp.SendTo("abc", 3, port, "127.0.0.1"), 3);
  udp.SetActive(false);
  EXPECT_EQ(udp.SendTo("abc", 3, port, "127.0.0.1"), -1);
}

TEST(MyUDP, EachAssignedEventReadsItsOwnDatagram) {
  struct Case {
    const char* what;
    bool data, ex;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"both", true, true, {"data", "ex"}},
      {"plain only", true, false, {"data", "data"}},
      {"extended only", false, true, {"ex", "ex"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vz::TMyUDP udp;
    const int port = FreePort();
    Configure(udp, port);
    Sink sink;
    sink.HoldFirstEvent();  // both datagrams wait in the socket whatever the timing
    sink.Attach(udp, c.data, c.ex);
    udp.SetActive(true);
    ASSERT_TRUE(udp.Active());
    int senderPort = 0;
    const int sender = PlainSocket(0, &senderPort);
    const sockaddr_in to = Loopback(port);
    for (const char* text : {"one", "two"}) {
      ASSERT_EQ(::sendto(sender, text, 3, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 3);
    }
    sink.Release();
    const std::vector<Got> got = sink.WaitFor(2);
    ASSERT_EQ(got.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(got[i].event, c.events[i]);
      EXPECT_EQ(got[i].len, 3);
      EXPECT_EQ(got[i].bytes, i == 0 ? "one" : "two");
      EXPECT_EQ(got[i].fromIP, "127.0.0.1");
      EXPECT_EQ(got[i].fromPort, senderPort);
    }
    ::close(sender);
  }
}

TEST(MyUDP, ADatagramLargerThanTheBufferReadsAsAFailure) {
  vz::TMyUDP udp;
  const int port = FreePort();
  Configure(udp, port);
  Sink sink;
  sink.Attach(udp, true, false);
  udp.SetActive(true);
  ASSERT_TRUE(udp.Active());
  const std::string big(vz::TMyUDP::kRecvBufSize + 1, 'B'), fits(vz::TMyUDP::kRecvBufSize, 'F');
  EXPECT_EQ(udp.SendTo(big.data(), static_cast<int>(big.size()), port, "127.0.0.1"), static_cast<int>(big.size()));
  EXPECT_EQ(udp.SendTo(fits.data(), static_cast<int>(fits.size()), port, "127.0.0.1"),
            static_cast<int>(fits.size()));
  const std::vector<Got> got = sink.WaitFor(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].len, -1);
  EXPECT_EQ(got[1].len, vz::TMyUDP::kRecvBufSize);
  EXPECT_EQ(got[1].bytes, fits);
}

TEST(MyUDP, ReopeningOnTheSamePortDropsWhatWasQueued) {
  vz::TMyUDP udp;
  const int port = FreePort();
  Configure(udp, port);
  udp.SetActive(true);
  ASSERT_TRUE(udp.Active());
  // Nobody listens yet: the datagram is read and dropped, not left to spin on.
  ASSERT_EQ(udp.SendTo("old", 3, port, "127.0.0.1"), 3);
  udp.SetActive(false);
  udp.SetActive(true);
  ASSERT_TRUE(udp.Active());
  Sink sink;
  sink.Attach(udp, true, false);
  ASSERT_EQ(udp.SendTo("new", 3, port, "127.0.0.1"), 3);
  const std::vector<Got> got = sink.WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, "new");
}

}  // namespace
