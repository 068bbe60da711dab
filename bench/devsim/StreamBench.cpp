// 64 simulated devices, each streaming 704x576 H.264 at 25 fps and 1 Mbit/s
// with audio to a plain socket reader, against a bare paced sender of the
// same frames over the same number of loopback connections, in one run.
// Reported: process CPU seconds per stream-second of each (the reader's own
// CPU time left out) and their ratio, frames sent, and the one-time encode.
// VZ_BENCH_SECONDS sets the measured time per side (default 10).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DevSim.h"
#include "SimAudio.h"
#include "SimEncodeCache.h"
#include "TestEnv.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStreams = 64;

int Seconds() {
  const char* s = std::getenv("VZ_BENCH_SECONDS");
  const int v = s ? std::atoi(s) : 0;
  return v > 0 ? v : 10;
}

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

vzsim::SimVideoFormat D1() {
  vzsim::SimVideoFormat f;
  f.codec = 2;
  f.width = 704;
  f.height = 576;
  f.fps = 25;
  f.keyInterval = 50;
  f.bitRate = 1024 * 1024;
  return f;
}

bool SendAll(int fd, const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool RecvAll(int fd, void* data, size_t n) {
  auto* p = static_cast<uint8_t*>(data);
  while (n > 0) {
    const ssize_t r = ::recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

int ConnectLoopback(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Stream login and start-stream, by the bytes.
int OpenStream(uint16_t port) {
  const int fd = ConnectLoopback(port);
  if (fd < 0) return -1;
  uint8_t pkt[1460] = {};
  Put32(pkt, 0xAAAAAAAAu);
  Put32(pkt + 4, 1452);
  Put32(pkt + 8, 0xAAAAAAAAu);
  Put32(pkt + 12, 1);
  std::memcpy(pkt + 24, "admin", 5);
  std::memcpy(pkt + 44, "admin", 5);
  std::memcpy(pkt + 64, "127.0.0.1", 9);
  Put32(pkt + 88, 1);
  Put32(pkt + 912, 1);
  uint8_t reply[1460];
  if (!SendAll(fd, pkt, sizeof pkt) || !RecvAll(fd, reply, sizeof reply)) {
    ::close(fd);
    return -1;
  }
  uint32_t id = 0;
  std::memcpy(&id, reply + 16, 4);
  std::memset(pkt, 0, sizeof pkt);
  Put32(pkt, 0xAAAAAAAAu);
  Put32(pkt + 4, 1452);
  Put32(pkt + 12, 2);
  Put32(pkt + 16, id);
  Put32(pkt + 24, 1);
  Put32(pkt + 28, 1);
  if (!SendAll(fd, pkt, sizeof pkt)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Drains every connection; measures its own CPU time so it can be left out.
class Reader {
 public:
  explicit Reader(std::vector<int> fds) : fds_(std::move(fds)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Reader() {
    stop_.store(true);
    thread_.join();
    for (int fd : fds_) ::close(fd);
  }
  double Cpu() const { return cpu_.load(); }  // the reader thread's own CPU seconds
  uint64_t Bytes() const { return bytes_.load(); }

 private:
  void Run() {
    std::vector<pollfd> p;
    for (int fd : fds_) p.push_back(pollfd{fd, POLLIN, 0});
    std::vector<uint8_t> buf(1 << 16);
    while (!stop_.load()) {
      cpu_.store(CpuSeconds(RUSAGE_THREAD));
      if (::poll(p.data(), p.size(), 20) <= 0) continue;
      for (pollfd& q : p) {
        if ((q.revents & POLLIN) == 0) continue;
        const ssize_t r = ::recv(q.fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (r > 0) bytes_.fetch_add(static_cast<uint64_t>(r));
      }
    }
  }
  std::vector<int> fds_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<double> cpu_{0};
  std::atomic<uint64_t> bytes_{0};
};

double g_simCpuPerStreamSecond = 0, g_plainCpuPerStreamSecond = 0;

// Runs `seconds` of streaming and returns the CPU seconds spent outside the reader.
double Measure(Reader& reader, int seconds, const std::function<void()>& atStart = [] {}) {
  std::this_thread::sleep_for(std::chrono::seconds(1));  // everything under way
  atStart();
  const double process0 = CpuSeconds(RUSAGE_SELF), reader0 = reader.Cpu();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double process1 = CpuSeconds(RUSAGE_SELF), reader1 = reader.Cpu();
  return (process1 - process0) - (reader1 - reader0);
}

void BM_Simulator64Streams(benchmark::State& state) {
  const int seconds = Seconds();
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const int before = vzsim::SimEncodeCache::Instance().Encoded();
    vzsim::SimEncodeCache::Instance().Get(D1());
    const double encodeS = std::chrono::duration<double>(Clock::now() - t0).count();

    vztest::TempDir dir;
    vzsim::SimOptions o;
    o.stateDir = dir.str();
    o.devices = kStreams;
    vzsim::SimCamera cam;
    cam.codec = 2;
    cam.width = 704;
    cam.height = 576;
    cam.fps = 25;
    cam.kbps = 1024;
    cam.keyInterval = 50;
    o.cameras.assign(kStreams, cam);
    vzsim::DevSim sim(o);
    if (!sim.Start()) {
      state.SkipWithError(sim.Error().c_str());
      return;
    }
    std::vector<int> fds;
    for (int k = 0; k < kStreams; ++k) fds.push_back(OpenStream(sim.Port(k)));
    Reader reader(fds);
    uint64_t framesBefore = 0, audioBefore = 0;
    const double cpu = Measure(reader, seconds, [&] {
      for (int k = 0; k < kStreams; ++k) {
        framesBefore += sim.Stats(k).videoFrames;
        audioBefore += sim.Stats(k).audioFrames;
      }
    });
    uint64_t frames = 0, audio = 0;
    for (int k = 0; k < kStreams; ++k) {
      frames += sim.Stats(k).videoFrames;
      audio += sim.Stats(k).audioFrames;
    }
    g_simCpuPerStreamSecond = cpu / (kStreams * seconds);
    state.counters["cpu_s_per_stream_s"] = g_simCpuPerStreamSecond;
    // Per stream and second: 25 video frames and 7.8 tone blocks when paced right.
    state.counters["video_fps"] = static_cast<double>(frames - framesBefore) / (kStreams * seconds);
    state.counters["audio_bps"] = static_cast<double>(audio - audioBefore) / (kStreams * seconds);
    state.counters["MB_read"] = static_cast<double>(reader.Bytes()) / 1e6;
    state.counters["encode_s"] = encodeS;
    state.counters["loops_encoded"] = vzsim::SimEncodeCache::Instance().Encoded() - before;
  }
}

// The reference: one thread per connection sending the same frames and
// tone blocks at the same pace with plain sends, nothing else.
void BM_PlainPacedSender64Streams(benchmark::State& state) {
  const int seconds = Seconds();
  std::shared_ptr<const vzsim::SimLoop> loop = vzsim::SimEncodeCache::Instance().Get(D1());
  for (auto _ : state) {
    const int lfd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(lfd, kStreams);
    ::getsockname(lfd, reinterpret_cast<sockaddr*>(&a), &len);
    std::vector<int> clients, servers;
    for (int k = 0; k < kStreams; ++k) {
      clients.push_back(ConnectLoopback(ntohs(a.sin_port)));
      servers.push_back(::accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC));
    }
    ::close(lfd);
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (int fd : servers) {
      senders.emplace_back([fd, &stop, &loop] {
        vzsim::SimAudio tone(vzsim::SimAudioFormat{}, 0);
        std::vector<uint8_t> unit;
        size_t next = 0;
        auto videoDue = Clock::now(), audioDue = Clock::now();
        const auto videoPeriod = std::chrono::microseconds(40000);
        const auto audioPeriod = std::chrono::microseconds(tone.BlockUs());
        while (!stop.load()) {
          const auto now = Clock::now();
          if (now >= videoDue) {
            const auto& f = loop->frames[next];
            next = (next + 1) % loop->frames.size();
            unit.assign(24, 0);
            unit.insert(unit.end(), f.bytes.begin(), f.bytes.end());
            if (!SendAll(fd, unit.data(), unit.size())) return;
            videoDue += videoPeriod;
          }
          if (now >= audioDue) {
            unit.assign(24, 0);
            const uint8_t* block = tone.Next();
            unit.insert(unit.end(), block, block + tone.BlockBytes());
            if (!SendAll(fd, unit.data(), unit.size())) return;
            audioDue += audioPeriod;
          }
          std::this_thread::sleep_until(std::min({videoDue, audioDue, now + std::chrono::milliseconds(20)}));
        }
      });
    }
    {
      Reader reader(clients);
      const double cpu = Measure(reader, seconds);
      g_plainCpuPerStreamSecond = cpu / (kStreams * seconds);
      state.counters["cpu_s_per_stream_s"] = g_plainCpuPerStreamSecond;
      state.counters["MB_read"] = static_cast<double>(reader.Bytes()) / 1e6;
      stop.store(true);
      for (int fd : servers) ::shutdown(fd, SHUT_RDWR);
      for (std::thread& t : senders) t.join();
    }
    for (int fd : servers) ::close(fd);
  }
}


BENCHMARK(BM_Simulator64Streams)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_PlainPacedSender64Streams)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_simCpuPerStreamSecond > 0 && g_plainCpuPerStreamSecond > 0) {
    std::printf("simulator CPU per stream-second: %.5f s; plain paced sender: %.5f s; ratio %.2f\n",
                g_simCpuPerStreamSecond, g_plainCpuPerStreamSecond,
                g_simCpuPerStreamSecond / g_plainCpuPerStreamSecond);
    std::printf("64 streams need %.2f of one core in the simulator\n", g_simCpuPerStreamSecond * kStreams);
  }
  return 0;
}
