#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "class_DataQueue.h"

namespace {

constexpr int32_t kMiB = 1048576;

// A record that carries its own sequence number and a pattern derived from
// it, so any mix-up or overwrite shows. The filler deliberately contains
// the entry magic "xxoo" over and over.
std::vector<uint8_t> Record(uint32_t seq, uint32_t bytes) {
  std::vector<uint8_t> r(bytes);
  static const char kFill[] = "xxoo";
  for (uint32_t i = 0; i < bytes; ++i) r[i] = static_cast<uint8_t>(kFill[i % 4] + (i / 4 == seq % 7 ? 1 : 0));
  if (bytes >= 4) std::memcpy(r.data(), &seq, 4);
  return r;
}

uint32_t SeqOf(const std::vector<uint8_t>& r) {
  uint32_t s = 0;
  std::memcpy(&s, r.data(), 4);
  return s;
}

TEST(DataQueue, PeekLeavesAndTakeMarksTheOldestPendingEntry) {
  vz::TDataQueue q;
  ASSERT_TRUE(q.SetCapacity(4096));
  for (uint32_t i = 0; i < 3; ++i) ASSERT_TRUE(q.Push(Record(i, 100).data(), 100, 40 + i));
  std::vector<uint8_t> out;
  uintptr_t tag = 0;
  ASSERT_TRUE(q.PeekPending(out, tag));
  EXPECT_EQ(SeqOf(out), 0u);
  EXPECT_EQ(tag, 40u);
  EXPECT_EQ(q.PendingCount(), 3u);
  ASSERT_TRUE(q.TakePending(out, tag));
  EXPECT_EQ(SeqOf(out), 0u);
  EXPECT_EQ(q.PendingCount(), 2u);
  EXPECT_EQ(q.ListedCount(), 3u);  // taken entries stay until overwritten
  ASSERT_TRUE(q.TakePending(out, tag));
  EXPECT_EQ(SeqOf(out), 1u);
  EXPECT_EQ(tag, 41u);
  q.DrainAll();
  EXPECT_EQ(q.PendingCount(), 0u);
  EXPECT_FALSE(q.PeekPending(out, tag));
  EXPECT_FALSE(q.TakePending(out, tag));
}

TEST(DataQueue, PartialCopyReportsTheFullLength) {
  vz::TDataQueue q;
  ASSERT_TRUE(q.SetCapacity(4096));
  const std::vector<uint8_t> r = Record(9, 300);
  ASSERT_TRUE(q.Push(r.data(), 300, 1));
  uint8_t first[8] = {};
  uint32_t len = 0;
  uintptr_t tag = 0;
  ASSERT_TRUE(q.PeekPending(first, sizeof first, len, tag));
  EXPECT_EQ(len, 300u);
  EXPECT_EQ(std::memcmp(first, r.data(), sizeof first), 0);
}

struct TSizeCase {
  int32_t capacity;
  uint32_t length;
  bool ok;
};

class DataQueueSize : public ::testing::TestWithParam<TSizeCase> {};

TEST_P(DataQueueSize, RecordsLargerThanCapacityLessTheHeadAreRefused) {
  const TSizeCase& c = GetParam();
  vz::TDataQueue q;
  ASSERT_TRUE(q.SetCapacity(c.capacity));
  const std::vector<uint8_t> r(c.length, 7);
  EXPECT_EQ(q.Push(r.data(), c.length, 0), c.ok);
  EXPECT_EQ(q.PendingCount(), c.ok ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DataQueueSize,
                         ::testing::Values(TSizeCase{0, 1, false}, TSizeCase{1024, 1008, true},
                                           TSizeCase{1024, 1009, false}, TSizeCase{1024, 0, true},
                                           TSizeCase{-5, 1, false}));

TEST(DataQueue, NewCapacityStartsEmptyAndZeroFreesTheRing) {
  vz::TDataQueue q;
  ASSERT_TRUE(q.SetCapacity(4096));
  ASSERT_TRUE(q.Push(Record(1, 64).data(), 64, 0));
  ASSERT_TRUE(q.SetCapacity(4096));  // unchanged: entries kept
  EXPECT_EQ(q.PendingCount(), 1u);
  ASSERT_TRUE(q.SetCapacity(2048));
  EXPECT_EQ(q.PendingCount(), 0u);
  EXPECT_EQ(q.WriteOffset(), 0);
  ASSERT_TRUE(q.SetCapacity(0));
  EXPECT_EQ(q.Capacity(), 0);
  EXPECT_FALSE(q.Push(Record(2, 4).data(), 4, 0));
}

TEST(DataQueue, PushingPastTheEndWrapsAndDropsTheOldest) {
  vz::TDataQueue q;
  ASSERT_TRUE(q.SetCapacity(kMiB));
  const uint32_t n = 100000;  // 10 entries of 100016 bytes fit, the 11th wraps
  for (uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(q.Push(Record(i, n).data(), n, i));
  EXPECT_EQ(q.WriteOffset(), 10 * 100016);
  ASSERT_TRUE(q.Push(Record(10, n).data(), n, 10));
  EXPECT_EQ(q.WriteOffset(), 100016);  // written at 0
  // Entry 0 sat where the new one went; entries behind the write point
  // are still there and intact, oldest first.
  EXPECT_EQ(q.PendingCount(), 10u);
  std::vector<uint8_t> out;
  uintptr_t tag = 0;
  for (uint32_t want = 1; want <= 10; ++want) {
    ASSERT_TRUE(q.TakePending(out, tag));
    EXPECT_EQ(tag, want);
    EXPECT_EQ(out, Record(want, n)) << want;
  }
  // A bigger record overwrites the heads of entries 1 and 2 as well.
  ASSERT_TRUE(q.Push(Record(11, 150000).data(), 150000, 11));
  EXPECT_EQ(q.ListedCount(), 9u);  // 3..11
  EXPECT_EQ(q.PendingCount(), 1u);
}

TEST(DataQueue, TheSkippedTailBeforeAWrapGoesBeforeAnythingYounger) {
  vz::TDataQueue q;
  ASSERT_TRUE(q.SetCapacity(1000));
  // Pass 1: ten 96-byte entries up to offset 960. Pass 2: a small and a
  // large entry end at 556, leaving entries 6..9 of pass 1 at the tail.
  for (uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(q.Push(Record(i, 80).data(), 80, i));
  ASSERT_TRUE(q.Push(Record(10, 40).data(), 40, 10));
  ASSERT_TRUE(q.Push(Record(11, 484).data(), 484, 11));
  EXPECT_EQ(q.WriteOffset(), 556);
  std::vector<uint8_t> out;
  uintptr_t tag = 0;
  const uint32_t sizes[] = {80, 80, 80, 80, 40, 484};
  for (uint32_t want = 6; want <= 11; ++want) {
    ASSERT_TRUE(q.TakePending(out, tag));
    ASSERT_EQ(tag, want);
    EXPECT_EQ(out, Record(want, sizes[want - 6]));
  }
  // The next wrap writes over entries 10 and 11 at the start; the pass-1
  // tail is older still and must not outlive them.
  ASSERT_TRUE(q.Push(Record(12, 484).data(), 484, 12));
  EXPECT_EQ(q.ListedCount(), 1u);
  ASSERT_TRUE(q.TakePending(out, tag));
  EXPECT_EQ(tag, 12u);
  EXPECT_EQ(out, Record(12, 484));
}

// Random sizes and takes: whatever the queue hands out is exactly what was
// pushed, in push order, and the newest record is always there.
TEST(DataQueue, RandomTrafficNeverYieldsCorruptOrReorderedRecords) {
  std::mt19937 rng(12345);
  const int32_t capacities[] = {4096, 65536, kMiB};
  for (int32_t cap : capacities) {
    vz::TDataQueue q;
    ASSERT_TRUE(q.SetCapacity(cap));
    std::uniform_int_distribution<uint32_t> size(4, static_cast<uint32_t>(cap / 2 - 16));
    uint32_t last_out = 0;
    bool any_out = false;
    std::vector<uint8_t> out;
    uintptr_t tag = 0;
    for (uint32_t seq = 0; seq < 3000; ++seq) {
      const uint32_t n = size(rng);
      ASSERT_TRUE(q.Push(Record(seq, n).data(), n, seq));
      ASSERT_GE(q.PendingCount(), 1u);
      if (rng() % 3 == 0) {
        ASSERT_TRUE(q.TakePending(out, tag));
        ASSERT_EQ(out, Record(static_cast<uint32_t>(tag), static_cast<uint32_t>(out.size()))) << cap;
        ASSERT_EQ(SeqOf(out), tag);
        if (any_out) {
          ASSERT_GT(tag, last_out);
        }
        last_out = static_cast<uint32_t>(tag);
        any_out = true;
      }
    }
    // The newest record is the last one out.
    uintptr_t last_tag = 0;
    while (q.TakePending(out, tag)) {
      ASSERT_EQ(SeqOf(out), tag);
      last_tag = tag;
    }
    EXPECT_EQ(last_tag, 2999u);
  }
}

}  // namespace
