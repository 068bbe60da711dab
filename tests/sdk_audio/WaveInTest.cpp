// Capture through the file plugin's input file: whole 4,096-byte buffers, the
// file's bytes in order, and a stop that ends the capture thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AudioEnv.h"
#include "TestEnv.h"
#include "class_WaveIn.h"

namespace {

struct Collected {
  std::mutex lock;
  std::condition_variable more;
  std::vector<uint32_t> counts;
  std::string bytes;
  std::vector<TWaveIn*> senders;
};

TEST(WaveIn, CapturesWholeBuffersInFileOrder) {
  std::string input(3 * TWaveIn::kBufferBytes + 1000, '\0');
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>((i * 13 + i / 509) & 0xFF);
  vztest::WriteFileBytes(audiotest::InFile(), input);

  Collected got;  // outlives the recorder that fills it
  int tag = 0;
  TWaveIn in;
  in.SetTag(&tag);
  in.SetOnData([&got](TWaveIn& sender, const uint8_t* data, uint32_t count) {
    std::lock_guard<std::mutex> g(got.lock);
    got.counts.push_back(count);
    got.senders.push_back(&sender);
    got.bytes.append(reinterpret_cast<const char*>(data), count);
    got.more.notify_all();
  });
  in.SetFormat(vz::PcmWaveFormat(1, 16000, 16));
  in.SetActive(true);
  ASSERT_TRUE(in.IsOpen());
  {
    std::unique_lock<std::mutex> g(got.lock);
    ASSERT_TRUE(got.more.wait_for(g, std::chrono::seconds(30), [&] { return got.counts.size() >= 5; }));
  }
  in.SetActive(false);
  EXPECT_FALSE(in.IsOpen());

  std::lock_guard<std::mutex> g(got.lock);
  const std::size_t seen = got.counts.size();
  for (uint32_t count : got.counts) EXPECT_EQ(count, TWaveIn::kBufferBytes);
  for (TWaveIn* sender : got.senders) EXPECT_EQ(sender, &in);
  EXPECT_EQ(in.Tag(), &tag);
  ASSERT_GE(got.bytes.size(), input.size());
  EXPECT_TRUE(got.bytes.compare(0, input.size(), input) == 0) << "captured bytes differ from the file";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(got.counts.size(), seen) << "no data after the stop";
}

TEST(WaveIn, FormatIsMadePcmWithDerivedFields) {
  struct Case {
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
    uint16_t wantBits, wantAlign;
    uint32_t wantAvg;
  };
  const Case cases[] = {
      {0, 1, 16000, 0, 16, 2, 32000},  // no bits given: 16
      {3, 2, 8000, 16, 16, 4, 32000},  // another tag is forced to PCM
      {1, 1, 8000, 8, 8, 1, 8000},
      {1, 2, 44100, 24, 24, 6, 264600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits << " bits");
    TWaveFormat f;
    f.FormatTag = c.tag;
    f.Channels = c.channels;
    f.SamplesPerSec = c.rate;
    f.BitsPerSample = c.bits;
    f.BlockAlign = 77;
    f.AvgBytesPerSec = 5;
    f.ExtraSize = 9;
    TWaveIn in;
    in.SetFormat(f);
    const TWaveFormat got = in.Format();
    EXPECT_EQ(+got.FormatTag, 1);
    EXPECT_EQ(+got.Channels, c.channels);
    EXPECT_EQ(+got.SamplesPerSec, c.rate);
    EXPECT_EQ(+got.BitsPerSample, c.wantBits);
    EXPECT_EQ(+got.BlockAlign, c.wantAlign);
    EXPECT_EQ(+got.AvgBytesPerSec, c.wantAvg);
    EXPECT_EQ(+got.ExtraSize, 0);
  }
}

TEST(WaveIn, FormatChangeWhileRecordingRestartsWithTheNewFormat) {
  vztest::WriteFileBytes(audiotest::InFile(), std::string(20000, '\x11'));
  std::atomic<int> blocks{0};  // outlives the recorder that counts into it
  TWaveIn in;
  in.SetOnData([&blocks](TWaveIn&, const uint8_t*, uint32_t) { ++blocks; });
  in.SetFormat(vz::PcmWaveFormat(1, 16000, 16));
  in.SetActive(true);
  ASSERT_TRUE(in.IsOpen());
  in.SetFormat(vz::PcmWaveFormat(2, 8000, 16));
  EXPECT_TRUE(in.Active());
  EXPECT_TRUE(in.IsOpen());
  EXPECT_EQ(+in.Format().Channels, 2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (blocks.load() < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(blocks.load(), 2);
}

}  // namespace
