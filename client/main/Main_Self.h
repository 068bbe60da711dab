#pragma once
#include <QMainWindow>
#include <vector>

#include "LiveGrid.h"

// The operator's main window.
class TFMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFMain(QWidget* parent = nullptr);

  // Shows a live pane for each camera in place of the window's contents.
  void ShowLive(const std::vector<TLiveCamera>& cameras);
  TLiveGrid* LiveGrid() const { return liveGrid_; }

 private:
  TLiveGrid* liveGrid_ = nullptr;
};
