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

/* ---- device link (FastPing) ------------------------------------------ */

/* ---- live players (vzNet_) ------------------------------------------- */

/* ---- record files (vzFile_) ------------------------------------------ */

/* ---- LAN search (vzSearch_) ------------------------------------------ */

#ifdef __cplusplus
}
#endif

#endif /* VZSDK_H */
