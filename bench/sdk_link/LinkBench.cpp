// A record get through a fresh command connection (connect, login, request,
// close) against the simulator, next to the bare cost of the same traffic
// shape: a raw loopback TCP connect plus two 1460-byte ping-pongs with an
// echo peer. Both run in the same process; the ratio is printed at the end.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "DevSim.h"
#include "TestEnv.h"
#include "class_AxConn.h"

namespace {

constexpr size_t kPkt = 1460;

bool ReadFull(int fd, uint8_t* buf, size_t len) {
  size_t got = 0;
  while (got < len) {
    const ssize_t n = ::recv(fd, buf + got, len - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool WriteFull(int fd, const uint8_t* buf, size_t len) {
  size_t sent = 0;
  while (sent < len) {
    const ssize_t n = ::send(fd, buf + sent, len - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Answers every 1460 bytes with 1460 bytes, one connection after the other.
class EchoPeer {
 public:
  EchoPeer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::listen(fd_, 64);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoPeer() {
    stop_.store(true);
    thread_.join();
    ::close(fd_);
  }
  uint16_t Port() const { return port_; }

 private:
  void Run() {
    uint8_t buf[kPkt];
    while (!stop_.load()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      while (ReadFull(c, buf, kPkt) && WriteFull(c, buf, kPkt)) {
      }
      ::close(c);
    }
  }
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_RawConnectTwoPingPongs(benchmark::State& state) {
  EchoPeer peer;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(peer.Port());
  uint8_t out[kPkt] = {1};
  uint8_t in[kPkt];
  for (auto _ : state) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    for (int i = 0; ok && i < 2; ++i) ok = WriteFull(fd, out, kPkt) && ReadFull(fd, in, kPkt);
    ::close(fd);
    if (!ok) {
      state.SkipWithError("echo exchange failed");
      break;
    }
  }
}

void BM_RecordGetFreshCommandConnection(benchmark::State& state) {
  vztest::TempDir dir;
  vzsim::SimOptions o;
  o.stateDir = dir.str();
  vzsim::DevSim sim(o);
  if (!sim.Start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  vz::TNetCfg net{};
  for (auto _ : state) {
    TAxConn conn;
    conn.SetHost("127.0.0.1");
    conn.SetPort(sim.Port(0));
    conn.UserName = "admin";
    conn.Password = "admin";
    const bool ok = conn.OpenLogin() && conn.GetNetCfg(&net, false);
    conn.CloseConn();
    if (!ok) {
      state.SkipWithError("record get failed");
      break;
    }
    benchmark::DoNotOptimize(net);
  }
}

BENCHMARK(BM_RawConnectTwoPingPongs)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordGetFreshCommandConnection)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's real time per iteration to print the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
        times_[r.run_name.function_name] = r.real_accumulated_time / static_cast<double>(r.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double raw = reporter.Time("BM_RawConnectTwoPingPongs");
  const double get = reporter.Time("BM_RecordGetFreshCommandConnection");
  if (raw > 0.0 && get > 0.0) {
    std::printf("ratio record get / raw connect + two ping-pongs: %.2f\n", get / raw);
  }
  benchmark::Shutdown();
  return 0;
}
