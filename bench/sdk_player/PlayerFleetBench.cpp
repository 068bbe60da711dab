// A fleet of live players, each connected to its own simulated camera
// streaming 704x576 H.264 at 25 fps and 1 Mbit/s with sound, against the
// same number of plain socket readers that log in, start the stream and
// read whole units without looking at them.
//
// The simulator runs in a child process forked before any thread exists, so
// the CPU and memory measured here are the receiving side's alone. Frames
// sent are the simulator's own counts over the measured window; a player's
// frames are counted in its video and audio callbacks.
//
// VZ_BENCH_SECONDS (default 60) sets the window, VZ_BENCH_STREAMS (default
// 64) the number of streams.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchUtil.h"
#include "SimChild.h"
#include "class_AxConn.h"
#include "vzSDK.h"

namespace {

const int kSeconds = vzbench::EnvInt("VZ_BENCH_SECONDS", 60);
const int kStreams = vzbench::EnvInt("VZ_BENCH_STREAMS", 64);

vzbench::TSimChild* g_sim = nullptr;

uint64_t FramesSent() {
  uint64_t total = 0;
  for (const vzbench::TSimSent& s : g_sim->Sent()) total += s.Video + s.Audio;
  return total;
}

// ---- measuring ----------------------------------------------------------------

template <typename Ready>
void Measure(benchmark::State& state, double rssBefore, Ready delivered) {
  const double cpu0 = vzbench::CpuSeconds();
  const uint64_t sent0 = FramesSent();
  const uint64_t got0 = delivered();
  std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
  const uint64_t got1 = delivered();
  const uint64_t sent1 = FramesSent();
  const double cpu = vzbench::CpuSeconds() - cpu0;
  const double sent = static_cast<double>(sent1 - sent0);
  const double got = static_cast<double>(got1 - got0);
  state.counters["frames_sent"] = sent;
  state.counters["frames_delivered"] = got;
  // Frames in flight at either end of the window make this differ from 1 by
  // a few per stream; a loss shows as a clearly lower figure.
  state.counters["delivered_per_sent"] = sent > 0 ? got / sent : 0;
  state.counters["cpu_s_per_stream_s"] = cpu / (static_cast<double>(kStreams) * kSeconds);
  state.counters["rss_MiB_per_stream"] = (vzbench::RssMiB() - rssBefore) / kStreams;
}

// ---- the SDK's players ----------------------------------------------------------

struct PlayerCount {
  std::atomic<uint64_t> frames{0};
};

void CountFrame(const uint8_t*, int32_t, int32_t, int32_t, int32_t, void* user) {
  static_cast<PlayerCount*>(user)->frames.fetch_add(1, std::memory_order_relaxed);
}

void BM_Players(benchmark::State& state) {
  for (auto _ : state) {
    const double rss0 = vzbench::RssMiB();
    std::vector<PlayerCount> counts(static_cast<size_t>(kStreams));
    std::vector<vzNetHandle> players(static_cast<size_t>(kStreams), nullptr);
    for (int k = 0; k < kStreams; ++k) {
      vzNetHandle& h = players[static_cast<size_t>(k)];
      vzNet_Init(&h, devNone, 0, 0, 0, 0);
      vzNet_SetCallBack(h, CountFrame, CountFrame, nullptr, nullptr, &counts[static_cast<size_t>(k)]);
      if (vzNet_Connect(h, "admin", "admin", "127.0.0.1", "127.0.0.1", g_sim->Port(k), 5000) == 0 ||
          vzNet_Play(h, 1, 1, 0) == 0) {
        state.SkipWithError("a player did not connect");
      }
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));  // every stream under way
    Measure(state, rss0, [&] {
      uint64_t n = 0;
      for (auto& c : counts) n += c.frames.load(std::memory_order_relaxed);
      return n;
    });
    for (vzNetHandle h : players) vzNet_Free(h);
  }
}

// ---- plain socket readers ----------------------------------------------------------

void BM_PlainReaders(benchmark::State& state) {
  for (auto _ : state) {
    const double rss0 = vzbench::RssMiB();
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> frames{0};
    std::vector<std::unique_ptr<TAxConn>> conns;
    std::vector<std::thread> readers;
    for (int k = 0; k < kStreams; ++k) {
      auto c = std::make_unique<TAxConn>();
      c->SetHost("127.0.0.1");
      c->SetPort(g_sim->Port(k));
      c->SvrAddr = "127.0.0.1";
      c->StreamFlag = 1;
      c->UserName = "admin";
      c->Password = "admin";
      c->SetClientType(TClientType::ctBlocking);
      if (!c->OpenLogin() || !c->StartStream(1, 1, 0)) state.SkipWithError("a reader did not connect");
      TAxConn* raw = c.get();
      readers.emplace_back([raw, &stop, &frames] {
        std::vector<uint8_t> body(600000);
        while (!stop.load(std::memory_order_relaxed)) {
          uint32_t head[2];
          pollfd p{raw->Handle(), POLLIN, 0};
          if (::poll(&p, 1, 100) != 1) continue;
          if (!raw->RecvExact(head, sizeof head, 5000)) break;
          if (head[1] > body.size() || !raw->RecvExact(body.data(), static_cast<int>(head[1]), 5000)) break;
          if (head[0] == 0xBBBBBBBBu || head[0] == 0xCCCCCCCCu) frames.fetch_add(1, std::memory_order_relaxed);
        }
      });
      conns.push_back(std::move(c));
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Measure(state, rss0, [&] { return frames.load(std::memory_order_relaxed); });
    stop = true;
    for (auto& t : readers) t.join();
    for (auto& c : conns) c->CloseConn();
  }
}

BENCHMARK(BM_PlainReaders)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_Players)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  const vzsim::SimCamera cam = vzbench::H264Camera(704, 576, 1000);
  vzbench::TSimChild sim(std::vector<vzbench::TSimDevice>(static_cast<size_t>(kStreams), {cam, vzsim::Fault::None}));
  if (!sim.Start()) {  // forked before any thread of this process starts
    std::fprintf(stderr, "sdk_player_bench: the simulator did not start\n");
    return 1;
  }
  g_sim = &sim;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
