// A recording of a 2 Mbit/s, 25 fps stream (10,000-byte frames, a key frame
// every 50) of VZ_BENCH_REC_MB megabytes (default 1024) is written once.
// DragToPosition: the file player jumps to random positions (PS_DragPos, as
// a slider does) and the time until the landed key frame reaches the video
// callback is taken, with the reads the player made. SequentialRead: the
// reference, reading the same file from its first frame up to the same
// positions in 64 KiB blocks. Compare the two rows' median_ms and reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "AVFrameHead.h"
#include "RecFileFormat.h"
#include "class_FilePlay.h"

namespace {

constexpr uint32_t kPayload = 10000;
constexpr int kGop = 50;
constexpr int kDrags = 41;

struct TRecording {
  std::string path;
  uint64_t size = 0;
  std::vector<uint32_t> targets;  // the drag positions, the same for both rows
};

TRecording& Recording() {
  static TRecording rec = [] {
    TRecording r;
    const char* mb = std::getenv("VZ_BENCH_REC_MB");
    const uint64_t bytes = (mb != nullptr ? std::strtoull(mb, nullptr, 10) : 1024ull) * 1048576ull;
    r.path = (std::filesystem::temp_directory_path() / ("vz_fileplay_bench_" + std::to_string(getpid()) + ".av")).string();
    const int fd = ::open(r.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    vz::TRecFileHeader h = vz::MakeRecHeader();
    h.Video.Width = 704;
    h.Video.Height = 576;
    h.Video.Codec = vz::kRecCodecH264;
    std::vector<uint8_t> out(sizeof h);
    std::memcpy(out.data(), &h, sizeof h);
    uint64_t at = sizeof h;
    int64_t lastKey = -1;
    std::vector<uint8_t> frame(sizeof(vz::TAVFrameHead) + kPayload, 0x5a);
    for (uint64_t i = 0; at + frame.size() <= bytes; ++i) {
      vz::TAVFrameHead f{};
      f.Magic = vz::kMarkerVideo;
      f.Len = kPayload + vz::kFrameLenOverhead;
      f.TimeStamp = (1700000000000ull + i * 40) * 1000;
      f.IsIFrame = i % kGop == 0 ? 1 : 0;
      if (f.IsIFrame != 0 && lastKey < 0) lastKey = static_cast<int64_t>(at);
      f.StreamType = static_cast<int32_t>(lastKey);
      std::memcpy(frame.data(), &f, sizeof f);
      out.insert(out.end(), frame.begin(), frame.end());
      if (f.IsIFrame != 0) lastKey = static_cast<int64_t>(at);
      at += frame.size();
      if (out.size() >= (8u << 20)) {
        if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) std::abort();
        out.clear();
      }
    }
    if (!out.empty() && ::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) std::abort();
    ::close(fd);
    r.size = at;
    std::mt19937 rng(7);
    std::uniform_int_distribution<uint64_t> pos(300, std::min<uint64_t>(r.size - 1, 0xFFFFFFFFu));
    for (int i = 0; i < kDrags; ++i) r.targets.push_back(static_cast<uint32_t>(pos(rng)));
    // Outlives every other static, so the removal at exit still has it.
    static const std::string* const kRemove = new std::string(r.path);
    std::atexit([] { std::filesystem::remove(*kRemove); });
    return r;
  }();
  return rec;
}

struct TLanded {
  std::mutex lock;
  std::condition_variable wake;
  uint64_t count = 0;  // guarded by lock
};

void OnVideo(const uint8_t*, int32_t, int32_t, int32_t, int32_t, void* user) {
  auto* l = static_cast<TLanded*>(user);
  std::lock_guard<std::mutex> g(l->lock);
  ++l->count;
  l->wake.notify_all();
}

class TNoVideo final : public vz::IFileVideo {
 public:
  bool Configure(int32_t, int32_t, int32_t, double, int32_t) override { return true; }
  void PassAudio(const uint8_t*, uint32_t) override {}
  bool Decode(const uint8_t*, uint32_t, uint64_t, const TOverlayFn&) override { return false; }
  void Redraw() override {}
  bool AddDspInfo(const void*) override { return true; }
  bool DelDspInfo(const void*) override { return true; }
  void SetEqualScaling(bool) override {}
  void SetDrawHook(TDrawHook) override {}
  bool Snapshot(QImage&) override { return false; }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void DragToPosition(benchmark::State& state) {
  TRecording& rec = Recording();
  vz::TFilePlay::TParts parts;
  parts.video = [] { return std::make_unique<TNoVideo>(); };
  auto play = vz::TFilePlay::Open(rec.path, parts);
  TLanded landed;
  play->PlayCtrl(PS_Pause, 0, 0);
  play->SetCallbacks({OnVideo, nullptr, nullptr, &landed, 0});
  std::vector<double> ms;
  std::vector<double> reads;
  for (auto _ : state) {
    ms.clear();
    reads.clear();
    for (uint32_t target : rec.targets) {
      std::unique_lock<std::mutex> g(landed.lock);
      // Paused between drags: only the landing frame is shown.
      play->PlayCtrl(PS_Pause, 0, 0);
      g.unlock();
      while (play->PlayState() != PS_Pause) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      g.lock();
      const uint64_t seen = landed.count;
      const uint64_t r0 = play->ReadCalls();
      const auto t0 = std::chrono::steady_clock::now();
      play->PlayCtrl(PS_DragPos, 0, target);
      landed.wake.wait(g, [&] { return landed.count > seen; });
      const auto t1 = std::chrono::steady_clock::now();
      reads.push_back(static_cast<double>(play->ReadCalls() - r0));
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    state.SetIterationTime(std::chrono::duration<double>(Median(ms) / 1000.0).count());
  }
  play->Close();
  state.counters["median_ms"] = Median(ms);
  state.counters["reads"] = Median(reads);
  state.counters["file_MB"] = static_cast<double>(rec.size) / 1048576.0;
}

void SequentialRead(benchmark::State& state) {
  TRecording& rec = Recording();
  std::vector<uint8_t> buf(64 * 1024);
  std::vector<double> ms;
  std::vector<double> reads;
  for (auto _ : state) {
    ms.clear();
    reads.clear();
    for (uint32_t target : rec.targets) {
      const auto t0 = std::chrono::steady_clock::now();
      const int fd = ::open(rec.path.c_str(), O_RDONLY);
      uint64_t at = vz::kRecFirstFrameOffset;
      uint64_t n = 0;
      while (at < target) {
        const ssize_t got = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(at));
        ++n;
        if (got <= 0) break;
        at += static_cast<uint64_t>(got);
      }
      ::close(fd);
      benchmark::DoNotOptimize(buf.data());
      ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      reads.push_back(static_cast<double>(n));
    }
    state.SetIterationTime(Median(ms) / 1000.0);
  }
  state.counters["median_ms"] = Median(ms);
  state.counters["reads"] = Median(reads);
}

}  // namespace

BENCHMARK(SequentialRead)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(DragToPosition)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
