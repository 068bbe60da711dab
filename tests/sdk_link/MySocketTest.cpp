// The socket component against scripted loopback peers.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MySocket.h"
#include "ScriptedPeer.h"
#include "vzSDK.h"

using linktest::ScriptedPeer;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::vector<uint8_t> Unit(uint32_t marker, uint32_t len, uint8_t fill, bool head16 = false) {
  const size_t head = head16 ? 16 : 8;
  std::vector<uint8_t> u(head + len, fill);
  std::fill(u.begin(), u.begin() + static_cast<long>(head), uint8_t{0});
  std::memcpy(u.data(), &marker, 4);
  std::memcpy(u.data() + head - 4, &len, 4);
  return u;
}

}  // namespace

TEST(FastPing, ClosedPortAnswersFalseWithinAboutItsTimeOut) {
  const uint16_t port = linktest::ClosedPort();
  const auto start = Clock::now();
  EXPECT_EQ(FastPing("127.0.0.1", port, 300), 0);
  const auto ms = MsSince(start);
  EXPECT_GE(ms, 250);    // a refused connect is not reported before the time-out
  EXPECT_LT(ms, 10000);  // but never hangs
}

TEST(FastPing, OpenPortAnswersTrueAndLeavesNoConnectionOpen) {
  std::atomic<bool> closedByPinger{false};
  {
    ScriptedPeer peer([&](int fd) { closedByPinger.store(ScriptedPeer::WaitClosed(fd, 10000)); });
    EXPECT_EQ(FastPing("localhost", peer.Port(), 3000), 1);
  }
  EXPECT_TRUE(closedByPinger.load());
}

TEST(FastPing, BadHostsAnswerFalse) {
  EXPECT_EQ(FastPing(nullptr, 80, 100), 0);
  EXPECT_EQ(FastPing("", 80, 100), 0);
  EXPECT_EQ(FastPing("no-such-host.invalid", 80, 100), 0);
  EXPECT_EQ(FastPing("127.0.0.1", 0, 100), 0);
}

TEST(MySocket, HostResolvesToDottedAddress) {
  TMyCSkt skt(TSktFlavour::Sdk);
  skt.SetHost("localhost");
  EXPECT_EQ(skt.Address(), "127.0.0.1");
  skt.SetHost("no-such-host.invalid");
  EXPECT_EQ(skt.Address(), "");
  skt.SetPort(1);
  skt.Open();
  EXPECT_FALSE(skt.Active());
}

TEST(MySocket, FlavourDefaults) {
  TMyCSkt sdk(TSktFlavour::Sdk);
  TMyCSkt client(TSktFlavour::Client);
  EXPECT_EQ(sdk.SocketStyles(), static_cast<TSocketStyles>(ssClose));
  EXPECT_EQ(client.SocketStyles(), static_cast<TSocketStyles>(ssRead | ssClose));
  EXPECT_EQ(sdk.ConnTimeOut(), 5000u);
  EXPECT_EQ(sdk.ClientType(), TClientType::ctNonBlocking);
  EXPECT_EQ(sdk.Handle(), -1);
  EXPECT_FALSE(sdk.StartRecvThread());
  EXPECT_FALSE(sdk.WaitReadable(10));
}

// Exact transfers: each case scripts the peer and states what RecvExact
// answers and whether the connection survives.
struct RecvCase {
  const char* name;
  std::vector<uint8_t> peerSends;
  bool peerCloses;
  int want;
  bool ok;
  bool activeAfter;
};

class RecvExactCases : public ::testing::TestWithParam<RecvCase> {};

