#pragma once
// TYuvToRgb: decoded pictures into 32-bit pixels B, G, R, 255 in memory
// order (QImage::Format_RGB32 on this little-endian platform), same size.
//
// Both converters can take studio-range pictures: the decoding library's
// scaler (the default: with the alpha pass the image library's converter
// needs, it measured as fast at 704x576 and faster at 1280x720 and
// 1920x1080, see bench/sdk_render) or the image library's table-driven
// converter. Full-range (JPEG) pictures always go through the scaler. The
// scaler's contexts are kept between pictures of the same geometry. The
// scaler converts pictures of kSplitPixels and more in two halves at once,
// the second on the process's conversion helper (TConvertPool). One object
// per decoding thread.
#include <cstdint>

#include "FrameSeams.h"

struct SwsContext;

namespace vz {

// Which converter takes studio-range pictures.
enum class TRgbPath : uint8_t { ImageLibrary, Scaler };

class TYuvToRgb {
 public:
  explicit TYuvToRgb(TRgbPath studio_path = TRgbPath::Scaler);
  ~TYuvToRgb();
  TYuvToRgb(const TYuvToRgb&) = delete;
  TYuvToRgb& operator=(const TYuvToRgb&) = delete;

  // Converts the picture into dst (dst_stride bytes per line, room for
  // width x height pixels). False for a picture it cannot read (missing
  // planes, a size of 0, line sizes shorter than the width); dst is then
  // untouched.
  bool Convert(const TDecodedPicture& picture, uint8_t* dst, int dst_stride);
  // The same on this thread alone, never split: for work that already runs
  // beside the decoding thread.
  bool ConvertWhole(const TDecodedPicture& picture, uint8_t* dst, int dst_stride);
  // Pictures this large are worth handing to the helper.
  static bool Large(int32_t width, int32_t height) {
    return static_cast<int64_t>(width) * height >= kSplitPixels;
  }

 private:
  static constexpr int64_t kSplitPixels = 640 * 480;

  bool Convert(const TDecodedPicture& picture, uint8_t* dst, int dst_stride, bool halves);
  bool ByScaler(const TDecodedPicture& picture, uint8_t* dst, int dst_stride, bool halves);
  // Lines [top, top + rows) of the picture into dst (their first line).
  static bool Rows(SwsContext*& sws, const TDecodedPicture& picture, int top, int rows, uint8_t* dst,
                   int dst_stride);

  const TRgbPath studio_path_;
  SwsContext* sws_ = nullptr;         // whole pictures and top halves
  SwsContext* sws_bottom_ = nullptr;  // bottom halves
};

}  // namespace vz
