// Feeds arbitrary bytes to the state file parser.
#include <cstddef>
#include <cstdint>

#include "SimState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vzsim::SimState state;
  if (state.Parse(data, size)) {
    (void)state.Channels();
    state.MirrorChannelZero();
  }
  return 0;
}
