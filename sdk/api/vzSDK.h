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
