#pragma once
// Control of the tunnel-library double (libIOTCAPIs.so + libAVApis.so built
// from this folder). The double knows devices by UID, opens tunnels and
// channels for them, answers the name query on a chosen try, hands out
// queued frames and, once started, H.264 frames of 640 x 480 it encoded
// itself, and can be told to fail any call. Everything it was called with
// is counted and kept for the tests. All functions are thread-safe.
#include <cstdint>

#define P2PDOUBLE_API extern "C" __attribute__((visibility("default")))

// Forget devices, failures, counts, messages, frames; name answer on try 1.
P2PDOUBLE_API void P2PDouble_Reset();
// A device reachable under uid (without dashes) whose name answer carries
// name (up to 16 characters).
P2PDOUBLE_API void P2PDouble_AddDevice(const char* uid, const char* name);
// The next `times` calls of `function` (-1: all) answer `result` and do
// nothing else.
P2PDOUBLE_API void P2PDouble_Fail(const char* function, int result, int times);
// The name answer comes on this avRecvIOCtrl try after each name query
// (1 ... ; 0: never).
P2PDOUBLE_API void P2PDouble_SetNameAnswerTry(int try_number);
// A frame for the next avRecvFrameData (before any encoded video); `flag`
// goes to byte 2 of the frame information.
P2PDOUBLE_API void P2PDouble_QueueFrame(const uint8_t* data, int size, int flag);
// With `on`, a started channel hands out the encoded frames in a loop, 25 a
// second. Answers the number of encoded frames (0: no H.264 encoder).
P2PDOUBLE_API int P2PDouble_SetVideo(int on);
// What avRecvFrameData answers when it has nothing to hand out (-20 at first).
P2PDOUBLE_API void P2PDouble_SetIdleCode(int code);
// How often a function was called since the last reset.
P2PDOUBLE_API int P2PDouble_Calls(const char* function);
// Control messages sent (avSendIOCtrl), oldest first.
P2PDOUBLE_API int P2PDouble_SentCount();
// Copies message `index`: its channel and type, up to max payload bytes;
// answers the payload size (-1 for a bad index).
P2PDOUBLE_API int P2PDouble_Sent(int index, int* channel, unsigned* type, uint8_t* payload, int max);
// The last text passed as "uid", "user", "password" or "master1" ... "master4";
// answers its length (copied up to max - 1 bytes and a zero).
P2PDOUBLE_API int P2PDouble_LastText(const char* which, char* out, int max);
// Threads inside avRecvFrameData right now.
P2PDOUBLE_API int P2PDouble_ReadersInside();
// Tunnels and channels open right now.
P2PDOUBLE_API int P2PDouble_OpenSessions();
P2PDOUBLE_API int P2PDouble_OpenChannels();
