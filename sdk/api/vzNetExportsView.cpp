// Exports of the live player: what is shown and played, and how.
#include <cstddef>

#include "DspInfo.h"
#include "NetApiGuard.h"

using vz::api::GuardBool;

// The caller's record is handed to the player as is (the test of the
// header pins every offset).
static_assert(sizeof(vzDspInfo) == sizeof(vz::TDspInfo));

extern "C" {

VZSDK_API vzBool vzNet_DisplayStreamType(vzNetHandle Handle, int32_t StreamType) {
  return GuardBool("vzNet_DisplayStreamType", Handle, [&](TAxPlay& p) {
    p.SetDisplayStreamType(StreamType);
    return true;
  });
}

VZSDK_API vzBool vzNet_RecordStreamType(vzNetHandle Handle, int32_t StreamType) {
  return GuardBool("vzNet_RecordStreamType", Handle, [&](TAxPlay& p) {
    p.SetRecordStreamType(StreamType);
    return true;
  });
}

VZSDK_API vzBool vzNet_ImgEqualScaling(vzNetHandle Handle, vzBool Flag) {
  return GuardBool("vzNet_ImgEqualScaling", Handle, [&](TAxPlay& p) {
    p.SetImgEqualScaling(Flag != 0);
    return true;
  });
}

VZSDK_API vzBool vzNet_ShowOSDState(vzNetHandle Handle, vzBool Flag) {
  return GuardBool("vzNet_ShowOSDState", Handle, [&](TAxPlay& p) {
    p.SetShowOSD(Flag != 0);
    return true;
  });
}

VZSDK_API vzBool vzNet_AddDspInfo(vzNetHandle Handle, vzDspInfo* PDspInfo) {
  return GuardBool("vzNet_AddDspInfo", Handle, [&](TAxPlay& p) {
    if (PDspInfo == nullptr) return false;
    p.SetDecodeStyle(Decode_All);
    return p.AddDspInfo(reinterpret_cast<vz::TDspInfo*>(PDspInfo));
  });
}

VZSDK_API vzBool vzNet_DelDspInfo(vzNetHandle Handle, vzDspInfo* PDspInfo) {
  return GuardBool("vzNet_DelDspInfo", Handle, [&](TAxPlay& p) {
    p.DelDspInfo(reinterpret_cast<vz::TDspInfo*>(PDspInfo));
    return true;
  });
}

VZSDK_API vzBool vzNet_AudioPlayMask(vzNetHandle Handle, uint32_t MaskLow, uint32_t MaskHigh) {
  return GuardBool("vzNet_AudioPlayMask", Handle, [&](TAxPlay& p) {
    p.SetAudioPlayMask((static_cast<uint64_t>(MaskHigh) << 32) | MaskLow);
    return true;
  });
}

VZSDK_API vzBool vzNet_GetResolution(vzNetHandle Handle, int32_t* Width, int32_t* Height, int32_t* SubWidth,
                                     int32_t* SubHeight) {
  return GuardBool("vzNet_GetResolution", Handle, [&](TAxPlay& p) {
    if (Width != nullptr) *Width = 0;
    if (Height != nullptr) *Height = 0;
    if (!p.IsConnect()) return false;
    if (Width != nullptr) *Width = p.Width();
    if (Height != nullptr) *Height = p.Height();
    if (SubWidth != nullptr) *SubWidth = p.SubWidth();
    if (SubHeight != nullptr) *SubHeight = p.SubHeight();
    return true;
  });
}

VZSDK_API vzBool vzNet_SetDecodeStyle(vzNetHandle Handle, uint8_t Style) {
  return GuardBool("vzNet_SetDecodeStyle", Handle, [&](TAxPlay& p) {
    p.SetDecodeStyle(Style);
    return true;
  });
}

}  // extern "C"
