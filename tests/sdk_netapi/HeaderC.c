/* The public header as a plain C caller sees it: it compiles alone as C99,
 * every live-player function and callback type is declared, and the record
 * layout a C compiler gives is reported to the C++ side for comparison. */
#include <stddef.h>

#include "vzSDK.h"

typedef void (*AnyFn)(void);

/* Addresses of every function of the live-player section, in header order;
 * the count is checked on the C++ side. */
size_t NetApiCExports(AnyFn* out, size_t capacity) {
  const AnyFn all[] = {
      (AnyFn)vzNet_Init,           (AnyFn)vzNet_SetCallBack,      (AnyFn)vzNet_SetRecordEvent,
      (AnyFn)vzNet_Connect,        (AnyFn)vzNet_DisConn,          (AnyFn)vzNet_Free,
      (AnyFn)vzNet_SetAutoReConn,  (AnyFn)vzNet_Play,             (AnyFn)vzNet_Stop,
      (AnyFn)vzNet_IsConnect,      (AnyFn)vzNet_IsConning,        (AnyFn)vzNet_IsPlay,
      (AnyFn)vzNet_LastRecvDataTime, (AnyFn)vzNet_DisplayStreamType, (AnyFn)vzNet_RecordStreamType,
      (AnyFn)vzNet_ImgEqualScaling, (AnyFn)vzNet_ShowOSDState,    (AnyFn)vzNet_AddDspInfo,
      (AnyFn)vzNet_DelDspInfo,     (AnyFn)vzNet_AudioPlayMask,    (AnyFn)vzNet_GetResolution,
      (AnyFn)vzNet_SetDecodeStyle, (AnyFn)vzNet_StartNmlRec,      (AnyFn)vzNet_StopNmlRec,
      (AnyFn)vzNet_StartAlmRec,    (AnyFn)vzNet_StopAlmRec,       (AnyFn)vzNet_IsNmlRec,
      (AnyFn)vzNet_IsAlmRec,       (AnyFn)vzNet_SetRecTimeLen,    (AnyFn)vzNet_SetRecPath,
      (AnyFn)vzNet_SaveToJpg,      (AnyFn)vzNet_ClearAlarm,       (AnyFn)vzNet_GetDevTime,
      (AnyFn)vzNet_SetDevTime,     (AnyFn)vzNet_SetDevReboot,     (AnyFn)vzNet_SetDevDefault,
      (AnyFn)vzNet_Get_Colors,     (AnyFn)vzNet_Set_Colors,       (AnyFn)vzNet_Set_ColorDefault,
      (AnyFn)vzNet_PTZControl,     (AnyFn)vzNet_SerialTranslate,  (AnyFn)vzNet_GetDevSoftVersion,
      (AnyFn)vzNet_GetDevChlName,  (AnyFn)vzNet_ShowDeviceConfig, (AnyFn)vzNet_SearchPlay,
      (AnyFn)vzNet_InitTalk,       (AnyFn)vzNet_SetTalk,          (AnyFn)vzNet_FreeTalk,
      (AnyFn)FastPing,
  };
  size_t n = sizeof all / sizeof all[0];
  size_t i;
  for (i = 0; i < n && i < capacity; ++i) out[i] = all[i];
  return n;
}

/* sizeof and offsets as C lays out the records. */
size_t NetApiCLayout(size_t* out, size_t capacity) {
  const size_t all[] = {
#include "NetLayoutItems.h"
  };
  size_t n = sizeof all / sizeof all[0];
  size_t i;
  for (i = 0; i < n && i < capacity; ++i) out[i] = all[i];
  return n;
}
