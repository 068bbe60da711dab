// Arbitrary bytes as a record file: header, every frame head, the chain
// walk. The reader asserts that nothing reads outside the bytes given.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RecFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (data == nullptr) size = 0;
  const vz::TRecReadAt read = [data, size](uint64_t offset, uint8_t* dst, std::size_t n) -> std::size_t {
    if (offset > size || n > size - offset) std::abort();  // callers read inside the file only
    std::memcpy(dst, data + offset, n);
    return n;
  };
  for (const auto rule : {vz::TRecFirstFrame::KeyOnly, vz::TRecFirstFrame::AlarmLeadAllowed}) {
    const vz::TRecCheckReport r = vz::CheckRecFile(read, size, rule);
    if (r.HeaderRead && r.Frames > 0 && r.LastFrameEnd > r.DataEnd) std::abort();
  }
  // Walks from every offset near the start, well-formed or not.
  vz::TRecFileHeader h;
  if (vz::ParseRecHeader(data, size, h)) {
    const uint64_t end = vz::RecDataEnd(h, size);
    for (uint64_t off = vz::kRecFirstFrameOffset; off < end && off < 512; ++off) {
      vz::WalkBackLinks(read, end, off);
    }
  }
  return 0;
}
