/* vzSDK: device link, live players, record files, LAN search and time helpers.
 *
 * Conventions of the whole interface:
 * - every function and callback uses the C calling convention;
 * - booleans are one byte (vzBool): 1 true, 0 false; false is also the answer
 *   for a null handle;
 * - strings are zero-terminated single-byte strings; output strings go into
 *   caller buffers of the documented size;
 * - every buffer handed to a function stays owned by the caller; strings
 *   handed to callbacks are owned by the SDK and valid only during the call;
 * - no C++ exception ever leaves a function of this interface; callbacks
 *   must not throw either (what they throw is caught and ignored).
 *
 * The interface only grows: functions are added, never changed. */
#ifndef VZSDK_H
#define VZSDK_H

#include <stdint.h>

#if defined(VZSDK_BUILDING)
#define VZSDK_API __attribute__((visibility("default")))
#else
#define VZSDK_API
#endif

#define VZSDK_VERSION_MAJOR 1
#define VZSDK_VERSION_MINOR 0

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char vzBool;

/* ---- time helpers (vz_) ---------------------------------------------- */
/* Three representations of local wall-clock time, never shifted between
 * time zones:
 * - date-time: a double of days since 1899-12-30 00:00:00, the time of day
 *   as the fraction (1970-01-01 is 25569.0);
 * - seconds: seconds since 1970-01-01 00:00:00 of the local calendar;
 * - vzNetTime and vzSystemTime below.
 * The SDK clock (vz_GetTime, vz_GetDateTime) reads the PC's local clock once,
 * on first use, and then advances with a monotonic counter: later changes of
 * the PC clock do not move it. All seven functions may be called from any
 * thread. */

#pragma pack(push, 1)
/* 8 bytes, little-endian. */
typedef struct vzNetTime {
  uint8_t Year;          /* year minus 2000: 0..255 for 2000..2255 */
  uint8_t Month;         /* 1..12 */
  uint8_t Day;           /* 1..31 */
  uint8_t Hour;          /* 0..23 */
  uint8_t Minute;        /* 0..59 */
  uint8_t Second;        /* 0..59 */
  uint16_t Milliseconds; /* 0..999 */
} vzNetTime;

/* 16 bytes, laid out as the Windows SYSTEMTIME. */
typedef struct vzSystemTime {
  uint16_t wYear;
  uint16_t wMonth;     /* 1..12 */
  uint16_t wDayOfWeek; /* Sunday = 0 */
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
} vzSystemTime;
#pragma pack(pop)

/* Fills *SystemTime with the calendar reading of Seconds (day of week
 * included). Nothing happens for a null pointer. */
VZSDK_API void vz_time_tToSystemTime(vzSystemTime* SystemTime, int32_t Seconds);
/* Seconds of the record's date and time (milliseconds dropped, day of week
 * ignored); 0 when the fields do not form a valid date and time. */
VZSDK_API int64_t vz_SystemTimeTotime_t(vzSystemTime SystemTime);
/* The SDK clock in seconds. */
VZSDK_API int64_t vz_GetTime(void);
/* The PC's local clock (not the SDK clock), packed; before 2000 it gives
 * 2000-01-01 00:00:00.000, after 2255 it gives 2255-12-31 23:59:59.999.
 * Nothing happens for a null pointer. */
VZSDK_API void vz_GetNetTime(vzNetTime* NetTime);
/* Packs a date-time without clamping: the year field is the low 8 bits of
 * (year - 2000). A value that is no date (NaN, beyond the years 1..9999)
 * gives an all-zero record. Nothing happens for a null pointer. */
VZSDK_API void vz_DateTimeToNetTime(vzNetTime* NetTime, double DateTime);
/* The SDK clock as a date-time. */
VZSDK_API double vz_GetDateTime(void);
/* The date-time of a vzNetTime; 0 when its fields do not form a valid date
 * and time (month 0, day 32, hour 24, milliseconds 1000, ...). */
