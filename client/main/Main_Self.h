#pragma once
#include <QMainWindow>

// The operator's main window.
class TFMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFMain(QWidget* parent = nullptr);
};
