#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "FrameBytes.h"
#include "TestEnv.h"
#include "class_avCache.h"

namespace {

using frametest::MakeFrame;
using frametest::TFrameSpec;

bool AddFrame(vz::TavCache& c, const TFrameSpec& s) {
  const std::vector<uint8_t> f = MakeFrame(s);
  return c.Add(f.data(), static_cast<uint32_t>(f.size()));
}

uint64_t OldestTimeMs(vz::TavCache& c) {
  vz::TAVFrameHead h{};
  uint32_t len = 0;
  uintptr_t tag = 0;
  if (!c.Queue().PeekPending(reinterpret_cast<uint8_t*>(&h), sizeof h, len, tag)) return ~0ull;
  return h.TimeStamp / 1000;
}

TEST(AvCache, OffCachesNothingAndWritesNothing) {
  vz::TavCache c;
  EXPECT_FALSE(AddFrame(c, TFrameSpec{}));
  int64_t last_key = -1;
  EXPECT_FALSE(c.WriteTo(1, last_key));
  EXPECT_EQ(last_key, -1);
}

TEST(AvCache, PreAlarmTimeSizesTheQueueInMiB) {
  vz::TavCache c;
  ASSERT_TRUE(c.SetPreAlarmTime(5));
  EXPECT_EQ(c.Queue().Capacity(), 5 * 1048576);
  ASSERT_TRUE(AddFrame(c, TFrameSpec{}));
  ASSERT_TRUE(c.SetPreAlarmTime(5));  // unchanged: keeps what it holds
  EXPECT_EQ(c.PendingCount(), 1u);
  c.Clear();
  EXPECT_EQ(c.PendingCount(), 0u);
  ASSERT_TRUE(c.SetPreAlarmTime(0));
  EXPECT_EQ(c.Queue().Capacity(), 0);
  EXPECT_FALSE(AddFrame(c, TFrameSpec{}));
}

TEST(AvCache, FramesFortyMillisecondsApartSpanJustUnderTheWindow) {
  vz::TavCache c;
  ASSERT_TRUE(c.SetPreAlarmTime(5));
  const uint64_t t0 = 1700000000000ull;
  for (uint64_t i = 0; i < 300; ++i) ASSERT_TRUE(AddFrame(c, TFrameSpec{true, 2000, t0 + i * 40}));
  // Newest at t0 + 11960; everything from 5000 ms before it is gone.
  EXPECT_EQ(OldestTimeMs(c), t0 + 11960 - 4960);
  EXPECT_EQ(c.PendingCount(), 125u);
}

struct TWindowCase {
  const char* name;
  int64_t next_ms;  // relative to the one cached frame at 10,000,000 ms
  size_t left;  // frames cached afterwards
};

class AvCacheWindow : public ::testing::TestWithParam<TWindowCase> {};

TEST_P(AvCacheWindow, OldestFrameLeavesAtExactlyTheWindow) {
  const TWindowCase& w = GetParam();
  vz::TavCache c;
  ASSERT_TRUE(c.SetPreAlarmTime(5));
  const uint64_t base = 10000000;
  ASSERT_TRUE(AddFrame(c, TFrameSpec{true, 100, base}));
  ASSERT_TRUE(AddFrame(c, TFrameSpec{true, 100, static_cast<uint64_t>(static_cast<int64_t>(base) + w.next_ms)}));
  EXPECT_EQ(c.PendingCount(), w.left) << w.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, AvCacheWindow,
                         ::testing::Values(TWindowCase{"same time", 0, 2}, TWindowCase{"4999 ms", 4999, 2},
                                           TWindowCase{"5000 ms evicts", 5000, 1},
                                           TWindowCase{"clock set back", -1, 1},
                                           TWindowCase{"clock set back far", -3600000, 1},
                                           TWindowCase{"49.7 days later", 4294967296ll, 1}));

TEST(AvCache, InvalidFramesAreNotCached) {
  vz::TavCache c;
  ASSERT_TRUE(c.SetPreAlarmTime(1));
  std::vector<uint8_t> f = MakeFrame(TFrameSpec{});
  EXPECT_FALSE(c.Add(f.data(), static_cast<uint32_t>(f.size() - 1)));  // length past the bytes
  EXPECT_FALSE(c.Add(f.data(), 24));
  EXPECT_FALSE(c.Add(nullptr, 100));
  EXPECT_EQ(c.PendingCount(), 0u);
}

class AvCacheWriteTo : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (dir_ / "alarm.av").string();
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd_, 0);
    const std::vector<uint8_t> header(256, 0xEE);  // stands for the record file header
    ASSERT_EQ(::write(fd_, header.data(), header.size()), 256);
    ASSERT_TRUE(cache_.SetPreAlarmTime(5));
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
  }
  std::vector<uint8_t> FileBytes() const {
    const std::string s = vztest::ReadFileBytes(path_);
    return std::vector<uint8_t>(s.begin(), s.end());
  }

  vztest::TempDir dir_;
  std::string path_;
  int fd_ = -1;
  vz::TavCache cache_;
};

