#include "class_RecFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vz {

namespace {

bool PWriteAll(int fd, const void* data, std::size_t n, off_t at) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, p, n, at);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
    at += w;
  }
  return true;
}

}  // namespace

TRecFile::~TRecFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool TRecFile::Create(const std::string& path) {
  if (fd_ >= 0) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // Lock before truncating, so a file another recorder is writing is left
  // alone rather than emptied under it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  pos_ = 0;
  last_key_ = kRecFirstFrameOffset;
  key_written_ = false;
  return true;
}

bool TRecFile::WriteHeader(const TRecFileHeader& header) {
  if (fd_ < 0 || !PWriteAll(fd_, &header, sizeof header, 0)) return false;
  if (pos_ < kRecHeaderSize) pos_ = kRecHeaderSize;
  return ::lseek(fd_, static_cast<off_t>(pos_), SEEK_SET) >= 0;
}

void TRecFile::AdoptAppended(int64_t last_key) {
  if (fd_ < 0) return;
  const off_t end = ::lseek(fd_, 0, SEEK_END);
  if (end < 0 || static_cast<uint64_t>(end) <= pos_) return;
  pos_ = static_cast<uint64_t>(end);
  // The cache writes from a key frame on, so anything appended began with one.
  if (last_key >= static_cast<int64_t>(kRecFirstFrameOffset) && static_cast<uint64_t>(last_key) < pos_) {
    last_key_ = static_cast<uint64_t>(last_key);
    key_written_ = true;
  }
}

bool TRecFile::WriteFrame(const TFrameView& frame) {
  if (fd_ < 0) return false;
  const uint64_t p = pos_;
  const bool key = frame.Kind == TFrameKind::Video && frame.Head.IsIFrame != 0;
  uint64_t link = last_key_;
  if (key && !key_written_) link = p;
  // Links are 32-bit: a file past 4 GiB would link wrongly, so it takes no
  // more frames.
  if (p + frame.FrameBytes > UINT32_MAX) return false;
  TAVFrameHead head = frame.Head;
  head.StreamType = static_cast<int32_t>(static_cast<uint32_t>(link));
  iovec parts[2];
  parts[0].iov_base = &head;
  parts[0].iov_len = sizeof head;
  parts[1].iov_base = const_cast<uint8_t*>(frame.Frame + kFrameHeadSize);
  parts[1].iov_len = frame.FrameBytes - kFrameHeadSize;
  std::size_t left = frame.FrameBytes;
  uint64_t at = p;
  int first = 0;
  while (left > 0) {
    const ssize_t w = ::pwritev(fd_, parts + first, 2 - first, static_cast<off_t>(at));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      // Cut the partial frame off again; the file stays readable to here.
      if (::ftruncate(fd_, static_cast<off_t>(p)) != 0) {
        // Nothing better to do: readers stop at the last whole frame.
      }
      return false;
    }
    left -= static_cast<std::size_t>(w);
    at += static_cast<uint64_t>(w);
    std::size_t done = static_cast<std::size_t>(w);
    while (first < 2 && done >= parts[first].iov_len) {
      done -= parts[first].iov_len;
      ++first;
    }
    if (first < 2) {
      parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + done;
      parts[first].iov_len -= done;
    }
  }
  pos_ = at;
  if (key) {
    last_key_ = p;
    key_written_ = true;
  }
  return true;
}

uint64_t TRecFile::Close(TRecFileHeader& header) {
  if (fd_ < 0) return 0;
  struct stat st {};
  const uint64_t size = ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : pos_;
  header.FileLen = static_cast<uint32_t>(size);
  PWriteAll(fd_, &header, sizeof header, 0);
  ::close(fd_);
  fd_ = -1;
  return size;
}

void TRecFile::RemoveClosed() {
  if (fd_ < 0 && !path_.empty()) ::unlink(path_.c_str());
}

}  // namespace vz
