/* vzbb: YUV 4:2:0 to RGB conversions and a motion-adaptive deinterlacer.
 * C interface; every function uses the C calling convention.
 *
 * All functions are safe on any number of threads, except that one
 * deinterlacer handle must be used by one thread at a time. Every buffer
 * handed in stays owned by the caller. */
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

/* ---- Converters ---------------------------------------------------------
 * Planar YUV 4:2:0 (BT.601 studio range) to packed RGB. Arguments: luma
 * plane, the two chroma planes (order as named by each function), the
 * destination, luma stride and chroma stride in bytes (one stride for both
 * chroma planes), width and height in pixels, and the destination line
 * extension: extra pixels after each destination line, so one destination
 * line is (width + extension) * bytes-per-pixel bytes.
 *
 * Result: 0 when a pointer is null or width or height is 0 or negative;
 * otherwise 1. A negative extension converts nothing (result 1). Odd widths
 * and heights convert exactly width x height pixels; the last odd column or
 * row uses the chroma sample of its pair. */

/* 16-bit little-endian R5 G6 B5 (red in the top bits). */
VZBB_API int YUV420_RGB16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst,
                          int luma_stride, int chroma_stride, int width, int height,
                          int line_extension);
/* 16-bit little-endian B5 G6 R5 (blue in the top bits). */
VZBB_API int YUV420_BGR16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst,
                          int luma_stride, int chroma_stride, int width, int height,
                          int line_extension);
/* 3 bytes R, G, B. Note the chroma order: Cr before Cb. */
VZBB_API int YUV420ToRGB24Ex(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                             int luma_stride, int chroma_stride, int width, int height,
                             int line_extension);
/* 3 bytes B, G, R. */
VZBB_API int YUV420ToBGR24Ex(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                             int luma_stride, int chroma_stride, int width, int height,
                             int line_extension);
/* 4 bytes R, G, B, 0. */
VZBB_API int YUV420ToRGB32(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                           int luma_stride, int chroma_stride, int width, int height,
                           int line_extension);
/* 4 bytes B, G, R, 0. */
VZBB_API int YUV420ToBGR32(const uint8_t* y, const uint8_t* cr, const uint8_t* cb, uint8_t* dst,
                           int luma_stride, int chroma_stride, int width, int height,
                           int line_extension);

/* ---- Picture conversion -------------------------------------------------
 * The decoding library's picture record and pixel-format numbers. */
typedef struct vzPicture {
  uint8_t* data[4];
  int32_t linesize[4];
} vzPicture;

enum {
  VZ_PIX_FMT_YUV420P = 0,
  VZ_PIX_FMT_RGB24 = 2,
  VZ_PIX_FMT_BGR24 = 3,
  VZ_PIX_FMT_RGB32 = 6,
  VZ_PIX_FMT_RGB565 = 9,
  VZ_PIX_FMT_BGR32 = 22,
  VZ_PIX_FMT_BGR565 = 23
};

/* Converts a YUV 4:2:0 source picture (format 0; plane 1 Cb, plane 2 Cr)
 * into plane 0 of dst in one of the formats above. Result 0 for a null
 * picture, a source format other than 0 or an unlisted destination format;
 * otherwise the converter's result. A destination line size smaller than
 * width * bytes-per-pixel returns 1 and leaves the destination untouched. */
VZBB_API int vzImgConvert(vzPicture* dst, int dst_pix_fmt, const vzPicture* src, int src_pix_fmt,
                          int width, int height);

/* ---- Deinterlacer -------------------------------------------------------
 * Rebuilds full frames from fields with a four-field motion-adaptive
 * history. Per frame the caller hands in the field of the even lines with
 * mode 1 (stored, no output) and then the other field with mode 2 (the frame
 * is written). One handle per stream; sizes are fixed for its lifetime. */
typedef void* vzDeInterlaceHandle;

#define VZ_DEINT_OK 0
#define VZ_DEINT_NO_CPU_OR_MEMORY (-1)
#define VZ_DEINT_BAD_SIZE (-2)
#define VZ_DEINT_NULL_POINTER (-3)
#define VZ_DEINT_BAD_MODE (-4)

/* 0 and *handle set on success; -3 for a null handle pointer; -2 (handle
 * null) when width < 128, field_height < 4, a luma stride < width or a
 * chroma stride < width / 2; -1 (handle null) when the processor cannot run
 * it or memory runs out. Input strides describe the fields handed in,
 * output strides the frame written (2 * field_height luma lines). */
VZBB_API int vz_DeInterlace_Init(vzDeInterlaceHandle* handle, int width, int field_height,
                                 int in_luma_stride, int in_chroma_stride, int out_luma_stride,
                                 int out_chroma_stride);
/* mode 1 or 2 -> 0; -3 for a null handle, a null output pointer, a null
 * input luma pointer, or null input chroma with mode 1; -4 for another
 * mode. Nothing changes on an error. */
VZBB_API int vz_DeInterlace(vzDeInterlaceHandle handle, uint8_t* out_y, uint8_t* out_cb,
                            uint8_t* out_cr, const uint8_t* in_y, const uint8_t* in_cb,
                            const uint8_t* in_cr, int mode);
/* 0, or -3 for a null handle. Frees the object and all its buffers. */
VZBB_API int vz_DeInterlace_Free(vzDeInterlaceHandle handle);

#ifdef __cplusplus
}
#endif

#endif /* VZBB_H */
