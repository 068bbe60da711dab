// Exports of the live player: operations on the device (time, reboot,
// colours, pan/tilt/zoom, serial pass-through, identity).
#include <cstring>
#include <string>

#include "NetApiGuard.h"
#include "SdkTime.h"
#include "vz_fields.h"

using vz::api::GuardBool;

namespace {

constexpr int32_t kMaxSerialBytes = 100;
constexpr uint8_t kDefaultColour = 128;

// Copies a fixed device field into a caller buffer of field size + 1 bytes,
// always terminated.
template <std::size_t N>
void CopyField(char* dest, const char (&field)[N]) {
  const std::string text = vz::GetStrField(field);
  std::memcpy(dest, text.data(), text.size());
  dest[text.size()] = '\0';
}

}  // namespace

extern "C" {

VZSDK_API vzBool vzNet_ClearAlarm(vzNetHandle Handle, int32_t Chl) {
  return GuardBool("vzNet_ClearAlarm", Handle, [&](TAxPlay& p) { return p.ClearAlarm(Chl); });
}

VZSDK_API int64_t vzNet_GetDevTime(vzNetHandle Handle) {
  return vz::api::Guard<int64_t>("vzNet_GetDevTime", Handle, 0, [](TAxPlay& p) -> int64_t {
    if (!p.IsConnect()) return 0;
    const double t = p.GetDevTime();
    return t == 0 ? 0 : vz::DateTimeToSeconds(t);
  });
}

VZSDK_API vzBool vzNet_SetDevTime(vzNetHandle Handle, int64_t Time) {
  return GuardBool("vzNet_SetDevTime", Handle, [&](TAxPlay& p) { return p.SetDevTime(vz::SecondsToDateTime(Time)); });
}

VZSDK_API vzBool vzNet_SetDevReboot(vzNetHandle Handle) {
  return GuardBool("vzNet_SetDevReboot", Handle, [](TAxPlay& p) { return p.Reboot(); });
}

VZSDK_API vzBool vzNet_SetDevDefault(vzNetHandle Handle) {
  return GuardBool("vzNet_SetDevDefault", Handle, [](TAxPlay& p) { return p.SetDefault(); });
}

VZSDK_API vzBool vzNet_Get_Colors(vzNetHandle Handle, uint8_t Chl, uint8_t* Brightness, uint8_t* Contrast,
                                  uint8_t* Hue, uint8_t* Saturation, uint8_t* Sharpness) {
  return GuardBool("vzNet_Get_Colors", Handle, [&](TAxPlay& p) {
    uint8_t v[5] = {};
    p.GetColors(Chl, &v[0], &v[1], &v[2], &v[3], &v[4]);
    uint8_t* const out[5] = {Brightness, Contrast, Hue, Saturation, Sharpness};
    for (int i = 0; i < 5; ++i) {
      if (out[i] != nullptr) *out[i] = v[i];
    }
    return true;
  });
}

VZSDK_API vzBool vzNet_Set_Colors(vzNetHandle Handle, int32_t Chl, uint8_t Brightness, uint8_t Contrast, uint8_t Hue,
                                  uint8_t Saturation, uint8_t Sharpness) {
  return GuardBool("vzNet_Set_Colors", Handle,
                   [&](TAxPlay& p) { return p.SetColors(Chl, Brightness, Contrast, Hue, Saturation, Sharpness); });
}

VZSDK_API vzBool vzNet_Set_ColorDefault(vzNetHandle Handle, int32_t Chl) {
  return vzNet_Set_Colors(Handle, Chl, kDefaultColour, kDefaultColour, kDefaultColour, kDefaultColour, kDefaultColour);
}

VZSDK_API vzBool vzNet_PTZControl(vzNetHandle Handle, int32_t Cmd, int32_t Chl, int32_t Speed, int32_t SetPoint,
                                  int32_t Extra) {
  return GuardBool("vzNet_PTZControl", Handle,
                   [&](TAxPlay& p) { return p.PTZControl(Cmd, Chl, Speed, SetPoint, Extra); });
}

VZSDK_API vzBool vzNet_SerialTranslate(vzNetHandle Handle, const void* Buf, int32_t BufLen) {
  return GuardBool("vzNet_SerialTranslate", Handle, [&](TAxPlay& p) {
    if (Buf == nullptr || BufLen < 1 || BufLen > kMaxSerialBytes) return false;
    return p.SerialSend(Buf, BufLen);
  });
}

VZSDK_API vzBool vzNet_GetDevSoftVersion(vzNetHandle Handle, char* Dest) {
  return GuardBool("vzNet_GetDevSoftVersion", Handle, [&](TAxPlay& p) {
    if (Dest == nullptr) return false;
    Dest[0] = '\0';
    vz::TDevInfo info{};
    if (!p.GetDevInfo(&info, false)) return false;
    CopyField(Dest, info.SoftVer);
    return true;
  });
}

VZSDK_API vzBool vzNet_GetDevChlName(vzNetHandle Handle, int32_t Chl, char* Dest) {
  (void)Chl;  // the player keeps one video record: its title names every channel
  return GuardBool("vzNet_GetDevChlName", Handle, [&](TAxPlay& p) {
    if (Dest == nullptr) return false;
    CopyField(Dest, p.Cfg().Video.OsdTitle);
    return true;
  });
}

}  // extern "C"
