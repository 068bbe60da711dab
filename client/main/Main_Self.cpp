#include "Main_Self.h"

TFMain::TFMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("FMain");
  setWindowTitle("vzSurveillance");
  resize(1024, 768);
}
