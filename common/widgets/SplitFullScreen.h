#pragma once
// The borderless, stay-on-top black window a split window shows its selected
// pane in. It lives as long as its control and only reports double-clicks;
// the control decides what they mean.
#include <QWidget>
#include <functional>

class TSplitFullScreen : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTag = 99;

  explicit TSplitFullScreen(QWidget* owner);

  std::function<void()> OnDblClick;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};
