#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Main_Self.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: vzSurveillance [--camera HOST:PORT[:USER:PASSWORD]]... [--quit-after MS]\n"
               "  --camera      show the live picture of a device (user admin/admin unless given)\n"
               "  --quit-after  close by itself after MS milliseconds\n");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("vzSurveillance");
  std::vector<TLiveCamera> cameras;
  int quitAfterMs = -1;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--camera") == 0 && hasValue) {
      TLiveCamera camera;
      if (!ParseLiveCamera(argv[++i], camera)) {
        std::fprintf(stderr, "vzSurveillance: not a camera address: %s\n", argv[i]);
        Usage();
        return 2;
      }
      cameras.push_back(camera);
    } else if (std::strcmp(argv[i], "--quit-after") == 0 && hasValue) {
      quitAfterMs = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--help") == 0) {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "vzSurveillance: unknown argument: %s\n", argv[i]);
      Usage();
      return 2;
    }
  }
  TFMain mainWindow;
  if (!cameras.empty()) mainWindow.ShowLive(cameras);
  mainWindow.show();
  if (quitAfterMs >= 0) QTimer::singleShot(quitAfterMs, &mainWindow, &QWidget::close);
  return QApplication::exec();
}
