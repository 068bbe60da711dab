// Arbitrary bytes as a stored loop file of one fixed format (a camera of one channel).
#include <cstddef>
#include <cstdint>

#include "SimLoopFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vzsim::SimVideoFormat format;
  format.codec = 2;
  format.width = 176;
  format.height = 144;
  format.fps = 10;
  format.keyInterval = 10;
  format.bitRate = 65536;
  (void)vzsim::SimLoopFile::Parse(data, size, format);
  return 0;
}
