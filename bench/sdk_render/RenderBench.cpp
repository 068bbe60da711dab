// Per picture: the scaler's YUV 4:2:0 -> BGRA conversion alone (the
// reference), each converter the renderer can use, and the renderer's whole
// path: conversion, three outlined text items and an indicator, hand-over to
// the GUI thread and the paint of the target widget (offscreen platform).
// Each reports "x_scaler": its processor time per picture divided by the
// reference's, both measured on this thread in the same run (processor time,
// so other work on the machine does not tilt the ratio).
#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <QApplication>
#include <QWidget>

#include <ctime>
#include <cstdint>
#include <map>
#include <vector>

#include "class_DRender.h"
#include "class_DspPresenter.h"
#include "class_YuvToRgb.h"

namespace {

struct TSize {
  int W, H;
};
constexpr TSize kSizes[] = {{704, 576}, {1280, 720}, {1920, 1080}};

// A moving gradient, so no converter meets flat data.
struct TFrame {
  std::vector<uint8_t> Y, U, V;
  vz::TDecodedPicture Pic;
  TFrame(int w, int h) : Y(static_cast<size_t>(w * h)), U(static_cast<size_t>(w * h / 4)), V(U.size()) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Y[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(16 + (x + 3 * y) % 220);
    for (size_t i = 0; i < U.size(); ++i) {
      U[i] = static_cast<uint8_t>(64 + i % 128);
      V[i] = static_cast<uint8_t>(192 - i % 128);
    }
    Pic.Plane[0] = Y.data();
    Pic.Plane[1] = U.data();
    Pic.Plane[2] = V.data();
    Pic.LineSize[0] = w;
    Pic.LineSize[1] = Pic.LineSize[2] = w / 2;
    Pic.Width = w;
    Pic.Height = h;
  }
};

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Processor seconds per picture of the scaler alone, measured once per size.
double ScalerSeconds(int w, int h) {
  static std::map<int, double> cache;
  auto it = cache.find(w);
  if (it != cache.end()) return it->second;
  TFrame f(w, h);
  std::vector<uint8_t> out(static_cast<size_t>(w * h * 4));
  SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_BGRA, SWS_BICUBIC,
                                   nullptr, nullptr, nullptr);
  const int src_stride[4] = {w, w / 2, w / 2, 0};
  uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
  const int dst_stride[4] = {w * 4, 0, 0, 0};
  const int n = 300;
  sws_scale(sws, f.Pic.Plane, src_stride, 0, h, dst, dst_stride);
  const double t0 = ThreadCpuSeconds();
  for (int i = 0; i < n; ++i) sws_scale(sws, f.Pic.Plane, src_stride, 0, h, dst, dst_stride);
  const double s = (ThreadCpuSeconds() - t0) / n;
  sws_freeContext(sws);
  cache[w] = s;
  return s;
}

void BM_ScalerOnly(benchmark::State& state) {
  const TSize sz = kSizes[state.range(0)];
  TFrame f(sz.W, sz.H);
  std::vector<uint8_t> out(static_cast<size_t>(sz.W * sz.H * 4));
  SwsContext* sws = sws_getContext(sz.W, sz.H, AV_PIX_FMT_YUV420P, sz.W, sz.H, AV_PIX_FMT_BGRA,
                                   SWS_BICUBIC, nullptr, nullptr, nullptr);
  const int src_stride[4] = {sz.W, sz.W / 2, sz.W / 2, 0};
  uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
  const int dst_stride[4] = {sz.W * 4, 0, 0, 0};
  for (auto _ : state) sws_scale(sws, f.Pic.Plane, src_stride, 0, sz.H, dst, dst_stride);
  sws_freeContext(sws);
  state.SetLabel(std::to_string(sz.W) + "x" + std::to_string(sz.H));
}

void BM_Converter(benchmark::State& state) {
  const TSize sz = kSizes[state.range(0)];
  const auto path = static_cast<vz::TRgbPath>(state.range(1));
  TFrame f(sz.W, sz.H);
  std::vector<uint8_t> out(static_cast<size_t>(sz.W * sz.H * 4));
  vz::TYuvToRgb conv(path);
  const double t0 = ThreadCpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(conv.Convert(f.Pic, out.data(), sz.W * 4));
  const double per = (ThreadCpuSeconds() - t0) / static_cast<double>(state.iterations());
  state.SetLabel(std::to_string(sz.W) + "x" + std::to_string(sz.H) +
                 (path == vz::TRgbPath::ImageLibrary ? " image library" : " scaler"));
  state.counters["x_scaler"] = per / ScalerSeconds(sz.W, sz.H);
}

void BM_RenderPath(benchmark::State& state) {
  const TSize sz = kSizes[state.range(0)];
  const auto path = static_cast<vz::TRgbPath>(state.range(1));
  TFrame f(sz.W, sz.H);
  QWidget target;
  target.resize(640, 480);
  target.show();
  QCoreApplication::processEvents();
  vz::TDspInfoLst list;
  vz::TDspInfo info{static_cast<uint64_t>(target.winId()), 0, {0, 0, 640, 480}};
  list.Add(&info);
  vz::TRender render(&list, path);
  render.SetPictureSize(sz.W, sz.H);
  const char* texts[] = {"2026-12-10 08:00:00", "Camera title", "25 fps ,  1024 Kbps"};
  for (int i = 0; i < 3; ++i) {
    vz::TTextParam t;
    t.Visible = 1;
    t.X = 10;
    t.Y = static_cast<int16_t>(10 + 40 * i);
    t.Colour = 0xFFFFFF;
    t.Text = texts[i];
    render.SetTextItem(i, t);
  }
  vz::TTextParam rec;
  rec.Visible = 1;
  rec.X = static_cast<int16_t>(sz.W - 80);
  rec.Colour = 0x0000FF;
  rec.Text = "=";
  render.SetIndicatorItem(0, rec);
  const uint64_t flushes = vz::TDspPresenter::FlushCount();
  const double t0 = ThreadCpuSeconds();
  for (auto _ : state) {
    render.Render(f.Pic, 0, &list);
    QCoreApplication::processEvents();  // the flush and the widget's paint
    QCoreApplication::processEvents();
  }
  const double per = (ThreadCpuSeconds() - t0) / static_cast<double>(state.iterations());
  if (vz::TDspPresenter::FlushCount() - flushes < static_cast<uint64_t>(state.iterations()))
    state.SkipWithError("pictures were not presented one by one");
  state.SetLabel(std::to_string(sz.W) + "x" + std::to_string(sz.H) +
                 (path == vz::TRgbPath::ImageLibrary ? " image library" : " scaler"));
  state.counters["x_scaler"] = per / ScalerSeconds(sz.W, sz.H);
}

}  // namespace

BENCHMARK(BM_ScalerOnly)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Converter)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderPath)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
