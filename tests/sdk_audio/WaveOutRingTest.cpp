// The ring's drop rules against a device that holds buffers until the test
// reports them done: the sound layer's null device never pushes back.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "class_WaveOut.h"

namespace {

struct FakeState {
  std::mutex lock;
  std::vector<int> written;  // buffer indices in write order
  std::vector<std::string> payloads;
  std::vector<TWaveFormat> opens;
  int closes = 0;
  bool failOpen = false;
  bool failWrite = false;
  TWaveOutDevice::TDoneFn done;
};

class FakeDevice final : public TWaveOutDevice {
 public:
  explicit FakeDevice(std::shared_ptr<FakeState> s) : s_(std::move(s)) {}
  bool Open(const TWaveFormat& format, TDoneFn done, std::string& error) override {
    std::lock_guard<std::mutex> g(s_->lock);
    if (s_->failOpen) {
      error = "no device";
      return false;
    }
    s_->opens.push_back(format);
    s_->done = std::move(done);
    return true;
  }
  bool Write(int index, const uint8_t* data, uint32_t length) override {
    std::lock_guard<std::mutex> g(s_->lock);
    if (s_->failWrite) return false;
    s_->written.push_back(index);
    s_->payloads.emplace_back(reinterpret_cast<const char*>(data), length);
    return true;
  }
  void Close() override {
    std::lock_guard<std::mutex> g(s_->lock);
    ++s_->closes;
  }

 private:
  std::shared_ptr<FakeState> s_;
};

class WaveOutRing : public testing::Test {
 protected:
  void SetUp() override {
    state = std::make_shared<FakeState>();
    out = std::make_unique<TWaveOut>([s = state] { return std::make_unique<FakeDevice>(s); });
  }
  void Done(int index) { state->done(index); }
  static std::string Block(std::size_t n, char fill) { return std::string(n, fill); }
  bool Write(const std::string& b) { return out->Write(b.data(), b.size()); }

  std::shared_ptr<FakeState> state;
  std::unique_ptr<TWaveOut> out;
};

TEST_F(WaveOutRing, FullRingDropsWithoutAdvancingUntilABufferIsDone) {
  out->SetActive(true);
  for (int i = 0; i < TWaveOut::kBufferCount; ++i)
    ASSERT_TRUE(Write(Block(1024, static_cast<char>('a' + i)))) << i;
  EXPECT_EQ(out->BusyBuffers(), 16);
  EXPECT_EQ(out->NextBuffer(), 0u);

  EXPECT_FALSE(Write(Block(1024, 'X'))) << "17th block while all 16 are playing";
  EXPECT_EQ(out->NextBuffer(), 0u);
  EXPECT_EQ(state->written.size(), 16u);

  Done(3);  // a later buffer finishing does not free the one the ring waits on
  EXPECT_FALSE(Write(Block(1024, 'Y')));
  EXPECT_EQ(out->NextBuffer(), 0u);

  Done(0);
  ASSERT_TRUE(Write(Block(2048, 'Z')));
  EXPECT_EQ(out->NextBuffer(), 1u);
  ASSERT_EQ(state->written.size(), 17u);
  EXPECT_EQ(state->written.back(), 0);
  EXPECT_EQ(state->payloads.back(), Block(2048, 'Z'));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(state->written[static_cast<std::size_t>(i)], i);
}

TEST_F(WaveOutRing, DropRules) {
  struct Case {
    const char* what;
    bool active;
    std::size_t length;
    bool failWrite;
    bool queued;
  };
  const Case cases[] = {
      {"inactive output", false, 1024, false, false},
      {"40,000-byte block", true, 40000, false, false},
      {"one byte over a buffer", true, 32769, false, false},
      {"a whole buffer", true, 32768, false, true},
      {"smallest block", true, 1, false, true},
      {"empty block", true, 0, false, false},
      {"device refuses the buffer", true, 1024, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    out->SetActive(c.active);
    state->failWrite = c.failWrite;
    const std::string block = Block(c.length, 'q');
    EXPECT_EQ(out->Write(c.length ? block.data() : nullptr, c.length), c.queued);
    EXPECT_EQ(out->NextBuffer(), c.queued ? 1u : 0u);
    EXPECT_EQ(out->BusyBuffers(), c.queued ? 1 : 0) << "a dropped block leaves its buffer free";
    EXPECT_EQ(state->written.size(), c.queued ? 1u : 0u);
  }
}

TEST_F(WaveOutRing, FormatChangeReopensOnlyWhenActive) {
  const TWaveFormat stereo = vz::PcmWaveFormat(2, 8000, 16);
  out->SetFormat(stereo);
  EXPECT_TRUE(state->opens.empty()) << "no device before activation";
  out->SetActive(true);
  out->SetActive(true);
  ASSERT_EQ(state->opens.size(), 1u) << "activating twice opens once";
  EXPECT_EQ(+state->opens[0].Channels, 2);
  EXPECT_EQ(+state->opens[0].BlockAlign, 4);

  ASSERT_TRUE(Write(Block(100, 'a')));
  ASSERT_TRUE(Write(Block(100, 'b')));
  const TWaveFormat mono = vz::PcmWaveFormat(1, 16000, 16);
  out->SetFormat(mono);
  EXPECT_EQ(state->closes, 1);
  ASSERT_EQ(state->opens.size(), 2u);
  EXPECT_EQ(+state->opens[1].SamplesPerSec, 16000u);
  EXPECT_EQ(out->BusyBuffers(), 0) << "closing frees every buffer";
  EXPECT_EQ(out->NextBuffer(), 0u) << "a new device starts at buffer 0";

  out->SetActive(false);
  EXPECT_EQ(state->closes, 2);
  EXPECT_FALSE(out->IsOpen());
  EXPECT_FALSE(Write(Block(100, 'c')));
}

TEST_F(WaveOutRing, DeviceThatCannotOpenLeavesTheOutputClosed) {
  state->failOpen = true;
  out->SetActive(true);
  EXPECT_TRUE(out->Active()) << "the switch stays on";
  EXPECT_FALSE(out->IsOpen());
  EXPECT_FALSE(Write(Block(1024, 'a')));
  state->failOpen = false;
  out->SetFormat(vz::PcmWaveFormat(1, 8000, 16));
  EXPECT_TRUE(out->IsOpen()) << "the next format change tries again";
}

}  // namespace