TEST_P(RecvExactCases, AnswerAndConnectionState) {
  const RecvCase& c = GetParam();
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  ScriptedPeer peer([&](int fd) {
    ScriptedPeer::WriteAll(fd, c.peerSends.data(), c.peerSends.size());
    if (c.peerCloses) return;
    std::unique_lock<std::mutex> lock(m);
    cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; });
  });
  TMyCSkt skt(TSktFlavour::Sdk);
  skt.SetHost("127.0.0.1");
  skt.SetPort(peer.Port());
  skt.Open();
  ASSERT_TRUE(skt.Active());
  std::vector<uint8_t> buf(static_cast<size_t>(c.want) + 1, 0x5A);
  const auto start = Clock::now();
  EXPECT_EQ(skt.RecvExact(buf.data(), c.want, 300), c.ok);
  EXPECT_LT(MsSince(start), 10000);
  EXPECT_EQ(skt.Active(), c.activeAfter);
  EXPECT_EQ(buf[static_cast<size_t>(c.want)], 0x5A);  // never past Len
  if (c.ok) {
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + c.want, c.peerSends.begin()));
  }
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
}

INSTANTIATE_TEST_SUITE_P(
    MySocket, RecvExactCases,
    ::testing::Values(RecvCase{"whole", std::vector<uint8_t>(1460, 7), false, 1460, true, true},
                      RecvCase{"zero_len", {}, false, 0, true, true},
                      RecvCase{"short_then_silence_times_out_open", std::vector<uint8_t>(100, 1), false, 1460, false, true},
                      RecvCase{"short_then_close_closes", std::vector<uint8_t>(100, 1), true, 1460, false, false},
                      RecvCase{"more_than_asked", std::vector<uint8_t>(3000, 9), false, 1460, true, true}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(MySocket, SendExactDeliversEveryByteAndRefusesBadArguments) {
  std::vector<uint8_t> got(70000);
  std::atomic<bool> ok{false};
  std::vector<uint8_t> data(got.size());
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  {
    ScriptedPeer peer([&](int fd) { ok.store(ScriptedPeer::ReadAll(fd, got.data(), got.size(), 10000)); });
    TMyCSkt skt(TSktFlavour::Sdk);
    skt.SetHost("127.0.0.1");
    skt.SetPort(peer.Port());
    skt.Open();
    ASSERT_TRUE(skt.Active());
    EXPECT_FALSE(skt.SendExact(nullptr, 10, 100));
    EXPECT_FALSE(skt.SendExact(data.data(), 0, 100));
    EXPECT_FALSE(skt.SendExact(data.data(), -1, 100));
    EXPECT_TRUE(skt.SendExact(data.data(), static_cast<int>(data.size()), 5000));
  }
  EXPECT_TRUE(ok.load());
  EXPECT_EQ(got, data);
  TMyCSkt closed(TSktFlavour::Sdk);
  EXPECT_FALSE(closed.SendExact(data.data(), 10, 100));
  EXPECT_TRUE(closed.RecvExact(data.data(), 0, 100));
  EXPECT_FALSE(closed.RecvExact(data.data(), 10, 100));
}

TEST(MySocket, SendToAStalledPeerTimesOutAndStaysOpen) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  ScriptedPeer peer([&](int) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait_for(lock, std::chrono::seconds(30), [&] { return done; });
  });
  TMyCSkt skt(TSktFlavour::Sdk);
  skt.SetHost("127.0.0.1");
  skt.SetPort(peer.Port());
  skt.Open();
  ASSERT_TRUE(skt.Active());
  std::vector<uint8_t> big(64 << 20, 1);  // far more than both socket buffers
  const auto start = Clock::now();
  EXPECT_FALSE(skt.SendExact(big.data(), static_cast<int>(big.size()), 300));
  EXPECT_LT(MsSince(start), 10000);
  EXPECT_TRUE(skt.Active());
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
}

TEST(MySocket, OpenWhileActiveDependsOnFlavour) {
  for (TSktFlavour flavour : {TSktFlavour::Sdk, TSktFlavour::Client}) {
    ScriptedPeer peer([](int fd) { ScriptedPeer::WaitClosed(fd, 10000); }, 2);
    TMyCSkt skt(flavour);
    skt.SetHost("127.0.0.1");
    skt.SetPort(peer.Port());
    skt.Open();
    ASSERT_TRUE(skt.Active());
    skt.Open();
    EXPECT_TRUE(skt.Active());
    skt.Close();
    EXPECT_EQ(skt.Handle(), -1);
    // The peer thread serves one connection at a time; the second shows up
    // once the first is closed.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(peer.Accepted(), flavour == TSktFlavour::Sdk ? 2 : 1);
  }
}

