// The whole live path of one camera, per frame: receive from the simulated
// camera, decode, convert, draw the OSD and present into an off-screen
// widget, against `ffmpeg -threads 1 -benchmark` decoding the very same
// H.264 stream from a file, in the same run.
//
// The camera sends unpaced (the simulator's flood fault), so the player
// runs as fast as its slowest stage allows; "fps" is pictures drawn per
// second of wall time. The reference decodes the payloads the player was
// sent (whole key-frame intervals, repeated to about as many frames as the
// player drew), so both decode the same pictures. "ratio" = fps / ffmpeg_fps
// is the figure that matters (goal: at least 0.9).
//
// Each size runs twice: on the simulator's plain test picture, which codes
// into frames that cost the decoder next to nothing (so conversion and
// presentation weigh far more than on any real camera), and on its busy
// scene (texture, motion and sensor noise), whose frames cost the decoder
// what a real camera's do.
//
// Needs the ffmpeg program on PATH. VZ_BENCH_SECONDS (default 15) sets the
// player's measured time per size and scene, VZ_BENCH_ROUNDS (default 5) in
// how many turns it is taken.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "BenchPlayer.h"
#include "BenchUtil.h"
#include "SimChild.h"

namespace {

struct TSize {
  int W, H, Kbps;
};
constexpr TSize kSizes[] = {{704, 576, 2048}, {1280, 720, 4096}, {1920, 1080, 8192}};

const int kSeconds = vzbench::EnvInt("VZ_BENCH_SECONDS", 15);  // per size and scene, over all rounds
const int kRounds = vzbench::EnvInt("VZ_BENCH_ROUNDS", 5);

vzbench::TSimChild* g_sim = nullptr;

struct TReference {
  bool Ok = false;
  double Seconds = 0;     // wall time ffmpeg reports for its decoding
  double CpuSeconds = 0;  // its user + system time
  std::string Error;
};

// Writes the intervals, repeated to at least `frames` frames, to a file and
// lets ffmpeg decode it on one thread.
TReference RunFfmpeg(const std::vector<std::vector<uint8_t>>& intervals, int64_t frames, int64_t* written) {
  TReference r;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("vzlivepath-" + std::to_string(::getpid()) + ".h264");
  {
    std::ofstream out(file, std::ios::binary);
    *written = 0;
    while (*written < frames) {
      for (const auto& f : intervals) out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
      *written += static_cast<int64_t>(intervals.size());
    }
  }
  const std::string cmd = "ffmpeg -hide_banner -nostdin -nostats -threads 1 -benchmark -f h264 -i '" + file.string() +
                          "' -f null - 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  std::string text;
  if (p != nullptr) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    ::pclose(p);
  }
  std::filesystem::remove(file);
  std::smatch m;
  static const std::regex bench(R"(bench: utime=([0-9.]+)s stime=([0-9.]+)s rtime=([0-9.]+)s)");
  if (!std::regex_search(text, m, bench)) {
    r.Error = "ffmpeg gave no benchmark line (is it installed?): " + text.substr(0, 200);
    return r;
  }
  r.CpuSeconds = std::stod(m[1].str()) + std::stod(m[2].str());
  r.Seconds = std::stod(m[3].str());
  r.Ok = r.Seconds > 0;
  return r;
}

constexpr int kSizeCount = static_cast<int>(std::size(kSizes));

// One round: the player's pictures per second over `seconds`, then ffmpeg
// on the frames it received.
struct TRound {
  bool Ok = false;
  std::string Error;
  double Fps = 0, CpuPerFrame = 0, ReaderCpuPerFrame = 0, ReaderBusy = 0, ReaderQueued = 0;
  double RefFps = 0, RefCpuPerFrame = 0;
};

