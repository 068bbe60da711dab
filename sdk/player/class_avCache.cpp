#include "class_avCache.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "AVFrameHead.h"

namespace vz {

namespace {

bool WriteAll(int fd, const uint8_t* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

bool TavCache::SetPreAlarmTime(uint32_t seconds) {
  if (seconds > kMaxPreAlarmSeconds) seconds = kMaxPreAlarmSeconds;
  if (seconds == pre_alarm_s_.load()) return true;
  // Off while the ring changes, so a concurrent Add finds the cache off
  // rather than a half-sized queue.
  pre_alarm_s_.store(0);
  if (!queue_.SetCapacity(static_cast<int32_t>(seconds * kCacheBytesPerSecond))) return false;
  pre_alarm_s_.store(seconds);
  return true;
}

void TavCache::Clear() { queue_.DrainAll(); }

bool TavCache::Add(const uint8_t* frame, uint32_t total_bytes) {
  const uint32_t window_s = pre_alarm_s_.load();
  if (window_s == 0) return false;
  TFrameView v;
  if (!ParseFrameHead(frame, total_bytes, v)) return false;
  const int64_t window_ms = static_cast<int64_t>(window_s) * 1000;
  TAVFrameHead oldest;
  uint32_t length = 0;
  uintptr_t tag = 0;
  while (queue_.PeekPending(reinterpret_cast<uint8_t*>(&oldest), sizeof oldest, length, tag)) {
    if (length >= sizeof oldest) {
      // Modular difference: a new frame older than the cached one comes
      // out negative and evicts, as does one a whole window newer.
      const int64_t delta_ms = static_cast<int64_t>(v.Head.TimeStamp - oldest.TimeStamp) / 1000;
      if (delta_ms >= 0 && delta_ms < window_ms) break;
    }
    queue_.TakePending(nullptr, 0, length, tag);
  }
  return queue_.Push(v.Frame, v.FrameBytes, Tag());
}

bool TavCache::WriteTo(int fd, int64_t& last_key) {
  if (pre_alarm_s_.load() == 0 || fd < 0) return false;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0) return false;
  last_key = end;
  bool key_seen = false;
  bool ok = true;
  const std::size_t count = queue_.PendingCount();
  std::vector<uint8_t> out;  // one frame at a time, reused
  uintptr_t tag = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!queue_.TakePending(out, tag)) break;
    if (!ok) continue;  // consume the rest, write nothing more
    TFrameView v;
    if (!ParseFrameHead(out.data(), out.size(), v)) continue;
    const bool video_key = v.Kind == TFrameKind::Video && v.Head.IsIFrame != 0;
    if (video_key) key_seen = true;
    if (!key_seen) continue;
    const off_t p = ::lseek(fd, 0, SEEK_CUR);
    if (p < 0) {
      ok = false;
      continue;
    }
    SetFrameStreamType(out.data(), static_cast<int32_t>(last_key));
    if (!WriteAll(fd, out.data(), v.FrameBytes)) {
      ok = false;
      continue;
    }
    if (video_key) last_key = p;
  }
  return ok;
}

}  // namespace vz
