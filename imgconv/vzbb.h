/* vzbb: YUV 4:2:0 to RGB conversions and a motion-adaptive deinterlacer.
 * C interface; every function uses the C calling convention. */
#ifndef VZBB_H
#define VZBB_H

#include <stdint.h>

#if defined(VZBB_BUILDING)
#define VZBB_API __attribute__((visibility("default")))
#else
#define VZBB_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* VZBB_H */
