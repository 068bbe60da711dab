#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "Main_Self.h"

namespace {

TEST(ClientWindow, OpensAndClosesCleanly) {
  TFMain window;
  window.show();
  EXPECT_TRUE(window.isVisible());
  QTimer::singleShot(50, &window, &QWidget::close);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
