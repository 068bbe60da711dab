// Arbitrary bytes into the decoder: the first byte picks the codec kind and
// how the rest is cut into payloads; every picture that comes out is read
// to its last sample.
#include <cstddef>
#include <cstdint>

#include "class_Decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 1) return 0;
  vz::TAVDecode dec;
  dec.SetCodec(data[0] % 3);
  if (!dec.Open()) return 0;
  // Payload sizes 1 ... 2048, or the whole rest when the high bit is set.
  const size_t cut = (data[0] & 0x80) != 0 ? size : 1 + (static_cast<size_t>(data[0] & 0x7F) << 4);
  size_t at = 1;
  uint64_t second = 0;
  unsigned sum = 0;
  while (at < size) {
    const size_t n = size - at < cut ? size - at : cut;
    dec.Decode(data + at, static_cast<int32_t>(n), second++);
    dec.TakePicture([&](const vz::TDecodedPicture& p) {
      for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? p.Height : (p.Height + 1) / 2;
        const int cols = plane == 0 ? p.Width : (p.Width + 1) / 2;
        sum += p.Plane[plane][(rows - 1) * p.LineSize[plane] + cols - 1];
      }
    });
    at += n;
  }
  return static_cast<int>(sum & 0);
}
