// Feeds arbitrary bytes to one device session as if a client had sent them.
#include <cstddef>
#include <cstdint>

#include "SimDevice.h"
#include "SimLink.h"
#include "SimSession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A fresh device each time, kept in memory, so every input replays alike.
  vzsim::SimDevice device(0, vzsim::SimModel::Dvr, "", false);
  vzsim::MemoryLink link(data, size);
  vzsim::SimSession session(device, link, 1);
  session.Run();
  return 0;
}
