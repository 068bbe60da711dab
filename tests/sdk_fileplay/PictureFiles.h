#pragma once
// Reading back the snapshot files of the tests: the size a JPEG decodes to,
// and the size of a 32-bit BMP whose headers agree with its length.
#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace fptest {

struct TPictureSize {
  int width = 0;
  int height = 0;
};

inline TPictureSize JpegSize(const std::string& bytes) {
  TPictureSize d;
  tjhandle tj = tjInitDecompress();
  int subsamp = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<unsigned long>(bytes.size()), &d.width, &d.height, &subsamp, &colorspace) != 0) {
    d = {};
  }
  tjDestroy(tj);
  return d;
}

inline TPictureSize Bmp32Size(const std::string& bytes) {
  TPictureSize d;
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return d;
  int32_t w;
  int32_t h;
  uint16_t bits;
  std::memcpy(&w, &bytes[18], 4);
  std::memcpy(&h, &bytes[22], 4);
  std::memcpy(&bits, &bytes[28], 2);
  if (w <= 0 || h <= 0 || bits != 32 || bytes.size() != 54 + static_cast<size_t>(w) * static_cast<size_t>(h) * 4) {
    return d;
  }
  d.width = w;
  d.height = h;
  return d;
}

}  // namespace fptest
