// The exported LAN search over the SDK's one search object.
#include "class_Search.h"
#include "vzSDK.h"

namespace {

// Never destroyed: a search left open at process exit must not tear down
// sockets while other static objects are already gone.
vz::TSearch& Search() {
  static vz::TSearch* search = new vz::TSearch();
  return *search;
}

}  // namespace

extern "C" {

VZSDK_API vzBool vzSearch_Init(TSearchDevCallback Callback) {
  try {
    return Search().Init(Callback) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzSearch_SearchDevice(void) {
  try {
    return Search().SearchDevice() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzSearch_AdjustTime(void) {
  try {
    return Search().AdjustTime() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzSearch_Free(void) {
  try {
    return Search().Free() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API int32_t vzSearch_ProcessEvents(int32_t TimeoutMs) {
  try {
    return Search().ProcessEvents(TimeoutMs);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
