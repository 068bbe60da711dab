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
// Needs the ffmpeg program on PATH. VZ_BENCH_SECONDS (default 10) sets the
// measured window per size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QWidget>

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

const int kSeconds = vzbench::EnvInt("VZ_BENCH_SECONDS", 10);

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

// Device k films size k % kSizeCount, the busy scene from kSizeCount on.
void BM_LivePath(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0)) + (state.range(1) != 0 ? kSizeCount : 0);
  const TSize size = kSizes[k % kSizeCount];
  state.SetLabel(std::to_string(size.W) + "x" + std::to_string(size.H) + (k >= kSizeCount ? " busy" : " plain"));
  for (auto _ : state) {
    double fps = 0, cpu_per_frame = 0, reader_busy = 0;
    int64_t drawn = 0;
    std::vector<std::vector<uint8_t>> intervals;
    {
      QWidget target;
      target.resize(size.W, size.H);
      target.show();
      vzbench::TBenchPlayer player(&target, g_sim->Port(k));
      if (!player.Ok()) {
        state.SkipWithError("the player did not connect");
        return;
      }
      player.KeepFrames(100);
      // The first run of a size waits for the simulator to encode its loop.
      for (int waited = 0; player.Drawn() < 50 && waited < 120000; waited += 100) vzbench::PumpEvents(100);
      if (player.Drawn() < 50) {
        const std::string why = "only " + std::to_string(player.Drawn()) + " pictures drawn of " +
                                std::to_string(player.Received()) + " frames received";
        state.SkipWithError(why.c_str());
        return;
      }
      const auto t0 = std::chrono::steady_clock::now();
      const double cpu0 = vzbench::CpuSeconds();
      const double reader0 = vzbench::ThreadsCpuSeconds("vzSDK read");
      const uint64_t d0 = player.Drawn();
      vzbench::PumpEvents(kSeconds * 1000);
      drawn = static_cast<int64_t>(player.Drawn() - d0);
      const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      fps = static_cast<double>(drawn) / secs;
      cpu_per_frame = (vzbench::CpuSeconds() - cpu0) / static_cast<double>(drawn);
      reader_busy = (vzbench::ThreadsCpuSeconds("vzSDK read") - reader0) / secs;
      intervals = player.KeptIntervals();
    }
    if (intervals.empty()) {
      state.SkipWithError("no whole key-frame interval was kept");
      return;
    }
    int64_t ref_frames = 0;
    const TReference ref = RunFfmpeg(intervals, drawn, &ref_frames);
    if (!ref.Ok) {
      state.SkipWithError(ref.Error.c_str());
      return;
    }
    const double ref_fps = static_cast<double>(ref_frames) / ref.Seconds;
    state.counters["fps"] = fps;
    state.counters["ffmpeg_fps"] = ref_fps;
    state.counters["ratio"] = fps / ref_fps;
    state.counters["cpu_ms_per_frame"] = cpu_per_frame * 1e3;
    // The player's reading thread (receive, decode, convert, overlays) as a
    // share of one core: near 1, the path runs as fast as that thread can.
    state.counters["reader_busy"] = reader_busy;
    state.counters["ffmpeg_cpu_ms_per_frame"] = ref.CpuSeconds * 1e3 / static_cast<double>(ref_frames);
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
  if (!sim.Start()) {  // forked before any thread of this process starts
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
