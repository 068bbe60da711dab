// What a state change costs on a 64-pane grid: redrawing the one pane that
// changed (RefreshItem) against repainting the whole control, which is the
// reference measured in the same run. Both include the blit of the control.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>

#include "ImageList.h"
#include "SplitWindowEx.h"

namespace {

struct TGrid {
  TGrid() : icons(16, 16) {
    QImage icon(16, 16, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::red);
    for (int i = 0; i < 3; ++i) icons.Add(icon);
    sw.resize(1280, 960);
    sw.SetSplitNum(64);
    sw.SetText(QStringLiteral("No Signal"));
    sw.SetTitleStateImgLst(&icons);
    sw.SetTitleStateDisImgLst(&icons);
    sw.grab();
  }
  TImageList icons;
  TSplitWindowEx sw;
};

void BM_FullRepaint64(benchmark::State& state) {
  TGrid g;
  for (auto _ : state) {
    g.sw.SetTitleShow(true);  // invalidates the whole control
    benchmark::DoNotOptimize(g.sw.grab());
  }
}
BENCHMARK(BM_FullRepaint64)->Unit(benchmark::kMillisecond);

void BM_OnePaneRefresh64(benchmark::State& state) {
  TGrid g;
  g.sw.show();
  int index = 0;
  for (auto _ : state) {
    g.sw.Items(index + 1)->SetState(1, (index & 1) != 0);
    g.sw.RefreshItem(index + 1);
    for (int i = 0; i < 2; ++i) QCoreApplication::sendPostedEvents(&g.sw);
    benchmark::DoNotOptimize(g.sw.grab());
    index = (index + 1) % 64;
  }
}
BENCHMARK(BM_OnePaneRefresh64)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
