// One frame per iteration of a 25 fps H.264 stream (a key frame every 25)
// through TAVDecode, picture hand-over included, next to the library's
// send/receive loop on the same bytes with the same settings (one thread).
// Read each size's two rows against each other: the ratio matters.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <map>
#include <utility>
#include <vector>

#include "TestStreams.h"
#include "class_Decode.h"

namespace {

constexpr int kFrames = 50;

// Textured pictures so the decoder has real work: the stream is encoded
// once per size and shared by both rows.
const std::vector<vztest::TEncodedFrame>& Stream(int width, int height) {
  static std::map<std::pair<int, int>, std::vector<vztest::TEncodedFrame>> streams;
  auto& s = streams[{width, height}];
  if (s.empty()) s = vztest::EncodeStream(vztest::TTestCodec::H264, width, height, kFrames, 25, 0, 0, true);
  return s;
}

void BM_PlainLibraryDecode(benchmark::State& state) {
  const auto& frames = Stream(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->thread_count = 1;
  ctx->flags2 |= AV_CODEC_FLAG2_CHUNKS;
  avcodec_open2(ctx, codec, nullptr);
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  size_t i = 0;
  int64_t pictures = 0;
  for (auto _ : state) {
    const auto& f = frames[i++ % frames.size()];
    packet->data = const_cast<uint8_t*>(f.Bytes.data());
    packet->size = static_cast<int>(f.Bytes.size());
    avcodec_send_packet(ctx, packet);
    while (avcodec_receive_frame(ctx, frame) == 0) {
      benchmark::DoNotOptimize(frame->data[0][0]);
      ++pictures;
    }
  }
  state.counters["pictures"] = static_cast<double>(pictures);
  state.SetItemsProcessed(state.iterations());
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&ctx);
}

void BM_TAVDecode(benchmark::State& state) {
  const auto& frames = Stream(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  vz::TAVDecode dec;
  dec.SetCodec(vz::Codec_H264);
  dec.Open();
  size_t i = 0;
  int64_t pictures = 0;
  uint64_t second = 0;
  for (auto _ : state) {
    const auto& f = frames[i++ % frames.size()];
    if (dec.Decode(f.Bytes.data(), static_cast<int32_t>(f.Bytes.size()), second + i / 25))
      dec.TakePicture([&](const vz::TDecodedPicture& p) {
        benchmark::DoNotOptimize(p.Plane[0][0]);
        ++pictures;
      });
  }
  state.counters["pictures"] = static_cast<double>(pictures);
  state.SetItemsProcessed(state.iterations());
}

// Each size's two rows run back to back, so a busy machine weighs on both.
BENCHMARK(BM_PlainLibraryDecode)->Args({704, 576})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TAVDecode)->Args({704, 576})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLibraryDecode)->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TAVDecode)->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLibraryDecode)->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TAVDecode)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
