#include "DecoderLock.h"

namespace vz {

std::mutex& DecoderLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace vz