VZSDK_API double vz_NetTimeToDateTime(vzNetTime NetTime);

/* ---- device link (FastPing) ------------------------------------------ */

/* Reachability test of one TCP port: connects to Host:Port (a name or a
 * dotted address) with a time-out of TimeOut ms and closes the connection
 * again. 1 when the connection could be made, 0 otherwise (also for a null
 * or unresolvable Host). Blocks the calling thread for at most about
 * TimeOut ms; callable from any thread. */
VZSDK_API vzBool FastPing(const char* Host, int Port, uint32_t TimeOut);

/* ---- live players (vzNet_) ------------------------------------------- */
/* One player per device: vzNet_Init creates it, vzNet_Free ends it. The
 * handle is owned by the caller from vzNet_Init until vzNet_Free and must
 * not be used afterwards. Calling order: vzNet_Init, vzNet_SetCallBack (and
 * the other settings), vzNet_Connect, vzNet_Play, operations, vzNet_Stop,
 * vzNet_DisConn, vzNet_Free. A lost stream is reconnected by the SDK itself
 * while automatic reconnection is on; watch vzNet_IsConnect and
 * vzNet_LastRecvDataTime.
 *
 * Every function answers 0 (false) for a null handle and does nothing else.
 * The functions run on the caller's thread and block for their network
 * exchanges: vzNet_Connect up to its time-out plus the login and the
 * configuration transfer, each device operation a short command connection
 * with 3000 ms per transfer. Operations that talk to the device answer false
 * while the player is not connected.
 *
 * Times are seconds since 1970-01-01 00:00:00 of the device's local clock,
 * never shifted between time zones. */

typedef struct vzNetPlayer_* vzNetHandle;
typedef struct vzNetTalk_* vzTalkHandle;

/* The device family given to vzNet_Init (replaced by the device's own type
 * once connected). */
typedef enum TxDevType { devNone = 0, devX1 = 11 } TxDevType;
/* Which received video is decoded (vzNet_SetDecodeStyle). */
typedef enum TxDecodeStyle { Decode_None = 0, Decode_IFrame = 1, Decode_All = 2 } TxDecodeStyle;

#pragma pack(push, 1)
typedef struct vzRect {
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
} vzRect;

/* A display target: the pictures of Channel are drawn into DspRect (client
 * coordinates) of the window DspHandle, the native window id of a widget of
 * this process (QWidget::winId()). The player keeps the caller's record, not
 * a copy: keep it alive and unmoved until vzNet_DelDspInfo; the rectangle may
 * be changed at any time and is read afresh for every picture. */
typedef struct vzDspInfo {
  uint64_t DspHandle;
  int32_t Channel;
  vzRect DspRect;
} vzDspInfo; /* 28 bytes, packed */
#pragma pack(pop)

/* Callbacks of a player. Each runs on the player's stream-reading thread,
 * concurrently with the caller's own calls, and holds up that player's whole
 * stream while it runs: return quickly, copy what must outlive the call
 * (pointers handed in are valid only during the call), and post work to
 * another thread. UserData comes back unchanged. Nothing may be thrown
 * through a callback: what is thrown is caught, logged and ignored. A
 * callback may call any function of its own player; vzNet_Free called there
 * disconnects at once, and the player is destroyed when the callback has
 * returned (no further callback of it follows). */

/* A received frame: Buf points at the payload (past the 24-byte frame head),
 * Len bytes; Chl the channel (0 ... 255); IsIFrame 1 for a video key frame
 * (only the low byte carries the flag); StreamType 0 main stream, 1 sub
 * stream. Every frame arrives here before any processing, in the order
 * received. */
typedef void (*vzNetDataCallback)(const uint8_t* Buf, int32_t Len, int32_t Chl, int32_t IsIFrame,
                                  int32_t StreamType, void* UserData);
/* An alarm event: AlmType the alarm type, 0 when an alarm ended; AlmTime
 * the device's time of the event in seconds; AlmChl the channel. */
