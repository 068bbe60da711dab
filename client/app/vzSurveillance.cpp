#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>

#include "Main_Self.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("vzSurveillance");
  TFMain mainWindow;
  mainWindow.show();
  // --quit-after MS: close by itself, for smoke runs without an operator.
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--quit-after") == 0) {
      QTimer::singleShot(std::atoi(argv[i + 1]), &mainWindow, &QWidget::close);
    }
  }
  return QApplication::exec();
}
