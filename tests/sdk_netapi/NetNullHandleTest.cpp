// Every live-player function with a null handle: 0 and no other effect, in
// particular no write through the caller's out-arguments.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "vzSDK.h"

namespace {

struct NullCase {
  const char* name;
  std::function<int64_t()> call;
};

// Out-arguments the calls below may not touch.
struct Outs {
  int32_t i32[4] = {-7, -7, -7, -7};
  uint8_t u8[5] = {0xA5, 0xA5, 0xA5, 0xA5, 0xA5};
  char text[64];
  vzDspInfo dsp{};
  Outs() { std::memset(text, 'x', sizeof text); }
};

TEST(NetNullHandle, EveryFunctionAnswersZeroAndTouchesNothing) {
  Outs o;
  const vzNetHandle h = nullptr;
  const uint8_t serial[4] = {1, 2, 3, 4};
  const std::vector<NullCase> cases = {
      {"SetCallBack", [&] { return vzNet_SetCallBack(h, nullptr, nullptr, nullptr, nullptr, nullptr); }},
      {"SetRecordEvent", [&] { return vzNet_SetRecordEvent(h, nullptr, nullptr, nullptr); }},
      {"Connect", [&] { return vzNet_Connect(h, "admin", "admin", "127.0.0.1", "127.0.0.1", 1, 100); }},
      {"DisConn", [&] { return vzNet_DisConn(h); }},
      {"Free", [&] { return vzNet_Free(h); }},
      {"SetAutoReConn", [&] { return vzNet_SetAutoReConn(h, 1); }},
      {"Play", [&] { return vzNet_Play(h, 1, 1, 1); }},
      {"Stop", [&] { return vzNet_Stop(h); }},
      {"IsConnect", [&] { return vzNet_IsConnect(h); }},
      {"IsConning", [&] { return vzNet_IsConning(h); }},
      {"IsPlay", [&] { return vzNet_IsPlay(h); }},
      {"LastRecvDataTime", [&] { return vzNet_LastRecvDataTime(h); }},
      {"DisplayStreamType", [&] { return vzNet_DisplayStreamType(h, 1); }},
      {"RecordStreamType", [&] { return vzNet_RecordStreamType(h, 1); }},
      {"ImgEqualScaling", [&] { return vzNet_ImgEqualScaling(h, 1); }},
      {"ShowOSDState", [&] { return vzNet_ShowOSDState(h, 1); }},
      {"AddDspInfo", [&] { return vzNet_AddDspInfo(h, &o.dsp); }},
      {"DelDspInfo", [&] { return vzNet_DelDspInfo(h, &o.dsp); }},
      {"AudioPlayMask", [&] { return vzNet_AudioPlayMask(h, 3, 0); }},
      {"GetResolution", [&] { return vzNet_GetResolution(h, &o.i32[0], &o.i32[1], &o.i32[2], &o.i32[3]); }},
      {"SetDecodeStyle", [&] { return vzNet_SetDecodeStyle(h, Decode_All); }},
      {"StartNmlRec", [&] { return vzNet_StartNmlRec(h, 0); }},
      {"StopNmlRec", [&] { return vzNet_StopNmlRec(h, -1); }},
      {"StartAlmRec", [&] { return vzNet_StartAlmRec(h, 0); }},
      {"StopAlmRec", [&] { return vzNet_StopAlmRec(h, -1); }},
      {"IsNmlRec", [&] { return vzNet_IsNmlRec(h, 0); }},
      {"IsAlmRec", [&] { return vzNet_IsAlmRec(h, 0); }},
      {"SetRecTimeLen", [&] { return vzNet_SetRecTimeLen(h, 600, 5, 10); }},
      {"SetRecPath", [&] { return vzNet_SetRecPath(h, "/tmp/a", "/tmp/b", "/tmp/c"); }},
      {"SaveToJpg", [&] { return vzNet_SaveToJpg(h, 0, "/tmp/never.jpg"); }},
      {"ClearAlarm", [&] { return vzNet_ClearAlarm(h, 0); }},
      {"GetDevTime", [&] { return vzNet_GetDevTime(h); }},
      {"SetDevTime", [&] { return vzNet_SetDevTime(h, 1700000000); }},
      {"SetDevReboot", [&] { return vzNet_SetDevReboot(h); }},
      {"SetDevDefault", [&] { return vzNet_SetDevDefault(h); }},
      {"Get_Colors",
       [&] { return vzNet_Get_Colors(h, 0, &o.u8[0], &o.u8[1], &o.u8[2], &o.u8[3], &o.u8[4]); }},
      {"Set_Colors", [&] { return vzNet_Set_Colors(h, 0, 1, 2, 3, 4, 5); }},
      {"Set_ColorDefault", [&] { return vzNet_Set_ColorDefault(h, 0); }},
      {"PTZControl", [&] { return vzNet_PTZControl(h, 1, 0, 5, 0, 0); }},
      {"SerialTranslate", [&] { return vzNet_SerialTranslate(h, serial, sizeof serial); }},
      {"GetDevSoftVersion", [&] { return vzNet_GetDevSoftVersion(h, o.text); }},
      {"GetDevChlName", [&] { return vzNet_GetDevChlName(h, 0, o.text); }},
      {"ShowDeviceConfig", [&] { return vzNet_ShowDeviceConfig(h, 2, 0); }},
      {"SetTalk (null talk)", [&] { return vzNet_SetTalk(nullptr, nullptr); }},
      {"FreeTalk", [&] { return vzNet_FreeTalk(nullptr); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), 0) << c.name;
  }
  const Outs untouched;
  EXPECT_EQ(std::memcmp(o.i32, untouched.i32, sizeof o.i32), 0);
  EXPECT_EQ(std::memcmp(o.u8, untouched.u8, sizeof o.u8), 0);
  EXPECT_EQ(std::string(o.text, sizeof o.text), std::string(sizeof o.text, 'x'));
}

TEST(NetNullHandle, InitWithoutAPlaceForTheHandleCreatesNothing) {
  EXPECT_EQ(vzNet_Init(nullptr, devNone, 0, 0, 0, 0), 0);
  EXPECT_EQ(vzNet_InitTalk(nullptr), 0);
}

}  // namespace
