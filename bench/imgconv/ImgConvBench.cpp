// Speed of the image library against public references, single thread, on
// the same pictures: YUV 4:2:0 to BGR32 (libyuv I420ToARGB, libswscale to
// BGRA) and deinterlacing (libavfilter yadif and bwdif). After the run the
// ratios ours / reference are printed per picture size (above 1: faster).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ConvertKernels.h"
#include "class_DeInterlace.h"
#include "vzbb.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}
#include <libyuv.h>

namespace {

struct Size {
  int width, height;
};
const Size kSizes[] = {{704, 576}, {1280, 720}, {1920, 1080}};
constexpr int kFrames = 4;  // distinct frames cycled through, so a scene moves

// kFrames YUV 4:2:0 frames in AVFrames (the references want them that way;
// ours reads the same planes).
class Frames {
 public:
  explicit Frames(Size s) {
    std::mt19937 rng(unsigned(s.width));
    for (int i = 0; i < kFrames; ++i) {
      AVFrame* f = av_frame_alloc();
      f->width = s.width;
      f->height = s.height;
      f->format = AV_PIX_FMT_YUV420P;
      av_frame_get_buffer(f, 64);
      for (int p = 0; p < 3; ++p) {
        const int w = p ? s.width / 2 : s.width, h = p ? s.height / 2 : s.height;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            // Gradients with a moving textured band and some noise.
            int v = (x + 2 * y + 16 * i) & 0xFF;
            if (x > w / 3 && x < w / 2 + 8 * i) v = int(rng() & 0xFF);
            f->data[p][y * f->linesize[p] + x] = uint8_t(v);
          }
      }
      f->interlaced_frame = 1;
      f->top_field_first = 1;
      frames_.push_back(f);
    }
  }
  ~Frames() {
    for (AVFrame* f : frames_) av_frame_free(&f);
  }
  Frames(const Frames&) = delete;
  Frames& operator=(const Frames&) = delete;
  AVFrame* at(size_t i) const { return frames_[i % frames_.size()]; }

 private:
  std::vector<AVFrame*> frames_;
};

