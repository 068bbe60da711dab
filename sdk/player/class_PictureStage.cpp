#include "class_PictureStage.h"

#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vz {
namespace {

constexpr size_t kAlign = 64;

size_t AlignUp(size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }

// Copies `rows` lines of `width` bytes with stores that bypass the caches;
// dst and dst_stride are multiples of 16. The stores are fenced, so the
// lock that hands the copy over publishes them.
void StreamCopyPlane(const uint8_t* src, int src_stride, uint8_t* dst, int dst_stride, int width, int rows) {
  if (src == nullptr || dst == nullptr || width <= 0 || rows <= 0) return;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* s = src + static_cast<ptrdiff_t>(y) * src_stride;
    uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dst_stride;
    int x = 0;
#if defined(__SSE2__)
    for (; x + 64 <= width; x += 64) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x + 16));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x + 32));
      const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x + 48));
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + x), a);
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + x + 16), b);
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + x + 32), c);
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + x + 48), e);
    }
    for (; x + 16 <= width; x += 16)
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + x), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)));
#endif
    if (x < width) std::memcpy(d + x, s + x, static_cast<size_t>(width - x));
  }
#if defined(__SSE2__)
  _mm_sfence();  // streaming stores are weakly ordered
#endif
}

}  // namespace

void TPictureStage::TFree::operator()(uint8_t* p) const { std::free(p); }

bool TPictureStage::Stage(const TDecodedPicture& picture, TDecodedPicture& out) {
  const int w = picture.Width;
  const int h = picture.Height;
  if (w <= 0 || h <= 0 || !picture.Plane[0] || !picture.Plane[1] || !picture.Plane[2]) return false;
  const int cw = (w + 1) / 2;
  const int ch = (h + 1) / 2;
  if (picture.LineSize[0] < w || picture.LineSize[1] < cw || picture.LineSize[2] < cw) return false;
  const int widths[3] = {w, cw, cw};
  const int heights[3] = {h, ch, ch};
  size_t strides[3];
  size_t need = 0;
  for (int i = 0; i < 3; ++i) {
    strides[i] = AlignUp(static_cast<size_t>(widths[i]));
    need += strides[i] * static_cast<size_t>(heights[i]);
  }
  if (need > capacity_) {
    void* p = std::aligned_alloc(kAlign, AlignUp(need));
    if (p == nullptr) return false;
    buffer_.reset(static_cast<uint8_t*>(p));
    capacity_ = AlignUp(need);
  }
  TDecodedPicture staged = picture;
  staged.Keep = nullptr;
  uint8_t* at = buffer_.get();
  for (int i = 0; i < 3; ++i) {
    StreamCopyPlane(picture.Plane[i], picture.LineSize[i], at, static_cast<int>(strides[i]), widths[i], heights[i]);
    staged.Plane[i] = at;
    staged.LineSize[i] = static_cast<int32_t>(strides[i]);
    at += strides[i] * static_cast<size_t>(heights[i]);
  }
  out = staged;
  return true;
}

}  // namespace vz
