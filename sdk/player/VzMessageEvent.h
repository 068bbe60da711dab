#pragma once
// Window messages of the SDK as Qt events. A message the SDK posts to "the
// application window" becomes a TVzMessageEvent posted to the
// QCoreApplication object; without one it is dropped. A message for a
// window the caller named by its native id goes to that widget instead.
// Receivers look for event->type() == TVzMessageEvent::Type().
#include <QEvent>
#include <cstdint>

namespace vz {

constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kWmDisplayChange = 0x007E;
// Posted by live players; WParam is the player (TAxPlay*).
constexpr uint32_t kMsgPictureSize = kWmUser + 256;  // LParam = channel
constexpr uint32_t kMsgConnecting = kWmUser + 258;
constexpr uint32_t kMsgConnected = kWmUser + 260;

class TVzMessageEvent : public QEvent {
 public:
  TVzMessageEvent(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  // The registered event type, the same for every instance.
  static QEvent::Type Type();

  uint32_t Msg() const { return msg_; }
  uintptr_t WParam() const { return wparam_; }
  intptr_t LParam() const { return lparam_; }

 private:
  uint32_t msg_;
  uintptr_t wparam_;
  intptr_t lparam_;
};

// Posts to the application object; false (nothing posted) without one.
// Callable from any thread.
bool PostAppMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam);

}  // namespace vz
