#pragma once
// Progress messages of a file player to the window the caller named by its
// native id (QWidget::winId() of a widget in this process), as
// TVzMessageEvent. "Sent": delivered before the call returns, on the GUI
// thread; from another thread the call waits for the GUI thread to deliver
// it, giving up when stopRequested turns true (a closing player never waits
// for a window that does not answer). Without a Qt application, or when no
// widget has that id, the message is dropped.
#include <cstdint>
#include <functional>

namespace vz {

void SendWindowMessage(uintptr_t window, uint32_t msg, uint32_t wParam, uint32_t lParam,
                       const std::function<bool()>& stopRequested);

}  // namespace vz
