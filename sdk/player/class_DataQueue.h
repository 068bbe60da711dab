#pragma once
// TDataQueue: a byte ring holding whole records in arrival order. A record
// is never refused for lack of room: the oldest records are overwritten.
// Taking a record only marks it taken; it leaves the list when the ring
// overwrites it.
//
// Records are copied out under the queue's lock, so a reader on another
// thread never sees bytes that a concurrent Push is overwriting.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace vz {

constexpr uint32_t kQueueEntryMagic = 0x6F6F7878u;  // the bytes "xxoo"
constexpr int32_t kQueueEntryHeadSize = 16;
constexpr std::size_t kQueueListReserve = 10000;

class TDataQueue {
 public:
  TDataQueue();
  ~TDataQueue();
  TDataQueue(const TDataQueue&) = delete;
  TDataQueue& operator=(const TDataQueue&) = delete;

  // 0 or less frees the ring. A new size starts an empty ring: entries of
  // the old one are forgotten. False when the ring cannot be allocated
  // (the queue is then empty with capacity 0).
  bool SetCapacity(int32_t bytes);
  int32_t Capacity() const;

  // False when length + 16 exceeds the capacity or data is null with a
  // nonzero length.
  bool Push(const uint8_t* data, uint32_t length, uintptr_t tag);

  // The oldest pending entry: its full stored length and tag, and up to
  // max_bytes of its bytes copied to dst (dst may be null with max_bytes 0).
  bool PeekPending(uint8_t* dst, std::size_t max_bytes, uint32_t& length, uintptr_t& tag) const;
  // As PeekPending, and marks the entry taken.
  bool TakePending(uint8_t* dst, std::size_t max_bytes, uint32_t& length, uintptr_t& tag);
  // Whole-entry forms: out is resized to the stored length.
  bool PeekPending(std::vector<uint8_t>& out, uintptr_t& tag) const;
  bool TakePending(std::vector<uint8_t>& out, uintptr_t& tag);

  std::size_t PendingCount() const;
  std::size_t ListedCount() const;  // pending and taken entries still in the ring
  void DrainAll();

  // Ring offset of the next write (for tests of the wrap rules).
  int32_t WriteOffset() const;

 private:
  struct TEntry {
    int32_t Offset;  // of the entry head in the ring
    uint32_t Length;  // stored bytes after the head
    uintptr_t Tag;
  };
  enum class TRead : uint8_t { Peek, Take };
  const TEntry* OldestPendingLocked() const;
  // Take marks the entry; the ring bytes and the prefix count are the only
  // state a read changes (taken_prefix_ is mutable for it).
  bool ReadPendingLocked(TRead mode, uint8_t* dst, std::size_t max_bytes, uint32_t& length,
                         uintptr_t& tag) const;
  bool ReadPendingLocked(TRead mode, std::vector<uint8_t>& out, uintptr_t& tag) const;
  void PopFrontLocked();
  void ResetLocked();

  mutable std::mutex lock_;
  // All below guarded by lock_.
  std::unique_ptr<uint8_t[]> ring_;
  int32_t capacity_ = 0;
  int32_t write_offset_ = 0;
  // Oldest first. Entries of the previous pass over the ring come first,
  // each pass in ascending offsets; taken entries are always a prefix,
  // because taking picks the oldest pending one.
  std::deque<TEntry> entries_;
  mutable std::size_t taken_prefix_ = 0;
};

}  // namespace vz
