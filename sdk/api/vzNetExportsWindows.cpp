// Exports of the live player that open windows of the library (device
// configuration, remote recording search). Those windows are not part of
// the library yet: each answers false without any effect.
#include "NetApiGuard.h"

extern "C" {

VZSDK_API vzBool vzNet_ShowDeviceConfig(vzNetHandle Handle, int32_t LangIndex, vzBool Flag) {
  (void)LangIndex;
  (void)Flag;
  return vz::api::GuardBool("vzNet_ShowDeviceConfig", Handle, [](TAxPlay& p) {
    constexpr int32_t kAdministrator = 3;
    if (p.UserLevel() != kAdministrator) return false;
    return false;  // no configuration window to show
  });
}

VZSDK_API vzBool vzNet_SearchPlay(const char* DevAddr, int32_t DataPort, const char* UserName, const char* Password,
                                  const char* Reserved1, const char* Reserved2, int32_t LangIndex, int32_t WebPort) {
  (void)DevAddr;
  (void)DataPort;
  (void)UserName;
  (void)Password;
  (void)Reserved1;
  (void)Reserved2;
  (void)LangIndex;
  (void)WebPort;
  return 0;  // no search window to show
}

}  // extern "C"
