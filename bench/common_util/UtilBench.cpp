// Crc32 against zlib's crc32 (the reference). Compare the bytes_per_second
// of the two rows of one size: the ratio is what matters, not the figures.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "FileUtils.h"

namespace {

std::vector<uint8_t> Buffer(size_t size) {
  std::vector<uint8_t> data(size);
  uint32_t x = 12345;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return data;
}

void BM_Crc32(benchmark::State& state) {
  const auto data = Buffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(vz::Crc32(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_ZlibCrc32Reference(benchmark::State& state) {
  const auto data = Buffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0L, data.data(), static_cast<uInt>(data.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Crc32)->Arg(1460)->Arg(1 << 20);
BENCHMARK(BM_ZlibCrc32Reference)->Arg(1460)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
