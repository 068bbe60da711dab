#include "class_RecFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vz {

TRecFileReader::~TRecFileReader() { Close(); }

bool TRecFileReader::Open(const std::string& path) {
  Close();
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  pos_ = 0;
  uint8_t raw[kRecHeaderSize];
  if (!ReadAt(0, raw, sizeof raw) || !ParseRecHeader(raw, sizeof raw, header_)) {
    Close();
    return false;
  }
  return true;
}

void TRecFileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = 0;
}

uint64_t TRecFileReader::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

bool TRecFileReader::ReadAt(uint64_t offset, uint8_t* buf, std::size_t bytes) {
  std::size_t done = 0;
  while (done < bytes) {
    reads_.fetch_add(1, std::memory_order_relaxed);
    const ssize_t n = ::pread(fd_, buf + done, bytes - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool TRecFileReader::Seek(uint64_t offset) {
  if (fd_ < 0 || offset > Size()) return false;
  pos_ = offset;
  return true;
}

std::size_t TRecFileReader::ReadSome(uint64_t offset, uint8_t* buf, std::size_t n) {
  if (fd_ < 0 || buf == nullptr) return 0;
  std::size_t done = 0;
  while (done < n) {
    reads_.fetch_add(1, std::memory_order_relaxed);
    const ssize_t got = ::pread(fd_, buf + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool TRecFileReader::PeekHead(TRecFrame& head) {
  if (fd_ < 0) return false;
  const uint64_t end = DataEnd();
  if (pos_ >= end || end - pos_ < kFrameHeadSize) return false;
  uint8_t raw[kFrameHeadSize];
  if (!ReadAt(pos_, raw, sizeof raw)) return false;
  TRecFrame h;
  if (ParseRecFrameHead(raw, sizeof raw, pos_, end, h) != TRecFrameStatus::Ok) return false;
  head = h;
  return true;
}

bool TRecFileReader::ReadFrame(uint8_t* buf, std::size_t capacity, TRecFrame& head, TFrameView& frame) {
  if (fd_ < 0 || buf == nullptr || capacity <= kFrameHeadSize) return false;
  const uint64_t end = DataEnd();
  if (pos_ >= end || end - pos_ < kFrameHeadSize) return false;
  if (!ReadAt(pos_, buf, kFrameHeadSize)) return false;
  TRecFrame h;
  if (ParseRecFrameHead(buf, kFrameHeadSize, pos_, end, h) != TRecFrameStatus::Ok) return false;
  if (h.FrameBytes > capacity) return false;
  if (!ReadAt(pos_ + kFrameHeadSize, buf + kFrameHeadSize, h.FrameBytes - kFrameHeadSize)) return false;
  if (!ParseFrameHead(buf, h.FrameBytes, frame)) return false;
  head = h;
  pos_ += h.FrameBytes;
  return true;
}

}  // namespace vz
