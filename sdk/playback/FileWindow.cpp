#include "FileWindow.h"

#include <QApplication>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "VzMessageEvent.h"

namespace vz {

namespace {

constexpr auto kStopCheck = std::chrono::milliseconds(20);

void Deliver(uintptr_t window, uint32_t msg, uint32_t wParam, uint32_t lParam) {
  QWidget* target = QWidget::find(static_cast<WId>(window));
  if (target == nullptr) return;
  TVzMessageEvent event(msg, wParam, lParam);
  QCoreApplication::sendEvent(target, &event);
}

struct TDelivered {
  std::mutex lock;
  std::condition_variable wake;  // with lock
  bool done = false;             // guarded by lock
};

}  // namespace

void SendWindowMessage(uintptr_t window, uint32_t msg, uint32_t wParam, uint32_t lParam,
                       const std::function<bool()>& stopRequested) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || window == 0 || qobject_cast<QApplication*>(app) == nullptr) return;
  if (QThread::currentThread() == app->thread()) {
    Deliver(window, msg, wParam, lParam);
    return;
  }
  // Shared with the queued call, which may run after this sender gave up.
  auto delivered = std::make_shared<TDelivered>();
  QMetaObject::invokeMethod(
      app,
      [delivered, window, msg, wParam, lParam] {
        Deliver(window, msg, wParam, lParam);
        std::lock_guard<std::mutex> g(delivered->lock);
        delivered->done = true;
        delivered->wake.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> g(delivered->lock);
  while (!delivered->wake.wait_for(g, kStopCheck, [&] { return delivered->done; })) {
    if (stopRequested && stopRequested()) return;
  }
}

}  // namespace vz
