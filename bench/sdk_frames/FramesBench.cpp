// Frames of a 1 Mbit/s, 25 fps stream (about 5 KB each, a key frame every
// 50) through the pre-alarm cache and through the whole frame handler,
// next to a bare memcpy of the same bytes into a ring of the same size.
// Read the rows of one frame size against each other: the ratio is what
// matters, not the figures.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "AVFrameHead.h"
#include "class_FrameHandler.h"

namespace {

constexpr uint32_t kRing = 5 * 1048576;

std::vector<std::vector<uint8_t>> MakeFrames(uint32_t payload_bytes) {
  std::vector<std::vector<uint8_t>> frames;
  for (uint64_t i = 0; i < 250; ++i) {
    vz::TAVFrameHead h{};
    h.Magic = vz::kMarkerVideo;
    h.Len = payload_bytes + vz::kFrameLenOverhead;
    h.TimeStamp = (1700000000000ull + i * 40) * 1000;
    h.IsIFrame = i % 50 == 0 ? 1 : 0;
    std::vector<uint8_t> f(sizeof h + payload_bytes, static_cast<uint8_t>(i));
    std::memcpy(f.data(), &h, sizeof h);
    frames.push_back(std::move(f));
  }
  return frames;
}

// Time stamps keep rising across passes so the cache window keeps moving.
void Restamp(std::vector<uint8_t>& f, uint64_t pass) {
  vz::TAVFrameHead h;
  std::memcpy(&h, f.data(), sizeof h);
  h.TimeStamp += pass * 10000000ull;
  std::memcpy(f.data(), &h, sizeof h);
}

// The next frame; each new pass over the set is restamped outside the timing.
std::vector<uint8_t>& NextFrame(std::vector<std::vector<uint8_t>>& frames, size_t& i, benchmark::State& state) {
  if (i % frames.size() == 0) {
    state.PauseTiming();
    for (auto& g : frames) Restamp(g, 1);
    state.ResumeTiming();
  }
  return frames[i++ % frames.size()];
}

void BM_RingCopyReference(benchmark::State& state) {
  auto frames = MakeFrames(static_cast<uint32_t>(state.range(0)));
  std::vector<uint8_t> ring(kRing);
  size_t at = 0;
  size_t i = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& f = frames[i++ % frames.size()];
    if (at + f.size() + 16 >= ring.size()) at = 0;
    std::memcpy(ring.data() + at + 16, f.data(), f.size());
    at += f.size() + 16;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) + 24));
}

void BM_CacheAdd(benchmark::State& state) {
  auto frames = MakeFrames(static_cast<uint32_t>(state.range(0)));
  vz::TavCache cache;
  cache.SetPreAlarmTime(5);
  size_t i = 0;
  for (auto _ : state) {
    std::vector<uint8_t>& f = NextFrame(frames, i, state);
    benchmark::DoNotOptimize(cache.Add(f.data(), static_cast<uint32_t>(f.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) + 24));
}

void BM_FrameHandler(benchmark::State& state) {
  auto frames = MakeFrames(static_cast<uint32_t>(state.range(0)));
  std::mutex decoder_lock;
  vz::TFrameSeams seams;
  seams.DecoderLock = &decoder_lock;
  vz::TFrameHandler handler(seams);
  handler.Cache().SetPreAlarmTime(5);
  handler.Gate().SetDecodeStyle(vz::Decode_All);
  uint64_t delivered = 0;
  handler.SetOnAVData([&](const uint8_t*, uint32_t n) { delivered += n; });
  size_t i = 0;
  for (auto _ : state) {
    std::vector<uint8_t>& f = NextFrame(frames, i, state);
    handler.Handle(f.data(), static_cast<uint32_t>(f.size()));
  }
  benchmark::DoNotOptimize(delivered);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) + 24));
}

BENCHMARK(BM_RingCopyReference)->Arg(5000)->Arg(100000);
BENCHMARK(BM_CacheAdd)->Arg(5000)->Arg(100000);
BENCHMARK(BM_FrameHandler)->Arg(5000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
