// How many simulated 704x576 25 fps 2 Mbit/s H.264 cameras filming a busy
// scene (texture, motion, sensor noise) the live view can show at
// once: each step shows N cameras in a grid of native panes of one window,
// as the client's live view does, for a measured window, and holds when
//  - every camera's pictures were all drawn: per stream, pictures drawn over
//    the window within two of the frames its camera sent, and the camera was
//    never held back (it sent within two of 25 a second), and
//  - the GUI thread was never kept from its events for more than 50 ms: a
//    5 ms timer on it never came more than 50 ms late ("gui_tick_late_ms",
//    wall time, as a user would feel it, whatever kept the thread: its own
//    work or the decoding threads taking the processors). The longest
//    handling of one event (a presentation flush, a pane's paint, ...) is
//    shown in wall time ("gui_event_ms") and in the GUI thread's own
//    processor time ("gui_event_cpu_ms", the work our code did in it).
// Steps run from small N up and stop after the first that fails; the last
// line printed names the largest N that held (goal: at least 16).
//
// The simulator runs in a child process forked first, so the figures are
// the receiving side's. VZ_BENCH_SECONDS (default 20) sets the window,
// VZ_BENCH_MAX_STREAMS (default 40) the largest step.
#include <benchmark/benchmark.h>

#include <QGridLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchPlayer.h"
#include "BenchUtil.h"
#include "SimChild.h"

namespace {

const int kSeconds = vzbench::EnvInt("VZ_BENCH_SECONDS", 20);
const int kMaxStreams = vzbench::EnvInt("VZ_BENCH_MAX_STREAMS", 40);
constexpr int kFps = 25;
constexpr int kTickMs = 5;
constexpr double kMaxBlockMs = 50;
constexpr int kSlack = 2;  // frames in flight at either end of the window

vzbench::TSimChild* g_sim = nullptr;
bool g_failed = false;
int g_largest = 0;

void BM_LiveGrid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (g_failed) {
      state.SkipWithError("a smaller grid already failed");
      return;
    }
    // One window of the size of a small screen, a square-ish grid of panes.
    QWidget window;
    window.resize(1280, 800);
    auto* grid = new QGridLayout(&window);
    grid->setSpacing(2);
    grid->setContentsMargins(0, 0, 0, 0);
    const int cols = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    std::vector<QWidget*> panes;
    for (int k = 0; k < n; ++k) {
      auto* pane = new QWidget(&window);
      pane->setAttribute(Qt::WA_NativeWindow);
      grid->addWidget(pane, k / cols, k % cols);
      panes.push_back(pane);
    }
    window.show();
    vzbench::PumpEvents(200);  // laid out before the targets are read

    std::vector<std::unique_ptr<vzbench::TBenchPlayer>> players;
    for (int k = 0; k < n; ++k) {
      players.push_back(std::make_unique<vzbench::TBenchPlayer>(panes[static_cast<size_t>(k)], g_sim->Port(k)));
      if (!players.back()->Ok()) {
        state.SkipWithError("a player did not connect");
        return;
      }
    }
    // Every stream under way (the first step waits for the loop's encoding).
    const auto all_drawing = [&] {
      return std::all_of(players.begin(), players.end(), [](const auto& p) { return p->Drawn() >= kFps; });
    };
    for (int waited = 0; !all_drawing() && waited < 120000; waited += 100) vzbench::PumpEvents(100);
    if (!all_drawing()) {
      state.SkipWithError("not every pane shows pictures");
      return;
    }
    vzbench::PumpEvents(2000);

    const std::vector<vzbench::TSimSent> sent0 = g_sim->Sent();
    std::vector<uint64_t> drawn0;
    for (const auto& p : players) drawn0.push_back(p->Drawn());
    const double cpu0 = vzbench::CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const vzbench::TGuiWatch gui = vzbench::PumpEventsWatched(kSeconds * 1000, kTickMs);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = vzbench::CpuSeconds() - cpu0;
    std::vector<uint64_t> drawn1;
    for (const auto& p : players) drawn1.push_back(p->Drawn());
    const std::vector<vzbench::TSimSent> sent1 = g_sim->Sent();
    if (sent0.size() < static_cast<size_t>(n) || sent1.size() < static_cast<size_t>(n)) {
      state.SkipWithError("the simulator did not answer");
      return;
    }

    const double expected = kFps * secs;
    int64_t behind = 0;    // frames sent but not drawn, past the slack, all streams
    int64_t held_back = 0;  // frames a camera could not send, past the slack
    double slowest_fps = 1e9;
    for (size_t k = 0; k < static_cast<size_t>(n); ++k) {
      const double s = static_cast<double>(sent1[k].Video - sent0[k].Video);
      const double d = static_cast<double>(drawn1[k] - drawn0[k]);
      behind += static_cast<int64_t>(std::max(0.0, s - d - kSlack));
      held_back += static_cast<int64_t>(std::max(0.0, expected - s - kSlack));
      slowest_fps = std::min(slowest_fps, d / secs);
    }
    const bool held = behind == 0 && held_back == 0 && gui.LongestTickLateMs <= kMaxBlockMs;
    state.counters["held"] = held ? 1 : 0;
    state.counters["frames_not_drawn"] = static_cast<double>(behind);
    state.counters["frames_held_back"] = static_cast<double>(held_back);
    state.counters["slowest_stream_fps"] = slowest_fps;
    state.counters["gui_event_cpu_ms"] = gui.Events.LongestCpuMs;
    state.counters["gui_event_ms"] = gui.Events.LongestMs;
    state.counters["paints_per_s"] = static_cast<double>(gui.Events.Paints) / secs;
    state.counters["gui_tick_late_ms"] = gui.LongestTickLateMs;
    state.counters["cpu_cores"] = cpu / secs;
    if (held) {
      g_largest = std::max(g_largest, n);
    } else {
      g_failed = true;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Real cameras' pictures: the simulator's busy scene.
  vzsim::SimCamera cam = vzbench::H264Camera(704, 576, 2048);
  cam.busy = true;
  vzbench::TSimChild sim(std::vector<vzbench::TSimDevice>(static_cast<size_t>(kMaxStreams), {cam, vzsim::Fault::None}));
  if (!sim.Start()) {  // forked before any thread of this process starts
    std::fprintf(stderr, "sdk_livefleet_bench: the simulator did not start\n");
    return 1;
  }
  g_sim = &sim;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  vzbench::TBenchApp app(argc, argv);
  for (int n : {4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 48, 56, 64}) {
    if (n <= kMaxStreams) benchmark::RegisterBenchmark("BM_LiveGrid", BM_LiveGrid)->Arg(n)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("largest number of 704x576 25 fps streams with every picture drawn and the GUI thread never "
              "blocked over 50 ms: %d\n",
              g_largest);
  return 0;
}
