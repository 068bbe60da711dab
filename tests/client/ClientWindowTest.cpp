#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "Main_Self.h"

namespace {

int argc = 1;
char arg0[] = "client_window_test";
char* argv[] = {arg0, nullptr};

TEST(ClientWindow, OpensAndClosesCleanly) {
  QApplication app(argc, argv);
  TFMain window;
  window.show();
  EXPECT_TRUE(window.isVisible());
  QTimer::singleShot(50, &window, &QWidget::close);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