TRound RunRound(int device, const TSize& size, int seconds) {
  TRound r;
  int64_t drawn = 0;
  std::vector<std::vector<uint8_t>> intervals;
  {
    QWidget target;
    target.resize(size.W, size.H);
    target.show();
    vzbench::TBenchPlayer player(&target, g_sim->Port(device));
    if (!player.Ok()) {
      r.Error = "the player did not connect";
      return r;
    }
    player.KeepFrames(100);
    // The first run of a size waits for the simulator to encode its loop.
    for (int waited = 0; player.Drawn() < 50 && waited < 120000; waited += 100) vzbench::PumpEvents(100);
    if (player.Drawn() < 50) {
      r.Error = "only " + std::to_string(player.Drawn()) + " pictures drawn of " + std::to_string(player.Received()) +
                " frames received";
      return r;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = vzbench::CpuSeconds();
    const double reader0 = vzbench::ThreadsCpuSeconds("vzSDK read");
    const double queued0 = vzbench::ThreadsQueuedSeconds("vzSDK read");
    const uint64_t d0 = player.Drawn();
    vzbench::PumpEvents(seconds * 1000);
    drawn = static_cast<int64_t>(player.Drawn() - d0);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.Fps = static_cast<double>(drawn) / secs;
    r.CpuPerFrame = (vzbench::CpuSeconds() - cpu0) / static_cast<double>(std::max<int64_t>(drawn, 1));
    const double reader_cpu = vzbench::ThreadsCpuSeconds("vzSDK read") - reader0;
    r.ReaderCpuPerFrame = reader_cpu / static_cast<double>(std::max<int64_t>(drawn, 1));
    r.ReaderBusy = reader_cpu / secs;
    r.ReaderQueued = (vzbench::ThreadsQueuedSeconds("vzSDK read") - queued0) / secs;
    intervals = player.KeptIntervals();
  }
  if (intervals.empty()) {
    r.Error = "no whole key-frame interval was kept";
    return r;
  }
  int64_t ref_frames = 0;
  const TReference ref = RunFfmpeg(intervals, drawn, &ref_frames);
  if (!ref.Ok) {
    r.Error = ref.Error;
    return r;
  }
  r.RefFps = static_cast<double>(ref_frames) / ref.Seconds;
  r.RefCpuPerFrame = ref.CpuSeconds / static_cast<double>(ref_frames);
  r.Ok = true;
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Device k films size k % kSizeCount, the busy scene from kSizeCount on.
// The machine's speed drifts (other guests, clocks), so the player and
// ffmpeg take turns in several rounds; every figure is the median of the
// rounds', the ratio the median of the rounds' ratios.
void BM_LivePath(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0)) + (state.range(1) != 0 ? kSizeCount : 0);
  const TSize size = kSizes[k % kSizeCount];
  state.SetLabel(std::to_string(size.W) + "x" + std::to_string(size.H) + (k >= kSizeCount ? " busy" : " plain"));
  for (auto _ : state) {
    std::vector<double> fps, ref_fps, ratio, cpu, ref_cpu, reader_cpu, cpu_ratio, busy, queued;
    for (int round = 0; round < kRounds; ++round) {
      const TRound r = RunRound(k, size, std::max(1, kSeconds / kRounds));
      if (!r.Ok) {
        state.SkipWithError(r.Error.c_str());
        return;
      }
      fps.push_back(r.Fps);
      ref_fps.push_back(r.RefFps);
      ratio.push_back(r.Fps / r.RefFps);
      cpu.push_back(r.CpuPerFrame * 1e3);
      ref_cpu.push_back(r.RefCpuPerFrame * 1e3);
      reader_cpu.push_back(r.ReaderCpuPerFrame * 1e3);
      cpu_ratio.push_back(r.RefCpuPerFrame / std::max(r.ReaderCpuPerFrame, 1e-9));
      busy.push_back(r.ReaderBusy);
      queued.push_back(r.ReaderQueued);
    }
    state.counters["fps"] = Median(fps);
    state.counters["ffmpeg_fps"] = Median(ref_fps);
    state.counters["ratio"] = Median(ratio);
    state.counters["ratio_min"] = *std::min_element(ratio.begin(), ratio.end());
    state.counters["ratio_max"] = *std::max_element(ratio.begin(), ratio.end());
    state.counters["cpu_ms_per_frame"] = Median(cpu);
    state.counters["ffmpeg_cpu_ms_per_frame"] = Median(ref_cpu);
    // The reading thread's processor time per picture, and ffmpeg's per
    // frame over it: the same comparison in processor time, which a slower
    // or busier machine disturbs less than wall time.
    state.counters["reader_cpu_ms_per_frame"] = Median(reader_cpu);
    state.counters["cpu_ratio"] = Median(cpu_ratio);
    // The player's reading thread (receive, decode, convert, overlays) as a
    // share of one core: near 1, the path runs as fast as that thread can.
    state.counters["reader_busy"] = Median(busy);
    // Share of the time it was ready but another thread had its processor.
    state.counters["reader_queued"] = Median(queued);
  }
}

BENCHMARK(BM_LivePath)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"size", "busy"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  std::vector<vzbench::TSimDevice> devices;
  for (const bool busy : {false, true}) {
    for (const TSize& s : kSizes) {
      vzsim::SimCamera cam = vzbench::H264Camera(s.W, s.H, s.Kbps);
      cam.busy = busy;
      devices.push_back({cam, vzsim::Fault::StreamFlood});
    }
  }
  vzbench::TSimChild sim(devices);
  // The simulated cameras run 10 steps below the player: on real cameras
  // the sending costs this machine nothing.
  if (!sim.Start(10)) {  // forked before any thread of this process starts
    std::fprintf(stderr, "sdk_livepath_bench: the simulator did not start\n");
    return 1;
  }
  g_sim = &sim;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  vzbench::TBenchApp app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