typedef void (*vzNetAlarmCallback)(int32_t AlmType, int64_t AlmTime, int32_t AlmChl, void* UserData);
/* After a picture of Chl has been drawn: DC is the renderer's drawing
 * context on that picture (a QPainter* for C++ callers), valid only during
 * the call, for the caller's own overlay. */
typedef void (*vzNetDrawCallback)(void* DC, int32_t Chl, void* UserData);

/* Record events; called on the thread that starts or stops the recording
 * (the caller's thread, or the reading thread for alarm recordings and file
 * splits). Addr is the SvrAddr given to vzNet_Connect, Port its DataPort,
 * RecType 1 normal or 2 alarm, times are date-times (days since 1899-12-30).
 * Extra: at the start a pointer to a 32-bit slot of the application's own,
 * whose value comes back with the stop event. Before each file is opened the
 * path event may write a folder (NUL-terminated, at most 40 bytes with the
 * terminator) into Dest; a non-empty text replaces the folder of that kind. */
typedef void (*vzRecStartCallback)(const char* Addr, int32_t Port, int32_t Chl, int32_t RecType,
                                   double StartTime, const char* FileName, int32_t* Extra);
typedef void (*vzRecStopCallback)(const char* Addr, int32_t Port, int32_t Chl, int32_t RecType,
                                  int64_t FileSize, double StartTime, double StopTime,
                                  const char* FileName, int32_t Extra);
typedef void (*vzRecPathCallback)(char* Dest);

/* Creates a player. *Handle is cleared first, then set to the new player;
 * 0 (and a null *Handle) when it could not be created or Handle is null.
 * ThreadMode is ignored; WaveCallbackMode 1: the sound output reports its
 * buffers through a callback rather than messages; HideUpgrade hides the
 * firmware upload in the configuration window; SysMemSurface nonzero keeps
 * the drawing surfaces in system memory. */
VZSDK_API vzBool vzNet_Init(vzNetHandle* Handle, int32_t DevType, int32_t ThreadMode, vzBool WaveCallbackMode,
                            vzBool HideUpgrade, int32_t SysMemSurface);
/* Stores the four callbacks (null: none) and UserData; takes effect from
 * the next frame or event. */
VZSDK_API vzBool vzNet_SetCallBack(vzNetHandle Handle, vzNetDataCallback VideoCallback,
                                   vzNetDataCallback AudioCallback, vzNetAlarmCallback AlarmCallback,
                                   vzNetDrawCallback DrawCallback, void* UserData);
VZSDK_API vzBool vzNet_SetRecordEvent(vzNetHandle Handle, vzRecStartCallback RecStartCallback,
                                      vzRecStopCallback RecStopCallback, vzRecPathCallback RecPathCallback);
/* Logs in on the stream connection at DevAddr:DataPort (a dotted address, a
 * host name with at least two dots, otherwise a P2P UID), fetches the whole
 * device configuration and starts the reading thread; blocks. SvrAddr is the
 * device address sent at login; TimeOut (ms) becomes the connect time-out.
 * Null strings count as empty. Does not start the stream: vzNet_Play does. */
VZSDK_API vzBool vzNet_Connect(vzNetHandle Handle, const char* UserName, const char* Password,
                               const char* DevAddr, const char* SvrAddr, int32_t DataPort, int32_t TimeOut);
/* Stops recording and closes the stream connection. */
VZSDK_API vzBool vzNet_DisConn(vzNetHandle Handle);
/* Disconnects and destroys the player; its reading thread has ended when
 * this returns (inside a callback of the player: see the callbacks above).
 * 1 (0 for a null handle). */
VZSDK_API vzBool vzNet_Free(vzNetHandle Handle);
/* Automatic reconnection of a lost or silent stream (on by default). */
VZSDK_API vzBool vzNet_SetAutoReConn(vzNetHandle Handle, vzBool Flag);
/* Asks the device for the channels of the three masks (bit c = channel c):
 * main-stream video, audio, sub-stream video. */
