#include "RecFileCut.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "AVFrameHead.h"
#include "class_RecFileReader.h"

namespace vz {

namespace {

constexpr std::size_t kScanChunk = 64 * 1024;

bool IsKeyFrameHead(const uint8_t* p) {
  TAVFrameHead h;
  std::memcpy(&h, p, sizeof h);
  return h.Magic == kMarkerVideo && h.IsIFrame != 0 && h.Len > kFrameLenOverhead && h.Len <= kMaxUnitLength;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

int64_t ScanForKey(TRecFileReader& reader, uint64_t from) {
  std::vector<uint8_t> buf(kScanChunk + kFrameHeadSize);
  uint64_t at = from;
  for (;;) {
    const std::size_t got = reader.ReadSome(at, buf.data(), buf.size());
    if (got < kFrameHeadSize) return -1;
    const std::size_t last = got - kFrameHeadSize;  // last offset with a whole head
    for (std::size_t i = 0; i <= last; ++i) {
      if (IsKeyFrameHead(buf.data() + i)) return static_cast<int64_t>(at + i);
    }
    at += last + 1;
  }
}

}  // namespace

int64_t FindKeyFrameFrom(const std::string& path, uint64_t from) {
  TRecFileReader reader;
  if (!reader.Open(path)) return -1;
  return ScanForKey(reader, from);
}

bool CutRecFile(const std::string& source, const uint8_t* header, uint32_t from, uint32_t to,
                const std::string& dest, const std::function<void()>& betweenFrames) {
  if (header == nullptr || dest.empty() || from >= to) return false;
  TRecFileReader reader;
  if (!reader.Open(source)) return false;
  const int64_t key = ScanForKey(reader, from);

  const int fd = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, header, TRecFileReader::kHeaderBytes);
  if (ok && key >= 0 && reader.Seek(static_cast<uint64_t>(key))) {
    std::vector<uint8_t> frame(static_cast<std::size_t>(kMaxUnitLength) + kUnitHeadSize);
    TFrameView view{};
    TRecFrame head{};
    const uint64_t shift = static_cast<uint64_t>(key) - kRecFirstFrameOffset;
    while (ok && reader.ReadFrame(frame.data(), frame.size(), head, view)) {
      // The frames move down by shift: their back-links move with them, so
      // that the piece plays backwards like any record file; a link to a
      // key frame before the piece becomes the piece's first frame.
      const uint64_t link = head.BackLink >= static_cast<uint64_t>(key) ? head.BackLink - shift : kRecFirstFrameOffset;
      SetFrameStreamType(frame.data(), static_cast<int32_t>(link));
      ok = WriteAll(fd, view.Frame, view.FrameBytes);
      if (reader.Position() >= to) break;
      if (betweenFrames) betweenFrames();
    }
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) std::remove(dest.c_str());
  return ok;
}

}  // namespace vz
