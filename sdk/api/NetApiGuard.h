#pragma once
// What every live-player export does around its player operation: a null
// handle answers 0 without any other effect, and nothing thrown inside
// leaves the C interface (it is logged with the export's name and answers
// 0).
#include <string>
#include <type_traits>

#include "LogWriter.h"
#include "class_AxPlay.h"
#include "vzSDK.h"

namespace vz::api {

inline TAxPlay* PlayerOf(vzNetHandle handle) { return reinterpret_cast<TAxPlay*>(handle); }
inline vzNetHandle HandleOf(TAxPlay* player) { return reinterpret_cast<vzNetHandle>(player); }

inline vzBool Bool(bool value) { return value ? 1 : 0; }

// A caller's string; null counts as empty.
inline std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

// Runs op(player) for a non-null handle; fail for a null one or when op
// throws. op returns the export's result (bool results become 1/0).
template <typename R, typename F>
R Guard(const char* name, vzNetHandle handle, R fail, F&& op) noexcept {
  if (handle == nullptr) return fail;
  try {
    if constexpr (std::is_same_v<R, vzBool>) {
      return Bool(op(*PlayerOf(handle)));
    } else {
      return static_cast<R>(op(*PlayerOf(handle)));
    }
  } catch (...) {
    try {
      WriteLogF("%s except", name);
    } catch (...) {
    }
    return fail;
  }
}

template <typename F>
vzBool GuardBool(const char* name, vzNetHandle handle, F&& op) noexcept {
  return Guard<vzBool>(name, handle, 0, std::forward<F>(op));
}

}  // namespace vz::api