void SetRate(benchmark::State& state, Size s) {
  state.counters["pixels/s"] = benchmark::Counter(double(s.width) * s.height,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

Size SizeOf(const benchmark::State& state) { return {int(state.range(0)), int(state.range(1))}; }

// ---- Converters -------------------------------------------------------------

void BM_Bgr32_vzbb(benchmark::State& state) {
  const Size s = SizeOf(state);
  Frames frames(s);
  std::vector<uint8_t> out(size_t(s.width) * s.height * 4);
  size_t i = 0;
  for (auto _ : state) {
    const AVFrame* f = frames.at(i++);
    YUV420ToBGR32(f->data[0], f->data[2], f->data[1], out.data(), f->linesize[0], f->linesize[1],
                  s.width, s.height, 0);
    benchmark::DoNotOptimize(out.data());
  }
  SetRate(state, s);
}

void ConvertPath(benchmark::State& state, vzbb::SimdPath path) {
  const Size s = SizeOf(state);
  const vzbb::ConvertRowsFn rows = vzbb::ConvertRowsFor(path);
  if (!rows) {
    state.SkipWithError("not supported here");
    return;
  }
  Frames frames(s);
  std::vector<uint8_t> out(size_t(s.width) * s.height * 4);
  size_t i = 0;
  for (auto _ : state) {
    const AVFrame* f = frames.at(i++);
    vzbb::ConvertWith(rows, {f->data[0], f->data[1], f->data[2], out.data(), f->linesize[0],
                             f->linesize[1], s.width, s.height, 0, vzbb::PixelLayout::kBgr32});
    benchmark::DoNotOptimize(out.data());
  }
  SetRate(state, s);
}
void BM_Bgr32_vzbb_scalar(benchmark::State& state) { ConvertPath(state, vzbb::SimdPath::kScalar); }
void BM_Bgr32_vzbb_sse2(benchmark::State& state) { ConvertPath(state, vzbb::SimdPath::kSse2); }
void BM_Bgr32_vzbb_avx2(benchmark::State& state) { ConvertPath(state, vzbb::SimdPath::kAvx2); }

void BM_Bgr32_libyuv(benchmark::State& state) {
  const Size s = SizeOf(state);
  Frames frames(s);
  std::vector<uint8_t> out(size_t(s.width) * s.height * 4);
  size_t i = 0;
  for (auto _ : state) {
    const AVFrame* f = frames.at(i++);
    // libyuv's ARGB is B, G, R, A in memory: the same bytes as BGR32.
    libyuv::I420ToARGB(f->data[0], f->linesize[0], f->data[1], f->linesize[1], f->data[2],
                       f->linesize[2], out.data(), s.width * 4, s.width, s.height);
    benchmark::DoNotOptimize(out.data());
  }
  SetRate(state, s);
}

void BM_Bgr32_swscale(benchmark::State& state) {
  const Size s = SizeOf(state);
  Frames frames(s);
  SwsContext* ctx = sws_getContext(s.width, s.height, AV_PIX_FMT_YUV420P, s.width, s.height,
                                   AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  std::vector<uint8_t> out(size_t(s.width) * s.height * 4);
  uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
  int dst_stride[4] = {s.width * 4, 0, 0, 0};
  size_t i = 0;
  for (auto _ : state) {
    const AVFrame* f = frames.at(i++);
    sws_scale(ctx, f->data, f->linesize, 0, s.height, dst, dst_stride);
    benchmark::DoNotOptimize(out.data());
  }
  sws_freeContext(ctx);
  SetRate(state, s);
}

// ---- Deinterlacers ----------------------------------------------------------

void Deinterlace(benchmark::State& state, vzbb::MissingLineFn line) {
  const Size s = SizeOf(state);
  if (!line) {
    state.SkipWithError("not supported here");
    return;
  }
  Frames frames(s);
  AVFrame* out = av_frame_alloc();
  out->width = s.width;
  out->height = s.height;
  out->format = AV_PIX_FMT_YUV420P;
  av_frame_get_buffer(out, 64);
  const AVFrame* f0 = frames.at(0);
  vzbb::TDeInterlace* d = nullptr;
  // Fields are every other line of the frame: twice the frame's strides.
  vzbb::TDeInterlace::Create({s.width, s.height / 2, 2 * f0->linesize[0], 2 * f0->linesize[1],
                              out->linesize[0], out->linesize[1]},
                             line, &d);
  size_t i = 0;
  for (auto _ : state) {
    const AVFrame* f = frames.at(i++);
    d->Process(out->data[0], out->data[1], out->data[2], f->data[0], f->data[1], f->data[2], 1);
    d->Process(out->data[0], out->data[1], out->data[2], f->data[0] + f->linesize[0],
               f->data[1] + f->linesize[1], f->data[2] + f->linesize[2], 2);
    benchmark::DoNotOptimize(out->data[0]);
  }
  vzbb::TDeInterlace::Destroy(d);
  av_frame_free(&out);
  SetRate(state, s);
}
void BM_Deint_vzbb(benchmark::State& state) {
  Deinterlace(state, vzbb::MissingLineFor(vzbb::BestSimdPath()));
}
void BM_Deint_vzbb_scalar(benchmark::State& state) { Deinterlace(state, vzbb::MissingLineReference); }
void BM_Deint_vzbb_avx2(benchmark::State& state) {
  Deinterlace(state, vzbb::MissingLineFor(vzbb::SimdPath::kAvx2));
}
void BM_Deint_vzbb_sse2(benchmark::State& state) {
  Deinterlace(state, vzbb::MissingLineFor(vzbb::SimdPath::kSse2));
}

// buffer -> filter -> buffersink, one thread.
void FilterGraph(benchmark::State& state, const char* filter) {
  const Size s = SizeOf(state);
  Frames frames(s);
  AVFilterGraph* graph = avfilter_graph_alloc();
  graph->nb_threads = 1;
  char args[160];
  std::snprintf(args, sizeof args,
                "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1", s.width, s.height,
                int(AV_PIX_FMT_YUV420P));
  AVFilterContext *src = nullptr, *sink = nullptr, *deint = nullptr;
  bool ok = avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), "in", args, nullptr, graph) >= 0 &&
            avfilter_graph_create_filter(&deint, avfilter_get_by_name(filter), "deint",
                                         "mode=send_frame:parity=tff:deint=all", nullptr, graph) >= 0 &&
            avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph) >= 0 &&
            avfilter_link(src, 0, deint, 0) >= 0 && avfilter_link(deint, 0, sink, 0) >= 0 &&
            avfilter_graph_config(graph, nullptr) >= 0;
  if (!ok) {
    avfilter_graph_free(&graph);
    state.SkipWithError("filter graph");
    return;
  }
  AVFrame* out = av_frame_alloc();
  int64_t pts = 0;
  auto push = [&](size_t i) {
    AVFrame* f = frames.at(i);
    f->pts = pts++;
    if (av_buffersrc_add_frame_flags(src, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) return false;
    if (av_buffersink_get_frame(sink, out) >= 0) av_frame_unref(out);
    return true;
  };
  for (size_t i = 0; i < 3; ++i) ok = ok && push(i);  // the filters look one frame ahead
  size_t i = 3;
  for (auto _ : state)
    if (!push(i++)) ok = false;
  if (!ok) state.SkipWithError("filter refused a frame");
  av_frame_free(&out);
  avfilter_graph_free(&graph);
  SetRate(state, s);
}
void BM_Deint_yadif(benchmark::State& state) { FilterGraph(state, "yadif"); }
void BM_Deint_bwdif(benchmark::State& state) { FilterGraph(state, "bwdif"); }

void Sizes(benchmark::internal::Benchmark* b) {
  for (const Size& s : kSizes) b->Args({s.width, s.height});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Bgr32_vzbb)->Apply(Sizes);
BENCHMARK(BM_Bgr32_vzbb_avx2)->Apply(Sizes);
BENCHMARK(BM_Bgr32_vzbb_sse2)->Apply(Sizes);
BENCHMARK(BM_Bgr32_vzbb_scalar)->Apply(Sizes);
BENCHMARK(BM_Bgr32_libyuv)->Apply(Sizes);
BENCHMARK(BM_Bgr32_swscale)->Apply(Sizes);
BENCHMARK(BM_Deint_vzbb)->Apply(Sizes);
BENCHMARK(BM_Deint_vzbb_avx2)->Apply(Sizes);
BENCHMARK(BM_Deint_vzbb_sse2)->Apply(Sizes);
BENCHMARK(BM_Deint_vzbb_scalar)->Apply(Sizes);
BENCHMARK(BM_Deint_yadif)->Apply(Sizes);
BENCHMARK(BM_Deint_bwdif)->Apply(Sizes);

// Keeps each run's time per iteration to print the ratios afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // One run per benchmark, or with repetitions their median.
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
        seconds_[r.run_name.str()] = r.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    const char* pairs[][2] = {{"Bgr32_vzbb", "Bgr32_libyuv"},  {"Bgr32_vzbb", "Bgr32_swscale"},
                              {"Bgr32_vzbb_avx2", "Bgr32_libyuv"}, {"Bgr32_vzbb_sse2", "Bgr32_libyuv"},
                              {"Deint_vzbb", "Deint_yadif"},
                              {"Deint_vzbb", "Deint_bwdif"},   {"Deint_vzbb_avx2", "Deint_yadif"},
                              {"Deint_vzbb_sse2", "Deint_yadif"}};
    std::printf("\nspeed ratios (reference CPU time / ours; above 1 we are faster)\n");
    for (const Size& s : kSizes)
      for (const auto& p : pairs) {
        char ours_name[96], ref_name[96];
        std::snprintf(ours_name, sizeof ours_name, "BM_%s/%d/%d", p[0], s.width, s.height);
        std::snprintf(ref_name, sizeof ref_name, "BM_%s/%d/%d", p[1], s.width, s.height);
        const auto ours = seconds_.find(ours_name);
        const auto ref = seconds_.find(ref_name);
        if (ours == seconds_.end() || ref == seconds_.end()) continue;
        std::printf("%4dx%-4d %-16s vs %-14s %6.2f\n", s.width, s.height, p[0], p[1],
                    ref->second / ours->second);
      }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