VZSDK_API vzBool vzNet_Play(vzNetHandle Handle, uint32_t VideoChlMask, uint32_t AudioChlMask, uint32_t SubChlMask);
/* Stops recording and marks the player stopped; the device keeps sending
 * until the connection is closed. */
VZSDK_API vzBool vzNet_Stop(vzNetHandle Handle);
VZSDK_API vzBool vzNet_IsConnect(vzNetHandle Handle);
VZSDK_API vzBool vzNet_IsConning(vzNetHandle Handle);
VZSDK_API vzBool vzNet_IsPlay(vzNetHandle Handle);
/* Seconds of the last complete unit read from the stream; 0 for a null
 * handle. */
VZSDK_API int32_t vzNet_LastRecvDataTime(vzNetHandle Handle);
/* Stream shown (0 main, 1 sub) and stream recorded. */
VZSDK_API vzBool vzNet_DisplayStreamType(vzNetHandle Handle, int32_t StreamType);
VZSDK_API vzBool vzNet_RecordStreamType(vzNetHandle Handle, int32_t StreamType);
/* Keep the picture's aspect ratio in the display targets. */
VZSDK_API vzBool vzNet_ImgEqualScaling(vzNetHandle Handle, vzBool Flag);
/* Draw the on-screen lines (title, time, rates, indicators). */
VZSDK_API vzBool vzNet_ShowOSDState(vzNetHandle Handle, vzBool Flag);
/* Adds a display target (listed once however often added) and sets the
 * decode style to Decode_All; 0 for a null PDspInfo. */
VZSDK_API vzBool vzNet_AddDspInfo(vzNetHandle Handle, vzDspInfo* PDspInfo);
/* Removes the same pointer from the display targets. */
VZSDK_API vzBool vzNet_DelDspInfo(vzNetHandle Handle, vzDspInfo* PDspInfo);
/* Channels whose sound is played: bit c of the 64-bit mask MaskHigh:MaskLow. */
VZSDK_API vzBool vzNet_AudioPlayMask(vzNetHandle Handle, uint32_t MaskLow, uint32_t MaskHigh);
/* Main picture size and sub-stream size. Not connected: 0, Width and Height
 * set to 0, SubWidth and SubHeight untouched. Null out pointers are skipped. */
VZSDK_API vzBool vzNet_GetResolution(vzNetHandle Handle, int32_t* Width, int32_t* Height, int32_t* SubWidth,
                                     int32_t* SubHeight);
VZSDK_API vzBool vzNet_SetDecodeStyle(vzNetHandle Handle, uint8_t Style);

/* Local recording into record files ("av"); Chl -1 means all channels. */
VZSDK_API vzBool vzNet_StartNmlRec(vzNetHandle Handle, int32_t Chl);
VZSDK_API vzBool vzNet_StopNmlRec(vzNetHandle Handle, int32_t Chl);
VZSDK_API vzBool vzNet_StartAlmRec(vzNetHandle Handle, int32_t Chl);
VZSDK_API vzBool vzNet_StopAlmRec(vzNetHandle Handle, int32_t Chl);
VZSDK_API vzBool vzNet_IsNmlRec(vzNetHandle Handle, int32_t Chl);
VZSDK_API vzBool vzNet_IsAlmRec(vzNetHandle Handle, int32_t Chl);
/* Seconds: normal file length, pre-alarm time (from the next connect),
 * recording time after the latest alarm. */
VZSDK_API vzBool vzNet_SetRecTimeLen(vzNetHandle Handle, int32_t NmlTimeLen, int32_t AlmPrevTimeLen,
                                     int32_t AlmTimeLen);
/* Folders of normal and alarm recordings and of snapshots; null = empty. */
VZSDK_API vzBool vzNet_SetRecPath(vzNetHandle Handle, const char* NmlRecPath, const char* AlmRecPath,
                                  const char* SnapshotPath);
