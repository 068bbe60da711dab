// Exports of the device link family.
#include "MySocket.h"
#include "vzSDK.h"

extern "C" {

VZSDK_API vzBool FastPing(const char* Host, int Port, uint32_t TimeOut) {
  try {
    return SktFastPing(Host, Port, TimeOut) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
