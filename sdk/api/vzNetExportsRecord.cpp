// Exports of the live player: local recording and snapshots. The player
// answers false for each while it has no recorder or picture to work with.
#include <string>

#include "NetApiGuard.h"
#include "class_NetCallbacks.h"
#include "class_Recorder.h"

using vz::api::GuardBool;
using vz::api::Text;

namespace {

// The recorders of a player raise the events vzNet_SetRecordEvent stored
// for it; only the events set at that moment are handed out.
vz::TRecEvents EventsOf(const void* player) {
  vz::TRecEvents events;
  const std::shared_ptr<vz::TNetCallbacks> cb = vz::TNetCallbacks::Of(player);
  if (!cb) return events;
  const vz::TNetCallbacks::TRecord set = cb->Record();
  if (set.Start != nullptr) {
    events.Start = [cb](const char* addr, int32_t port, int32_t chl, int32_t kind, vz::TDateTime start,
                        const char* file, int32_t* slot) { cb->RecStart(addr, port, chl, kind, start, file, slot); };
  }
  if (set.Stop != nullptr) {
    events.Stop = [cb](const char* addr, int32_t port, int32_t chl, int32_t kind, int64_t bytes, vz::TDateTime start,
                       vz::TDateTime stop, const char* file,
                       int32_t slot) { cb->RecStop(addr, port, chl, kind, bytes, start, stop, file, slot); };
  }
  if (set.Path != nullptr) events.Path = [cb](char* folder40) { cb->RecPath(folder40); };
  return events;
}

const bool kEventsInstalled = (vz::TRecorder::SetEventSource(EventsOf), true);

}  // namespace

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