TEST_F(AvCacheWriteTo, OnlyPFramesWritesNothingAndReportsTheEnd) {
  for (uint64_t i = 0; i < 5; ++i) ASSERT_TRUE(AddFrame(cache_, TFrameSpec{true, 300, 1000 + i * 40}));
  ASSERT_TRUE(AddFrame(cache_, TFrameSpec{false, 1024, 1100}));
  int64_t last_key = -1;
  ASSERT_TRUE(cache_.WriteTo(fd_, last_key));
  EXPECT_EQ(last_key, 256);
  EXPECT_EQ(FileBytes().size(), 256u);
  EXPECT_EQ(cache_.PendingCount(), 0u);  // consumed all the same
}

TEST_F(AvCacheWriteTo, WritesFromTheFirstKeyFrameWithBackLinks) {
  struct TStep {
    TFrameSpec spec;
    bool written;
    int32_t link;  // expected StreamType in the file, as an offset
  };
  // Sizes chosen so offsets are easy: video 100 payload = 124 bytes,
  // audio 1024 payload = 1048 bytes.
  const TStep steps[] = {
      {{false, 1024, 1000}, false, 0},             // audio before any key frame
      {{true, 100, 1010, 0, false}, false, 0},     // P-frame before any key frame
      {{true, 100, 1020, 0, true, 1}, true, 256},  // first key links to itself (256)
      {{true, 100, 1030, 0, false}, true, 256},
      {{false, 1024, 1035}, true, 256},
      {{true, 100, 1040, 0, true}, true, 256},  // second key links to the first
      {{true, 100, 1050, 0, false}, true, 256 + 124 + 124 + 1048},
  };
  for (const TStep& s : steps) ASSERT_TRUE(AddFrame(cache_, s.spec));
  int64_t last_key = -1;
  ASSERT_TRUE(cache_.WriteTo(fd_, last_key));
  EXPECT_EQ(last_key, 256 + 124 + 124 + 1048);

  const std::vector<uint8_t> file = FileBytes();
  size_t at = 256;
  for (const TStep& s : steps) {
    if (!s.written) continue;
    const std::vector<uint8_t> want = MakeFrame(s.spec);
    ASSERT_LE(at + want.size(), file.size());
    const std::vector<uint8_t> got(file.begin() + static_cast<long>(at),
                                   file.begin() + static_cast<long>(at + want.size()));
    EXPECT_EQ(frametest::HeadOf(got).StreamType, s.link) << "frame at " << at;
    EXPECT_EQ(frametest::HeadOf(got).TimeStamp, frametest::HeadOf(want).TimeStamp);
    EXPECT_TRUE(std::equal(got.begin() + 24, got.end(), want.begin() + 24));
    at += want.size();
  }
  EXPECT_EQ(at, file.size());
}

TEST_F(AvCacheWriteTo, BadDescriptorsFail) {
  ASSERT_TRUE(AddFrame(cache_, TFrameSpec{true, 100, 1000, 0, true}));
  int64_t last_key = 0;
  EXPECT_FALSE(cache_.WriteTo(-1, last_key));
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  EXPECT_FALSE(cache_.WriteTo(pipe_fds[1], last_key));  // not seekable
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

// The receiving thread keeps adding while another thread writes the cache
// out: every frame in the file must be whole, and every back-link must
// point at a key frame written earlier in it (or the frame itself).
TEST_F(AvCacheWriteTo, WritingWhileFramesArriveLeavesAWellFormedFile) {
  ASSERT_TRUE(cache_.SetPreAlarmTime(1));  // 1 MiB: the ring wraps often
  std::atomic<bool> stop{false};
  std::thread producer([&] {
    uint64_t t = 1000;
    for (uint32_t i = 0; !stop.load(); ++i, t += 5) {
      const uint32_t bytes = 3000 + (i * 7919u) % 60000u;
      AddFrame(cache_, TFrameSpec{true, bytes, t, 0, i % 10 == 0, 0, static_cast<uint8_t>(i)});
    }
  });
  int64_t last_key = 0;
  for (int round = 0; round < 50; ++round) {
    while (cache_.PendingCount() < 10) std::this_thread::yield();
    bool ok = cache_.WriteTo(fd_, last_key);
    EXPECT_TRUE(ok);
    if (!ok) break;  // the producer must be joined before any return
  }
  stop.store(true);
  producer.join();

  const std::vector<uint8_t> file = FileBytes();
  std::vector<size_t> keys;
  size_t at = 256;
  size_t frames = 0;
  while (at < file.size()) {
    vz::TFrameView v;
    ASSERT_TRUE(vz::ParseFrameHead(file.data() + at, file.size() - at, v)) << "at " << at;
    for (uint32_t k = 0; k < v.PayloadBytes; ++k) ASSERT_EQ(v.Payload[k], v.Payload[0]) << "torn payload at " << at;
    const size_t link = static_cast<size_t>(static_cast<uint32_t>(v.Head.StreamType));
    if (v.Head.IsIFrame != 0 && (keys.empty() || link == at)) {
      // the first key frame of a write-out links to itself
    } else {
      ASSERT_FALSE(keys.empty());
      EXPECT_TRUE(std::find(keys.begin(), keys.end(), link) != keys.end()) << "link " << link << " at " << at;
    }
    if (v.Head.IsIFrame != 0) keys.push_back(at);
    at += v.FrameBytes;
    ++frames;
  }
  EXPECT_EQ(at, file.size());
  EXPECT_GT(frames, 0u);
}

}  // namespace
