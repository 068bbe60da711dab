// The deinterlacer exports: a handle is a TDeInterlace.
#include "CpuFeatures.h"
#include "class_DeInterlace.h"
#include "vzbb.h"

namespace vzbb {
namespace {

// Picked while the library loads; the exports only read it.
const MissingLineFn kLine = MissingLineFor(BestSimdPath());

bool CpuCanRun() {
#if defined(__x86_64__) || defined(__i386__)
  // The line builders need the SSE integer extensions.
  return ClassifyCpu() > CpuLevel::kMmxCmov;
#else
  return true;  // the portable line builder runs anywhere
#endif
}

}  // namespace
}  // namespace vzbb

extern "C" {

VZBB_API int vz_DeInterlace_Init(vzDeInterlaceHandle* handle, int width, int field_height,
                                 int in_luma_stride, int in_chroma_stride, int out_luma_stride,
                                 int out_chroma_stride) {
  if (!handle) return VZ_DEINT_NULL_POINTER;
  *handle = nullptr;
  const vzbb::DeInterlaceGeometry g{width, field_height, in_luma_stride, in_chroma_stride,
                                    out_luma_stride, out_chroma_stride};
  vzbb::TDeInterlace* object = nullptr;
  // A call from another unit's start-up code may come before kLine is set.
  const vzbb::MissingLineFn line =
      vzbb::kLine ? vzbb::kLine : vzbb::MissingLineFor(vzbb::BestSimdPath());
  const int result = vzbb::TDeInterlace::Create(g, vzbb::CpuCanRun() ? line : nullptr, &object);
  *handle = object;
  return result;
}

VZBB_API int vz_DeInterlace(vzDeInterlaceHandle handle, uint8_t* out_y, uint8_t* out_cb,
                            uint8_t* out_cr, const uint8_t* in_y, const uint8_t* in_cb,
                            const uint8_t* in_cr, int mode) {
  if (!handle) return VZ_DEINT_NULL_POINTER;
  return static_cast<vzbb::TDeInterlace*>(handle)->Process(out_y, out_cb, out_cr, in_y, in_cb,
                                                           in_cr, mode);
}

VZBB_API int vz_DeInterlace_Free(vzDeInterlaceHandle handle) {
  if (!handle) return VZ_DEINT_NULL_POINTER;
  vzbb::TDeInterlace::Destroy(static_cast<vzbb::TDeInterlace*>(handle));
  return VZ_DEINT_OK;
}

}  // extern "C"