// The client flavour's receive thread: what the peer sends, which units
// reach OnRecvDataNotify and whether the thread keeps running.
struct UnitCase {
  const char* name;
  TPktHeadLen headLen;
  std::vector<std::vector<uint8_t>> units;
  std::vector<int> wantLens;  // total length (head + body) of each delivered unit
};

class RecvThreadCases : public ::testing::TestWithParam<UnitCase> {};

TEST_P(RecvThreadCases, DeliversAcceptedUnits) {
  const UnitCase& c = GetParam();
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  ScriptedPeer peer([&](int fd) {
    for (const auto& u : c.units) ScriptedPeer::WriteAll(fd, u.data(), u.size());
    std::unique_lock<std::mutex> lock(m);
    cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; });
  });
  std::mutex gotLock;
  std::vector<int> got;
  std::vector<uint32_t> gotMarkers;
  TMyCSkt skt(TSktFlavour::Client);
  skt.SetPktHeadLen(c.headLen);
  skt.SetPktHeads({0xAAAAAAAAu, 0xBBBBBBBBu, 0x77777777u});
  skt.OnRecvDataNotify = [&](TMyCSkt&, const uint8_t* buf, int len) {
    std::lock_guard<std::mutex> lock(gotLock);
    got.push_back(len);
    uint32_t mk;
    std::memcpy(&mk, buf, 4);
    gotMarkers.push_back(mk);
  };
  skt.SetHost("127.0.0.1");
  skt.SetPort(peer.Port());
  skt.Open();
  ASSERT_TRUE(skt.Active());
  ASSERT_TRUE(skt.StartRecvThread());
  const auto start = Clock::now();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(gotLock);
      if (got.size() >= c.wantLens.size()) break;
    }
    if (MsSince(start) > 10000) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  {
    std::lock_guard<std::mutex> lock(gotLock);
    EXPECT_EQ(got, c.wantLens);
  }
  // A foreign marker ends the loop but leaves the connection to its owner.
  EXPECT_TRUE(skt.Active());
  skt.StopRecvThread();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
}