/* A JPEG of the current picture. */
VZSDK_API vzBool vzNet_SaveToJpg(vzNetHandle Handle, int32_t Chl, const char* FileName);

/* Device operations. */
VZSDK_API vzBool vzNet_ClearAlarm(vzNetHandle Handle, int32_t Chl);
/* The device's clock in seconds; 0 when not connected or on failure. */
VZSDK_API int64_t vzNet_GetDevTime(vzNetHandle Handle);
VZSDK_API vzBool vzNet_SetDevTime(vzNetHandle Handle, int64_t Time);
VZSDK_API vzBool vzNet_SetDevReboot(vzNetHandle Handle);
VZSDK_API vzBool vzNet_SetDevDefault(vzNetHandle Handle);
/* The colour values of the player's copy of the video configuration; no
 * traffic. Null out pointers are skipped. */
VZSDK_API vzBool vzNet_Get_Colors(vzNetHandle Handle, uint8_t Chl, uint8_t* Brightness, uint8_t* Contrast,
                                  uint8_t* Hue, uint8_t* Saturation, uint8_t* Sharpness);
VZSDK_API vzBool vzNet_Set_Colors(vzNetHandle Handle, int32_t Chl, uint8_t Brightness, uint8_t Contrast, uint8_t Hue,
                                  uint8_t Saturation, uint8_t Sharpness);
/* vzNet_Set_Colors with all five values 128. */
VZSDK_API vzBool vzNet_Set_ColorDefault(vzNetHandle Handle, int32_t Chl);
/* A pan/tilt/zoom command for the camera of Chl, addressed with its PTZ
 * address from the player's copy of the serial-port settings. */
VZSDK_API vzBool vzNet_PTZControl(vzNetHandle Handle, int32_t Cmd, int32_t Chl, int32_t Speed, int32_t SetPoint,
                                  int32_t Extra);
/* Passes 1 ... 100 bytes through to the device's serial port. */
VZSDK_API vzBool vzNet_SerialTranslate(vzNetHandle Handle, const void* Buf, int32_t BufLen);
/* Reads the device information and writes its software version into Dest
 * (at least 21 bytes; empty on failure). */
VZSDK_API vzBool vzNet_GetDevSoftVersion(vzNetHandle Handle, char* Dest);
/* Writes the OSD title of the player's copy of the video configuration into
 * Dest (at least 41 bytes); Chl selects nothing. */
VZSDK_API vzBool vzNet_GetDevChlName(vzNetHandle Handle, int32_t Chl, char* Dest);
/* The device configuration window, modal; 0 unless logged in as an
 * administrator. */
VZSDK_API vzBool vzNet_ShowDeviceConfig(vzNetHandle Handle, int32_t LangIndex, vzBool Flag);
/* The remote recording search window, modal. Reserved1/2 are accepted and
 * not used. */
VZSDK_API vzBool vzNet_SearchPlay(const char* DevAddr, int32_t DataPort, const char* UserName, const char* Password,
                                  const char* Reserved1, const char* Reserved2, int32_t LangIndex, int32_t WebPort);

/* Two-way talk: the PC's default sound capture device to one player's
 * device, in blocks of 4,096 bytes in the format of the device's audio
 * settings, sent on the player's stream connection. A talk object lives on
 * its own, independent of players.
 * vzNet_InitTalk: a new talk object in *Talk (cleared first); 0 for a null
 * Talk. vzNet_SetTalk: capture (re)starts towards Player, or stops for a
 * null Player; once it returns, a player that was replaced gets nothing
 * more, so call it with a null Player before freeing the player. 0 for a
 * null Talk. vzNet_FreeTalk: stops and frees the talk object; 0 for a null
 * Talk. */
VZSDK_API vzBool vzNet_InitTalk(vzTalkHandle* Talk);
VZSDK_API vzBool vzNet_SetTalk(vzTalkHandle Talk, vzNetHandle Player);
VZSDK_API vzBool vzNet_FreeTalk(vzTalkHandle Talk);


