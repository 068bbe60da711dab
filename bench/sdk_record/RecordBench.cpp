// 64 live players recording at once: each of 64 threads hands the frames of
// a 2 Mbit/s, 25 fps stream (10 KB frames, a key frame every 25, an audio
// frame every 4) to its own recorder as fast as the recorder takes them.
// In the same iteration the same bytes are written by one thread into one
// file, frame by frame, as the plain reference. Counters:
//   rec_MBps, ref_MBps, ratio (recorders / reference; 1 = as fast as plain
//   writing), frames_in (handed to the recorders), frames_in_files (counted
//   back by the checker), lost (the difference; the goal is 0).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "RecFileCheck.h"
#include "class_Recorder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPlayers = 64;
constexpr int kSeconds = 4;  // of stream per player and iteration
constexpr uint32_t kVideoBytes = 2 * 1000 * 1000 / 8 / 25;  // 2 Mbit/s at 25 fps
constexpr uint32_t kAudioBytes = 1024;

struct TFrame {
  std::vector<uint8_t> bytes;
  vz::TFrameView view;
};

std::vector<TFrame> MakeStream() {
  std::vector<TFrame> out;
  for (int i = 0; i < kSeconds * 25; ++i) {
    for (int audio = 0; audio < (i % 4 == 3 ? 2 : 1); ++audio) {
      vz::TAVFrameHead h{};
      h.Magic = audio != 0 ? vz::kMarkerAudio : vz::kMarkerVideo;
      const uint32_t payload = audio != 0 ? kAudioBytes : kVideoBytes;
      h.Len = payload + vz::kFrameLenOverhead;
      h.TimeStamp = (1700000000000ull + static_cast<uint64_t>(i) * 40) * 1000;
      h.IsIFrame = audio == 0 && i % 25 == 0 ? 1 : 0;
      TFrame f;
      f.bytes.assign(sizeof h + payload, static_cast<uint8_t>(i));
      std::memcpy(f.bytes.data(), &h, sizeof h);
      out.push_back(std::move(f));
    }
  }
  for (TFrame& f : out) vz::ParseFrameHead(f.bytes.data(), f.bytes.size(), f.view);
  return out;
}

class TBenchHost : public vz::IRecorderHost {
 public:
  TBenchHost(std::string folder, int player) : folder_(std::move(folder)), player_(player) {}
  vz::TRecStartInfo StartInfo() override {
    vz::TRecStartInfo info;
    info.Connected = true;
    info.SvrAddr = "10.0.0." + std::to_string(player_);
    info.DataPort = 7000;
    info.PlayedVideoMask = 1;
    info.ChannelCount = 1;
    return info;
  }
  vz::TRecordSettings Settings() override {
    vz::TRecordSettings s;
    s.NmlRecPath = folder_;
    s.AlmRecPath = folder_;
    return s;
  }
  void SetFolders(const std::string&, const std::string&) override {}
  vz::TRecEvents Events() override { return {}; }
  vz::TavCache* PreAlarmCache() override { return nullptr; }
  vz::TDateTime Now() override { return vz::SdkNow(); }
  std::string StorageRoot() override { return folder_; }

 private:
  const std::string folder_;
  const int player_;
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_Record64(benchmark::State& state) {
  const std::vector<TFrame> stream = MakeStream();
  uint64_t stream_bytes = 0;
  for (const TFrame& f : stream) stream_bytes += f.bytes.size();
  const fs::path dir = fs::temp_directory_path() / ("vzrb_" + std::to_string(::getpid()));
  double rec_s = 0;
  double ref_s = 0;
  uint64_t frames_in = 0;
  uint64_t frames_in_files = 0;
  for (auto _ : state) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<std::unique_ptr<vz::TRecorder>> recs;
    for (int p = 0; p < kPlayers; ++p) {
      recs.push_back(std::make_unique<vz::TRecorder>(std::make_unique<TBenchHost>(dir.string() + "/", p)));
      if (!recs.back()->StartNmlRec(0)) state.SkipWithError("start failed");
    }
    std::atomic<uint64_t> handed{0};
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int p = 0; p < kPlayers; ++p) {
      threads.emplace_back([&, p] {
        vz::IFrameRecorder* r = recs[static_cast<std::size_t>(p)]->NormalRecorder();
        for (const TFrame& f : stream) r->WriteFrame(f.view);
        handed.fetch_add(stream.size());
      });
    }
    for (std::thread& t : threads) t.join();
    for (auto& r : recs) r->StopNmlRec(0);
    const auto t1 = std::chrono::steady_clock::now();
    rec_s += Seconds(t1 - t0);
    frames_in += handed.load();
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      if (!e.is_regular_file()) continue;
      frames_in_files += vz::CheckRecFilePath(e.path().string(), vz::TRecFirstFrame::KeyOnly).Frames;
    }

    // The reference: the same bytes, one file, one thread, one write per frame.
    const std::string ref = (dir / "reference.bin").string();
    const auto t2 = std::chrono::steady_clock::now();
    const int fd = ::open(ref.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (int p = 0; p < kPlayers && fd >= 0; ++p) {
      for (const TFrame& f : stream) {
        if (::write(fd, f.bytes.data(), f.bytes.size()) < 0) state.SkipWithError("reference write failed");
      }
    }
    if (fd >= 0) ::close(fd);
    const auto t3 = std::chrono::steady_clock::now();
    ref_s += Seconds(t3 - t2);
    state.SetIterationTime(Seconds(t1 - t0));
  }
  fs::remove_all(dir);
  const double total_mb = static_cast<double>(stream_bytes) * kPlayers * static_cast<double>(state.iterations()) / 1e6;
  state.counters["rec_MBps"] = total_mb / rec_s;
  state.counters["ref_MBps"] = total_mb / ref_s;
  state.counters["ratio"] = ref_s / rec_s;
  state.counters["frames_in"] = static_cast<double>(frames_in);
  state.counters["frames_in_files"] = static_cast<double>(frames_in_files);
  state.counters["lost"] = static_cast<double>(frames_in) - static_cast<double>(frames_in_files);
}
BENCHMARK(BM_Record64)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
