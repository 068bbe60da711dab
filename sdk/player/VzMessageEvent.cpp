#include "VzMessageEvent.h"

#include <QCoreApplication>

namespace vz {

TVzMessageEvent::TVzMessageEvent(uint32_t msg, uintptr_t wparam, intptr_t lparam)
    : QEvent(Type()), msg_(msg), wparam_(wparam), lparam_(lparam) {}

QEvent::Type TVzMessageEvent::Type() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

bool PostAppMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  QCoreApplication::postEvent(app, new TVzMessageEvent(msg, wparam, lparam));
  return true;
}

}  // namespace vz