/* ---- record files (vzFile_) ------------------------------------------ */
/* Plays a record file ("av": a 256-byte header, then the recorded frames,
 * each video and audio frame keeping a back-link to the key frame before it)
 * into the windows registered with the player, with its sound.
 *
 * vzFile_Open starts a playback thread of its own that reads, paces,
 * decodes, draws and plays; it starts playing at once. The other calls only
 * store what they are given; the thread acts on it at its next step (within
 * about 30 ms while paused). A file still being recorded, or one cut short by
 * a crash, plays up to its last complete frame.
 *
 * Callbacks run on the playback thread, one at a time, and must return
 * quickly; they must not call vzFile_Close of the same player. What they
 * throw is caught and ignored. Buf and DC are valid only during the call.
 *
 * Progress reaches the message window (a native window id, QWidget::winId(),
 * of a widget of this process) as window-message events delivered before the
 * playback thread goes on, so that window's thread must keep processing
 * events:
 * - 11122, wParam = file size, lParam = 0 when playback starts and the file
 *   position after each frame read;
 * - 11123, wParam = lParam = 0 when playback stops (end of file or PS_Stop).
 * Without a Qt application object the messages are dropped. */

typedef struct vzFilePlayer* vzFileHandle;

/* Play-control codes of vzFile_PlayCtrl and vzFile_GetPlayState. */
enum TxPlayCtrl {
  PS_None = 0,         /* idle: redraw the last picture */
  PS_Play = 1,         /* play at the recorded speed */
  PS_Pause = 2,        /* redraw the last picture */
  PS_Stop = 3,         /* back to the first frame, report 11123, pause */
  PS_FastBackward = 4, /* key frames backwards, one every 300 / Speed ms */
  PS_FastForward = 5,  /* key frames forwards, one every 300 / Speed ms */
  PS_StepBackward = 6, /* the previous key frame, then pause */
  PS_StepForward = 7,  /* the next key frame, then pause */
  PS_DragPos = 8       /* the key frame at DragPos, then play */
};

/* Buf, Len: the frame's payload; Chl: its channel; IsIFrame: 1 for a video
 * key frame (low byte); StreamType: the frame's back-link (file offset of
 * the key frame its group starts with). */
typedef void (*vzFileDataCallback)(const uint8_t* Buf, int32_t Len, int32_t Chl, int32_t IsIFrame,
                                   int32_t StreamType, void* UserData);
/* DC: the painting context of the drawn picture (a QPainter on the
 * picture, after the overlays); Chl: its channel. */
typedef void (*vzFileDrawCallback)(void* DC, int32_t Chl, void* UserData);

/* Opens FileName and starts playing. 0 (and *Handle = 0) when the file is
 * missing, 256 bytes or shorter, or cannot be opened. */
VZSDK_API vzBool vzFile_Open(const char* FileName, vzFileHandle* Handle);
/* Stores the callbacks (null = none), UserData and the progress window
 * (0 = none). */
VZSDK_API vzBool vzFile_SetCallBack(vzFileHandle Handle, vzFileDataCallback VideoCallback,
                                    vzFileDataCallback AudioCallback, vzFileDrawCallback DrawCallback,
                                    void* UserData, uintptr_t MsgWindow);
/* Stores the play state (TxPlayCtrl), the speed of the fast modes (0 counts
 * as 2) and the file offset PS_DragPos jumps to. */
VZSDK_API vzBool vzFile_PlayCtrl(vzFileHandle Handle, int32_t PlayState, int32_t Speed, uint32_t DragPos);
/* The current TxPlayCtrl state; 0 for a null handle. */
VZSDK_API int32_t vzFile_GetPlayState(vzFileHandle Handle);
/* DspInfo points to the caller's display target record, which must stay
 * valid until it is removed again; the same pointer is listed once. */
