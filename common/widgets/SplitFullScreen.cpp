#include "SplitFullScreen.h"

#include <QPalette>

TSplitFullScreen::TSplitFullScreen(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("SplitFullScreen"));
  setProperty("Tag", kTag);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);
  hide();
}

void TSplitFullScreen::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  if (OnDblClick) OnDblClick();
}
