// Exports of two-way talk. The talk handle is the talk object itself.
#include "LogWriter.h"
#include "NetApiGuard.h"
#include "class_NetTalk.h"

namespace {
vz::TNetTalk* TalkOf(vzTalkHandle talk) { return reinterpret_cast<vz::TNetTalk*>(talk); }
}  // namespace

extern "C" {

VZSDK_API vzBool vzNet_InitTalk(vzTalkHandle* Talk) {
  if (Talk == nullptr) return 0;
  *Talk = nullptr;
  try {
    *Talk = reinterpret_cast<vzTalkHandle>(new vz::TNetTalk());
    return 1;
  } catch (...) {
    vz::WriteLog("vzNet_InitTalk except");
    return 0;
  }
}

VZSDK_API vzBool vzNet_SetTalk(vzTalkHandle Talk, vzNetHandle Player) {
  if (Talk == nullptr) return 0;
  try {
    TalkOf(Talk)->SetPlayer(vz::api::PlayerOf(Player));
    return 1;
  } catch (...) {
    vz::WriteLog("vzNet_SetTalk except");
    return 0;
  }
}

VZSDK_API vzBool vzNet_FreeTalk(vzTalkHandle Talk) {
  if (Talk == nullptr) return 0;
  try {
    delete TalkOf(Talk);
    return 1;
  } catch (...) {
    vz::WriteLog("vzNet_FreeTalk except");
    return 0;
  }
}

}  // extern "C"
