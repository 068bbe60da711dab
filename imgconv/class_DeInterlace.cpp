#include "class_DeInterlace.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace vzbb {
namespace {

constexpr size_t kAlign = 64;
constexpr size_t kSpare = 64;  // before and after every buffer
// Larger requests are refused as out of memory before they reach the
// allocator (the sanitizers treat absurd sizes as errors, not as null).
constexpr size_t kMaxBlock = size_t(1) << 38;

bool Add(size_t& total, size_t bytes) {
  size_t padded;
  if (__builtin_add_overflow(bytes, 2 * kSpare + kAlign - 1, &padded)) return false;
  padded &= ~(kAlign - 1);
  return !__builtin_add_overflow(total, padded, &total);
}

bool Area(int lines, int stride, size_t& bytes) {
  return !__builtin_mul_overflow(size_t(lines), size_t(stride), &bytes);
}

// Hands out the next buffer of a block laid out by Add().
uint8_t* Take(uint8_t*& cursor, size_t bytes, uint8_t fill) {
  uint8_t* buffer = cursor + kSpare;
  std::memset(cursor, fill, bytes + 2 * kSpare);
  cursor += (bytes + 2 * kSpare + kAlign - 1) & ~(kAlign - 1);
  return buffer;
}

void CopyLines(uint8_t* dst, ptrdiff_t dst_stride, const uint8_t* src, ptrdiff_t src_stride,
               int lines, int bytes) {
  for (int i = 0; i < lines; ++i) std::memcpy(dst + i * dst_stride, src + i * src_stride, size_t(bytes));
}

}  // namespace

int TDeInterlace::Create(const DeInterlaceGeometry& g, MissingLineFn line, TDeInterlace** out) {
  *out = nullptr;
  const int half = g.width / 2;
  if (g.width < 128 || g.field_height < 4 || g.in_luma_stride < g.width ||
      g.out_luma_stride < g.width || g.in_chroma_stride < half || g.out_chroma_stride < half)
    return kBadSize;
  if (!line) return kNoCpuOrMemory;

  size_t field_bytes, chroma_bytes;
  if (!Area(g.field_height, g.in_luma_stride, field_bytes) ||
      !Area(g.field_height / 2, g.in_chroma_stride, chroma_bytes))
    return kNoCpuOrMemory;
  size_t total = 0;
  bool fits = true;
  for (int i = 0; i < 5; ++i) fits = fits && Add(total, field_bytes);  // 4 fields + counters
  fits = fits && Add(total, chroma_bytes) && Add(total, chroma_bytes);
  if (!fits || total > kMaxBlock) return kNoCpuOrMemory;

  void* block = std::aligned_alloc(kAlign, total);
  void* self = std::malloc(sizeof(TDeInterlace));
  if (!block || !self) {
    std::free(block);
    std::free(self);
    return kNoCpuOrMemory;
  }
  TDeInterlace* d = new (self) TDeInterlace();
  d->geometry_ = g;
  d->line_ = line;
  d->block_ = block;
  uint8_t* cursor = static_cast<uint8_t*>(block);
  // The history starts as grey fields, so the first frames come out
  // spatially interpolated.
  for (uint8_t*& field : d->field_) field = Take(cursor, field_bytes, 0x80);
  d->cb_store_ = Take(cursor, chroma_bytes, 0x80);
  d->cr_store_ = Take(cursor, chroma_bytes, 0x80);
  d->still_ = Take(cursor, field_bytes, 0);
  *out = d;
  return kOk;
}

void TDeInterlace::Destroy(TDeInterlace* object) {
  if (!object) return;
  std::free(object->block_);
  object->~TDeInterlace();
  std::free(object);
}

int TDeInterlace::Process(uint8_t* out_y, uint8_t* out_cb, uint8_t* out_cr, const uint8_t* in_y,
                          const uint8_t* in_cb, const uint8_t* in_cr, int mode) {
  if (!out_y || !out_cb || !out_cr || !in_y) return kNullPointer;
  if (mode != 1 && mode != 2) return kBadMode;
  if (mode == 1 && (!in_cb || !in_cr)) return kNullPointer;

  const DeInterlaceGeometry& g = geometry_;
  // Only width bytes of each line are read: the caller's last line may end
  // right after its pixels.
  CopyLines(field_[0], g.in_luma_stride, in_y, g.in_luma_stride, g.field_height, g.width);
  if (mode == 1) {
    CopyLines(cb_store_, g.in_chroma_stride, in_cb, g.in_chroma_stride, g.field_height / 2, g.width / 2);
    CopyLines(cr_store_, g.in_chroma_stride, in_cr, g.in_chroma_stride, g.field_height / 2, g.width / 2);
  } else {
    BuildFrame(out_y, out_cb, out_cr);
  }
  uint8_t* oldest = field_[3];
  field_[3] = field_[2];
  field_[2] = field_[1];
  field_[1] = field_[0];
  field_[0] = oldest;
  return kOk;
}

void TDeInterlace::BuildFrame(uint8_t* out_y, uint8_t* out_cb, uint8_t* out_cr) {
  const DeInterlaceGeometry& g = geometry_;
  const ptrdiff_t in = g.in_luma_stride, out = g.out_luma_stride;
  const int w = g.width, fh = g.field_height;

  for (int i = 0; i < fh / 2; ++i) {
    const uint8_t* cb = cb_store_ + i * ptrdiff_t(g.in_chroma_stride);
    const uint8_t* cr = cr_store_ + i * ptrdiff_t(g.in_chroma_stride);
    for (int k = 0; k < 2; ++k) {
      const ptrdiff_t row = (2 * i + k) * ptrdiff_t(g.out_chroma_stride);
      std::memcpy(out_cb + row, cb, size_t(w / 2));
      std::memcpy(out_cr + row, cr, size_t(w / 2));
    }
  }

  const uint8_t* f1 = field_[1];
  std::memcpy(out_y, f1, size_t(w));
  std::memcpy(out_y + out, f1, size_t(w));
  const uint8_t* f1_last = f1 + (fh - 1) * in;
  std::memcpy(out_y + 2 * (fh - 1) * out, f1_last, size_t(w));
  std::memcpy(out_y + (2 * fh - 1) * out, f1_last, size_t(w));

  for (int i = 1; i <= fh - 2; ++i) {
    const ptrdiff_t a = i * in, b = a + in;
    const uint8_t* f1a = f1 + a;
    uint8_t* even = out_y + 2 * i * out;
    uint8_t* odd = even + out;
    std::memcpy(even, f1a, size_t(w));
    line_(MissingLine{field_[0] + a, field_[0] + b, f1a, f1 + b, field_[2] + a, field_[2] + b,
                      field_[3] + a, field_[3] + b, still_ + a, odd, w});
    odd[0] = f1a[0];
    odd[1] = f1a[1];
    odd[w - 2] = f1a[w - 2];
    odd[w - 1] = f1a[w - 1];
  }
}

}  // namespace vzbb
