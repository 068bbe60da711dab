#include "Main_Self.h"

TFMain::TFMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("FMain");
  setWindowTitle("vzSurveillance");
  resize(1024, 768);
}

void TFMain::ShowLive(const std::vector<TLiveCamera>& cameras) {
  liveGrid_ = new TLiveGrid(cameras, this);
  setCentralWidget(liveGrid_);  // the window owns and frees the previous one
}