VZSDK_API vzBool vzFile_AddDspInfo(vzFileHandle Handle, const void* DspInfo);
VZSDK_API vzBool vzFile_DelDspInfo(vzFileHandle Handle, const void* DspInfo);
/* Nonzero keeps the picture's aspect ratio inside each target. */
VZSDK_API vzBool vzFile_ImgEqualScaling(vzFileHandle Handle, vzBool Flag);
/* Nonzero: audio frames are neither played nor passed to the audio
 * callback. */
VZSDK_API vzBool vzFile_AudioMute(vzFileHandle Handle, vzBool Flag);
/* Stops the playback thread (waiting up to 5000 ms), frees the player. The
 * handle is invalid afterwards. */
VZSDK_API vzBool vzFile_Close(vzFileHandle Handle);

/* Snapshots of the shown picture, overlays included, at the picture's own
 * size. FileName null: a name from the time now and Chl in the folder of the
 * playing file (JPEG, quality 100) or in the program folder's "Snapshot/"
 * (32-bit BMP). An existing file is never overwritten (0). */
VZSDK_API vzBool vzFile_SaveToJpg(vzFileHandle Handle, int32_t Chl, const char* FileName);
VZSDK_API vzBool vzFile_SaveToBmp(vzFileHandle Handle, int32_t Chl, const char* FileName);
/* Copies the frames from the first video key frame at or after the offset
 * From up to the frame that crosses the offset To into a new record file
 * DestName, with the playing file's header; frames are copied unchanged
 * except for their back-links, which follow the frames to their offsets in
 * the new file.
 * 0 when From >= To (nothing is created) or the destination cannot be
 * created. May run during playback; on the application's GUI thread it
 * keeps processing events between frames. */
VZSDK_API vzBool vzFile_SaveAs(vzFileHandle Handle, uint32_t From, uint32_t To, const char* DestName);

/* ---- LAN search (vzSearch_) ------------------------------------------ */
/* Finds the devices on the local network and sets the clock of all of them
 * at once. Calling order: vzSearch_Init, then vzSearch_SearchDevice and/or
 * vzSearch_AdjustTime, then let answers arrive for as long as they are wanted
 * (about 3000 ms after a search, 100 ms after a set-time broadcast), then
 * vzSearch_Free. Every call belongs to the thread that called vzSearch_Init.
 *
 * Answers reach the callback only on that thread, while it processes events:
 * - on the Qt application's thread, while its event loop runs
 *   (QCoreApplication::processEvents or exec);
 * - on any thread, inside vzSearch_ProcessEvents.
 *
 * The callback gets each device once per search (one device heard on two
 * networks is reported once; a new search reports it again). Its strings
 * are the 20-byte text fields of the device's answer, always NUL-terminated,
 * and valid only during the call. Its result is ignored. */
typedef int32_t (*TSearchDevCallback)(int32_t DevType, int32_t ChlCount, int32_t DataPort, int32_t HttpPort,
                                      const char* DevName, const char* DevIP, const char* DevMAC,
                                      const char* SubMask, const char* Gateway, const char* DNS);

/* Opens one UDP socket per local IPv4 address, on ports 1999, 2000, ... (a
 * taken port is skipped). True. */
VZSDK_API vzBool vzSearch_Init(TSearchDevCallback Callback);
/* Broadcasts a search request from every socket to port 2000; answers come
 * later. True (false only without vzSearch_Init's sockets in place). */
VZSDK_API vzBool vzSearch_SearchDevice(void);
/* Broadcasts the PC's local time (seconds since 1970-01-01 00:00:00 of the
 * local calendar) to every device; no answer is reported. */
VZSDK_API vzBool vzSearch_AdjustTime(void);
/* Closes the sockets and forgets the callback. True. */
VZSDK_API vzBool vzSearch_Free(void);
/* Delivers the answers that are waiting or arrive within TimeoutMs, on the
 * calling thread, and returns after TimeoutMs. The number of devices
 * reported meanwhile. */
VZSDK_API int32_t vzSearch_ProcessEvents(int32_t TimeoutMs);

#ifdef __cplusplus
}
#endif

#endif /* VZSDK_H */
