// Exports of the live player: creation, callbacks, connection and state.
#include <string>

#include "NetApiGuard.h"
#include "class_NetCallbacks.h"

using vz::TNetCallbacks;
using vz::api::GuardBool;
using vz::api::Text;

namespace {

// The adapters between the player's hooks and the application's callbacks.
// Each hook holds its own reference: a hook in flight while the player is
// freed still finds its object.
void InstallAdapters(TAxPlay& player, const std::shared_ptr<TNetCallbacks>& cb) {
  player.SetOnAVData([cb](TAxPlay&, const uint8_t* frame, int32_t, uint32_t total) { cb->AVData(frame, total); });
  player.SetOnAlarm([cb](TAxPlay&, int32_t type, int32_t chl, int32_t, double time) { cb->Alarm(type, chl, time); });
  player.SetOnRenderAfter(
      [cb](TAxPlay&, uintptr_t dc, int32_t chl) { cb->Draw(reinterpret_cast<void*>(dc), chl); });
}

}  // namespace

extern "C" {

VZSDK_API vzBool vzNet_Init(vzNetHandle* Handle, int32_t DevType, int32_t ThreadMode, vzBool WaveCallbackMode,
                            vzBool HideUpgrade, int32_t SysMemSurface) {
  if (Handle == nullptr) return 0;
  *Handle = nullptr;
  // Sound output runs on its own thread and drawing surfaces always live in
  // system memory here, so neither choice changes anything.
  (void)WaveCallbackMode;
  (void)SysMemSurface;
  TAxPlay* player = nullptr;
  try {
    player = TAxPlay::New(DevType, ThreadMode);
    player->SetInitFlag(HideUpgrade);
    InstallAdapters(*player, TNetCallbacks::Attach(player));
    *Handle = vz::api::HandleOf(player);
    return 1;
  } catch (...) {
    try {
      vz::WriteLog("vzNet_Init except");
      if (player != nullptr) {
        TNetCallbacks::Detach(player);
        TAxPlay::Free(player);
      }
    } catch (...) {
    }
    *Handle = nullptr;
    return 0;
  }
}

VZSDK_API vzBool vzNet_SetCallBack(vzNetHandle Handle, vzNetDataCallback VideoCallback,
                                   vzNetDataCallback AudioCallback, vzNetAlarmCallback AlarmCallback,
                                   vzNetDrawCallback DrawCallback, void* UserData) {
  return GuardBool("vzNet_SetCallBack", Handle, [&](TAxPlay& p) {
    auto cb = TNetCallbacks::Of(&p);
    if (!cb) return false;
    cb->SetLive({VideoCallback, AudioCallback, AlarmCallback, DrawCallback, UserData});
    return true;
  });
}

VZSDK_API vzBool vzNet_SetRecordEvent(vzNetHandle Handle, vzRecStartCallback RecStartCallback,
                                      vzRecStopCallback RecStopCallback, vzRecPathCallback RecPathCallback) {
  return GuardBool("vzNet_SetRecordEvent", Handle, [&](TAxPlay& p) {
    auto cb = TNetCallbacks::Of(&p);
    if (!cb) return false;
    cb->SetRecord({RecStartCallback, RecStopCallback, RecPathCallback});
    return true;
  });
}

VZSDK_API vzBool vzNet_Connect(vzNetHandle Handle, const char* UserName, const char* Password,
                               const char* DevAddr, const char* SvrAddr, int32_t DataPort, int32_t TimeOut) {
  return GuardBool("vzNet_Connect", Handle, [&](TAxPlay& p) {
    vz::TConnectArgs args;
    args.UserName = Text(UserName);
    args.Password = Text(Password);
    args.DevAddr = Text(DevAddr);
    args.SvrAddr = Text(SvrAddr);
    args.DataPort = DataPort;
    args.ConnTimeOutMs = TimeOut;
    p.SetConnectArgs(args);
    p.SetConnTimeOut(TimeOut);
    return p.Connect();
  });
}

VZSDK_API vzBool vzNet_DisConn(vzNetHandle Handle) {
  return GuardBool("vzNet_DisConn", Handle, [](TAxPlay& p) { return p.DisConn(); });
}

VZSDK_API vzBool vzNet_Free(vzNetHandle Handle) {
  return GuardBool("vzNet_Free", Handle, [](TAxPlay& p) {
    TNetCallbacks::Detach(&p);
    TAxPlay::Free(&p);
    return true;
  });
}

VZSDK_API vzBool vzNet_SetAutoReConn(vzNetHandle Handle, vzBool Flag) {
  return GuardBool("vzNet_SetAutoReConn", Handle, [&](TAxPlay& p) {
    p.SetAutoReConn(Flag != 0);
    return true;
  });
}

VZSDK_API vzBool vzNet_Play(vzNetHandle Handle, uint32_t VideoChlMask, uint32_t AudioChlMask, uint32_t SubChlMask) {
  return GuardBool("vzNet_Play", Handle, [&](TAxPlay& p) {
    p.SetStreamMasks(VideoChlMask, AudioChlMask, SubChlMask);
    return p.Play();
  });
}

VZSDK_API vzBool vzNet_Stop(vzNetHandle Handle) {
  return GuardBool("vzNet_Stop", Handle, [](TAxPlay& p) {
    p.Stop();
    return true;
  });
}

VZSDK_API vzBool vzNet_IsConnect(vzNetHandle Handle) {
  return GuardBool("vzNet_IsConnect", Handle, [](TAxPlay& p) { return p.IsConnect(); });
}

VZSDK_API vzBool vzNet_IsConning(vzNetHandle Handle) {
  return GuardBool("vzNet_IsConning", Handle, [](TAxPlay& p) { return p.IsConning(); });
}

VZSDK_API vzBool vzNet_IsPlay(vzNetHandle Handle) {
  return GuardBool("vzNet_IsPlay", Handle, [](TAxPlay& p) { return p.IsPlay(); });
}

VZSDK_API int32_t vzNet_LastRecvDataTime(vzNetHandle Handle) {
  return vz::api::Guard<int32_t>("vzNet_LastRecvDataTime", Handle, 0,
                                 [](TAxPlay& p) { return static_cast<int32_t>(p.LastRecvTime()); });
}

}  // extern "C"
