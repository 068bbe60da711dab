// Arbitrary bytes as a record file: the frame walk forwards and every
// back-link chain from each frame found, as the file player follows them,
// and the byte-wise key-frame search of the export cut. Nothing may read
// outside the file or loop.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "RecFileCut.h"
#include "class_RecFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("recfile", 0);
  if (fd < 0) return 0;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  vz::TRecFileReader reader;
  if (reader.Open(path) && reader.Seek(vz::kRecFirstFrameOffset)) {
    std::vector<uint8_t> buf(vz::kRecMaxFrameBytes);
    std::vector<uint64_t> offsets;
    vz::TRecFrame head{};
    vz::TFrameView frame{};
    uint64_t at = reader.Position();
    while (reader.ReadFrame(buf.data(), buf.size(), head, frame)) {
      if (reader.Position() <= at || reader.Position() > size || head.Offset != at) std::abort();
      offsets.push_back(at);
      at = reader.Position();
    }
    vz::TRecFileReader back;
    if (!back.Open(path)) std::abort();
    for (uint64_t start : offsets) {
      if (!back.Seek(start) || !back.ReadFrame(buf.data(), buf.size(), head, frame)) std::abort();
      for (size_t steps = 0; !head.LinksToItself(); ++steps) {
        const uint64_t from = head.Offset;
        if (head.BackLink > from || steps > size) std::abort();
        if (!back.Seek(head.BackLink) || !back.ReadFrame(buf.data(), buf.size(), head, frame)) break;
      }
    }
  }
  const int64_t key = vz::FindKeyFrameFrom(path, 0);
  if (key >= 0 && static_cast<uint64_t>(key) + 24 > size) std::abort();
  close(fd);
  return 0;
}
