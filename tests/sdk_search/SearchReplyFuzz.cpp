// The search reply parser takes whatever arrives on the search sockets.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "SearchPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::TSearchReply reply;
  if (!vz::ParseSearchReply(data, size, &reply)) return 0;
  // Accepted replies hand out terminated texts whose address matches the IP text.
  for (const char* text : {reply.DevName, reply.DevIP, reply.DevMAC, reply.SubMask, reply.Gateway, reply.DNS}) {
    if (std::strlen(text) > vz::kSearchTextSize) std::abort();
  }
  if (reply.Address != vz::SearchAddressOf(reply.DevIP, vz::kSearchTextSize)) std::abort();
  return 0;
}
