// Exports of the live player: local recording and snapshots. The player
// answers false for each while it has no recorder or picture to work with.
#include <string>

#include "NetApiGuard.h"

using vz::api::GuardBool;
using vz::api::Text;

extern "C" {

VZSDK_API vzBool vzNet_StartNmlRec(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_StartNmlRec", Handle, [&](TAxPlay& p) { return p.StartNmlRec(Chl); });
}

VZSDK_API vzBool vzNet_StopNmlRec(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_StopNmlRec", Handle, [&](TAxPlay& p) { return p.StopNmlRec(Chl); });
}

VZSDK_API vzBool vzNet_StartAlmRec(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_StartAlmRec", Handle, [&](TAxPlay& p) { return p.StartAlmRec(Chl); });
}

VZSDK_API vzBool vzNet_StopAlmRec(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_StopAlmRec", Handle, [&](TAxPlay& p) { return p.StopAlmRec(Chl); });
}

VZSDK_API vzBool vzNet_IsNmlRec(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_IsNmlRec", Handle, [&](TAxPlay& p) { return p.IsNmlRec(Chl); });
}

VZSDK_API vzBool vzNet_IsAlmRec(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_IsAlmRec", Handle, [&](TAxPlay& p) { return p.IsAlmRec(Chl); });
}

VZSDK_API vzBool vzNet_SetRecTimeLen(vzNetHandle Handle, int32_t NmlTimeLen, int32_t AlmPrevTimeLen,
                                     int32_t AlmTimeLen) {
  return GuardBool("vzNet_SetRecTimeLen", Handle, [&](TAxPlay& p) {
    p.SetRecTimeLen(NmlTimeLen, AlmPrevTimeLen, AlmTimeLen);
    return true;
  });
}

VZSDK_API vzBool vzNet_SetRecPath(vzNetHandle Handle, const char* NmlRecPath, const char* AlmRecPath,
                                  const char* SnapshotPath) {
  return GuardBool("vzNet_SetRecPath", Handle, [&](TAxPlay& p) {
    p.SetRecPath(Text(NmlRecPath), Text(AlmRecPath), Text(SnapshotPath));
    return true;
  });
}

VZSDK_API vzBool vzNet_SaveToJpg(vzNetHandle Handle, int32_t Chl, const char* FileName) {
  return GuardBool("vzNet_SaveToJpg", Handle, [&](TAxPlay& p) { return p.SaveToJpg(Chl, Text(FileName)); });
}

}  // extern "C"