INSTANTIATE_TEST_SUITE_P(
    MySocket, RecvThreadCases,
    ::testing::Values(
        UnitCase{"packet_and_frame", TPktHeadLen::head8,
                 {Unit(0xAAAAAAAAu, 1452, 1), Unit(0xBBBBBBBBu, 5000, 2)}, {1460, 5008}},
        UnitCase{"empty_unit", TPktHeadLen::head8, {Unit(0x77777777u, 0, 0), Unit(0x77777777u, 2, 3)}, {8, 10}},
        UnitCase{"largest_unit", TPktHeadLen::head8, {Unit(0xBBBBBBBBu, 524288, 4)}, {8 + 524288}},
        UnitCase{"foreign_marker_ends_loop", TPktHeadLen::head8,
                 {Unit(0xAAAAAAAAu, 4, 1), Unit(0x12345678u, 4, 1), Unit(0xAAAAAAAAu, 4, 1)}, {12}},
        UnitCase{"head16_length_at_12", TPktHeadLen::head16, {Unit(0xAAAAAAAAu, 20, 1, true)}, {36}}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(MySocket, OversizedUnitIsSkippedWithoutReadingItsBody) {
  // Head says 524289: the loop drops the head only, so the unit that
  // follows right behind it is delivered.
  auto big = Unit(0xBBBBBBBBu, 0, 0);
  const uint32_t len = TMyCSkt::kMaxUnitLen + 1;
  std::memcpy(big.data() + 4, &len, 4);
  auto next = Unit(0xAAAAAAAAu, 16, 1);
  std::atomic<int> delivered{0};
  std::atomic<int> lastLen{0};
  ScriptedPeer peer([&](int fd) {
    ScriptedPeer::WriteAll(fd, big.data(), big.size());
    ScriptedPeer::WriteAll(fd, next.data(), next.size());
    ScriptedPeer::WaitClosed(fd, 10000);
  });
  TMyCSkt skt(TSktFlavour::Client);
  skt.SetPktHeads({0xAAAAAAAAu, 0xBBBBBBBBu});
  skt.OnRecvDataNotify = [&](TMyCSkt&, const uint8_t*, int n) {
    lastLen.store(n);
    delivered.fetch_add(1);
  };
  skt.SetHost("127.0.0.1");
  skt.SetPort(peer.Port());
  skt.Open();
  ASSERT_TRUE(skt.StartRecvThread());
  const auto start = Clock::now();
  while (delivered.load() == 0 && MsSince(start) < 10000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(delivered.load(), 1);
  EXPECT_EQ(lastLen.load(), 24);
}

TEST(MySocket, PeerCloseRaisesOnDisConnectAndDeactivates) {
  std::atomic<int> disconnects{0};
  ScriptedPeer peer([](int) {});  // closes at once
  TMyCSkt skt(TSktFlavour::Client);
  skt.SetPktHeads({0xAAAAAAAAu});
  skt.OnDisConnect = [&](TMyCSkt&) { disconnects.fetch_add(1); };
  skt.SetHost("127.0.0.1");
  skt.SetPort(peer.Port());
  skt.Open();
  ASSERT_TRUE(skt.StartRecvThread());
  const auto start = Clock::now();
  while (skt.Active() && MsSince(start) < 10000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(skt.Active());
  EXPECT_EQ(disconnects.load(), 1);
  skt.Close();
  EXPECT_EQ(skt.Handle(), -1);
}

TEST(MySocket, StopRecvThreadEndsAPendingConnectWait) {
  TMyCSkt skt(TSktFlavour::Sdk);
  skt.SetHost("127.0.0.1");
  skt.SetPort(linktest::ClosedPort());
  skt.SetConnTimeOut(30000);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    skt.StopRecvThread();
  });
  const auto start = Clock::now();
  skt.Open();
  stopper.join();
  EXPECT_FALSE(skt.Active());
  EXPECT_LT(MsSince(start), 20000);
}

// ---- read-ahead ---------------------------------------------------------------

namespace {

// A connected pair: `conn` reads one end, the test writes the other.
struct TPair {
  TMyCSkt conn{TSktFlavour::Sdk};
  int peer = -1;
  TPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return;
    conn.Attach(fds[0]);
    peer = fds[1];
  }
  ~TPair() {
    if (peer >= 0) ::close(peer);
  }
  void Write(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  int Pending() const {
    int n = -1;
    ::ioctl(conn.Handle(), FIONREAD, &n);
    return n;
  }
};

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace

// Reading units head by body gives the same bytes whatever the read-ahead,
// including a unit longer than the read-ahead and units that straddle it.
TEST(MySocketReadAhead, UnitsArriveWholeAndInOrderWhateverTheReadAhead) {
  const std::vector<std::vector<uint8_t>> units = {Unit(0x11, 5, 0xA1), Unit(0x22, 3000, 0xB2),
                                                   Unit(0x33, 0, 0), Unit(0x44, 70000, 0xC3),
                                                   Unit(0x55, 17, 0xD4)};
  for (const int ahead : {0, 16, 4096, 128 * 1024}) {
    SCOPED_TRACE("read-ahead " + std::to_string(ahead));
    TPair pair;
    ASSERT_GE(pair.peer, 0);
    pair.conn.SetReadAhead(ahead);
    std::thread writer([&] { pair.Write(Join(units)); });
    for (const auto& u : units) {
      std::vector<uint8_t> got(u.size());
      ASSERT_TRUE(pair.conn.RecvExact(got.data(), 8, 3000));
      uint32_t len = 0;
      std::memcpy(&len, got.data() + 4, 4);
      ASSERT_EQ(len + 8, u.size());
      ASSERT_TRUE(pair.conn.RecvExact(got.data() + 8, static_cast<int>(len), 3000));
      EXPECT_EQ(got, u);
    }
    writer.join();
    EXPECT_FALSE(pair.conn.Readable(0));
  }
}

TEST(MySocketReadAhead, BytesReadAheadMakeTheConnectionReadableWithTheSocketEmpty) {
  TPair pair;
  ASSERT_GE(pair.peer, 0);
  pair.conn.SetReadAhead(4096);
  EXPECT_FALSE(pair.conn.Readable(20));  // nothing anywhere: waits its time, then false
  pair.Write(Join({Unit(0x11, 40, 1), Unit(0x22, 40, 2)}));
  uint8_t head[8];
  ASSERT_TRUE(pair.conn.RecvExact(head, 8, 1000));
  EXPECT_EQ(pair.Pending(), 0);  // one recv took both units
  EXPECT_TRUE(pair.conn.Readable(0));
  EXPECT_TRUE(pair.conn.HasWaiting(88));  // all read ahead
  EXPECT_FALSE(pair.conn.HasWaiting(89));
  pair.Write(std::vector<uint8_t>(12, 0));
  EXPECT_TRUE(pair.conn.HasWaiting(100));  // read ahead and in the socket together
  EXPECT_FALSE(pair.conn.HasWaiting(101));
  uint8_t rest[48 + 40];
  ASSERT_TRUE(pair.conn.RecvExact(rest, sizeof rest, 1000));
  uint8_t tail[12];
  ASSERT_TRUE(pair.conn.RecvExact(tail, sizeof tail, 1000));
  EXPECT_EQ(rest[sizeof rest - 1], 2);
  EXPECT_FALSE(pair.conn.Readable(0));
}

// The peer sends its last units and closes: every unit is still read, then
// the close is noticed.
TEST(MySocketReadAhead, APeerCloseComesAfterEverythingItSent) {
  TPair pair;
  ASSERT_GE(pair.peer, 0);
  pair.conn.SetReadAhead(4096);
  pair.Write(Join({Unit(0x11, 10, 1), Unit(0x22, 10, 2), Unit(0x33, 10, 3)}));
  ::close(pair.peer);
  pair.peer = -1;
  for (uint8_t k = 1; k <= 3; ++k) {
    uint8_t unit[18];
    ASSERT_TRUE(pair.conn.RecvExact(unit, sizeof unit, 1000));
    EXPECT_EQ(unit[17], k);
  }
  EXPECT_TRUE(pair.conn.Readable(0));  // the close is there to be read
  uint8_t more[8];
  EXPECT_FALSE(pair.conn.RecvExact(more, sizeof more, 1000));
  EXPECT_FALSE(pair.conn.Active());
  EXPECT_FALSE(pair.conn.Readable(0));
}

// Bytes read ahead on one connection are never served on the next.
TEST(MySocketReadAhead, ANewConnectionStartsWithNothingReadAhead) {
  TPair first;
  ASSERT_GE(first.peer, 0);
  first.conn.SetReadAhead(4096);
  first.Write(std::vector<uint8_t>(100, 0xAA));
  uint8_t got[10];
  ASSERT_TRUE(first.conn.RecvExact(got, sizeof got, 1000));
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  ASSERT_TRUE(first.conn.Attach(fds[0]));
  EXPECT_FALSE(first.conn.Readable(0));
  const std::vector<uint8_t> fresh(10, 0xBB);
  ASSERT_EQ(::send(fds[1], fresh.data(), fresh.size(), MSG_NOSIGNAL), 10);
  ASSERT_TRUE(first.conn.RecvExact(got, sizeof got, 1000));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 10), fresh);
  ::close(fds[1]);
}
