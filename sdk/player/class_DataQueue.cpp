#include "class_DataQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vz {

namespace {
constexpr std::size_t kTakenFlagOffset = 12;
}

TDataQueue::TDataQueue() = default;

TDataQueue::~TDataQueue() {
  std::lock_guard<std::mutex> g(lock_);
  ring_.reset();
  entries_.clear();
}

void TDataQueue::ResetLocked() {
  entries_.clear();
  taken_prefix_ = 0;
  write_offset_ = 0;
}

bool TDataQueue::SetCapacity(int32_t bytes) {
  std::lock_guard<std::mutex> g(lock_);
  if (bytes == capacity_) return true;
  // Entries point into the old ring, so they cannot survive a new one.
  ResetLocked();
  ring_.reset();
  capacity_ = 0;
  if (bytes <= 0) return true;
  ring_.reset(new (std::nothrow) uint8_t[static_cast<std::size_t>(bytes)]);
  if (!ring_) return false;
  capacity_ = bytes;
  return true;
}

int32_t TDataQueue::Capacity() const {
  std::lock_guard<std::mutex> g(lock_);
  return capacity_;
}

int32_t TDataQueue::WriteOffset() const {
  std::lock_guard<std::mutex> g(lock_);
  return write_offset_;
}

void TDataQueue::PopFrontLocked() {
  entries_.pop_front();
  if (taken_prefix_ > 0) --taken_prefix_;
}

bool TDataQueue::Push(const uint8_t* data, uint32_t length, uintptr_t tag) {
  if (data == nullptr && length != 0) return false;
  std::lock_guard<std::mutex> g(lock_);
  const int64_t need = static_cast<int64_t>(length) + kQueueEntryHeadSize;
  if (need > capacity_) return false;
  const int32_t size = static_cast<int32_t>(need);

  if (static_cast<int64_t>(write_offset_) + size >= capacity_) {
    // Wrap. The entries beyond the old write point belong to the pass
    // before last and are the oldest: drop them first.
    const int32_t old_write = write_offset_;
    write_offset_ = 0;
    while (!entries_.empty() && entries_.front().Offset >= old_write) PopFrontLocked();
  }
  // Every entry of the previous pass that the new bytes touch is dropped,
  // together with everything older (they sit in front of it in the list).
  const int32_t start = write_offset_;
  const int32_t end = start + size;
  while (!entries_.empty() && entries_.front().Offset >= start && entries_.front().Offset < end)
    PopFrontLocked();

  uint8_t* at = ring_.get() + start;
  std::memset(at, 0, kQueueEntryHeadSize);
  const uint32_t magic = kQueueEntryMagic;
  const uint32_t tag32 = static_cast<uint32_t>(tag);
  std::memcpy(at, &magic, 4);
  std::memcpy(at + 4, &length, 4);
  std::memcpy(at + 8, &tag32, 4);
  if (length != 0) std::memcpy(at + kQueueEntryHeadSize, data, length);
  entries_.push_back(TEntry{start, length, tag});
  write_offset_ = end;
  return true;
}

const TDataQueue::TEntry* TDataQueue::OldestPendingLocked() const {
  if (taken_prefix_ >= entries_.size()) return nullptr;
  return &entries_[taken_prefix_];
}

bool TDataQueue::ReadPendingLocked(TRead mode, uint8_t* dst, std::size_t max_bytes, uint32_t& length,
                                   uintptr_t& tag) const {
  const TEntry* e = OldestPendingLocked();
  if (e == nullptr) return false;
  length = e->Length;
  tag = e->Tag;
  const std::size_t n = std::min<std::size_t>(max_bytes, e->Length);
  if (dst != nullptr && n != 0) std::memcpy(dst, ring_.get() + e->Offset + kQueueEntryHeadSize, n);
  if (mode == TRead::Take) {
    ring_[static_cast<std::size_t>(e->Offset) + kTakenFlagOffset] = 1;
    ++taken_prefix_;
  }
  return true;
}

bool TDataQueue::PeekPending(uint8_t* dst, std::size_t max_bytes, uint32_t& length,
                             uintptr_t& tag) const {
  std::lock_guard<std::mutex> g(lock_);
  return ReadPendingLocked(TRead::Peek, dst, max_bytes, length, tag);
}

bool TDataQueue::TakePending(uint8_t* dst, std::size_t max_bytes, uint32_t& length,
                             uintptr_t& tag) {
  std::lock_guard<std::mutex> g(lock_);
  return ReadPendingLocked(TRead::Take, dst, max_bytes, length, tag);
}

bool TDataQueue::ReadPendingLocked(TRead mode, std::vector<uint8_t>& out, uintptr_t& tag) const {
  const TEntry* e = OldestPendingLocked();
  if (e == nullptr) return false;
  out.resize(e->Length);
  uint32_t length = 0;
  return ReadPendingLocked(mode, out.data(), out.size(), length, tag);
}

bool TDataQueue::PeekPending(std::vector<uint8_t>& out, uintptr_t& tag) const {
  std::lock_guard<std::mutex> g(lock_);
  return ReadPendingLocked(TRead::Peek, out, tag);
}

bool TDataQueue::TakePending(std::vector<uint8_t>& out, uintptr_t& tag) {
  std::lock_guard<std::mutex> g(lock_);
  return ReadPendingLocked(TRead::Take, out, tag);
}

std::size_t TDataQueue::PendingCount() const {
  std::lock_guard<std::mutex> g(lock_);
  return entries_.size() - taken_prefix_;
}

std::size_t TDataQueue::ListedCount() const {
  std::lock_guard<std::mutex> g(lock_);
  return entries_.size();
}

void TDataQueue::DrainAll() {
  std::lock_guard<std::mutex> g(lock_);
  for (std::size_t i = taken_prefix_; i < entries_.size(); ++i)
    ring_[static_cast<std::size_t>(entries_[i].Offset) + kTakenFlagOffset] = 1;
  taken_prefix_ = entries_.size();
}

}  // namespace vz
