// What reaches the sound layer: the file plugin records every byte handed to
// "default" (padding the last period, so the tail is not compared).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AudioEnv.h"
#include "TestEnv.h"
#include "class_WaveOut.h"

namespace {

// Distinct bytes per block and position, so a lost, doubled or reordered
// block shows in the comparison.
std::string Pattern(std::size_t n, int seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed) * 31 + i / 251) & 0xFF);
  return s;
}

bool WaitIdle(const TWaveOut& out) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (out.BusyBuffers() != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(WaveOutAlsa, PlaysTheWrittenBlocksInOrder) {
  struct Case {
    const char* what;
    TWaveFormat format;
    std::vector<std::size_t> blocks;  // 40,000 marks a block that must be dropped
  };
  const Case cases[] = {
      {"16-bit mono 16 kHz", vz::PcmWaveFormat(1, 16000, 16), {1024, 32768, 40000, 4096, 2050}},
      {"16-bit stereo 8 kHz", vz::PcmWaveFormat(2, 8000, 16), {4096, 40000, 40000, 1024, 32768, 8}},
      {"8-bit mono 8 kHz", vz::PcmWaveFormat(1, 8000, 8), {1023, 1, 32768}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(audiotest::OutFile());
    auto out = std::make_unique<TWaveOut>();
    out->SetFormat(c.format);
    EXPECT_FALSE(out->Write(Pattern(1024, 99).data(), 1024)) << "inactive output drops";
    out->SetActive(true);
    ASSERT_TRUE(out->IsOpen());

    std::string expected;
    int seed = 0;
    for (std::size_t n : c.blocks) {
      const std::string block = Pattern(n, ++seed);
      const bool keep = n <= TWaveOut::kBufferBytes;
      // The null device never pushes back; wait so only the size decides.
      ASSERT_TRUE(WaitIdle(*out));
      EXPECT_EQ(out->Write(block.data(), block.size()), keep) << n;
      if (keep) expected += block;
    }
    ASSERT_TRUE(WaitIdle(*out));
    out->SetActive(false);
    EXPECT_FALSE(out->IsOpen());

    const std::string played = vztest::ReadFileBytes(audiotest::OutFile());
    ASSERT_GE(played.size(), expected.size());
    EXPECT_TRUE(played.compare(0, expected.size(), expected) == 0) << "played bytes differ";
  }
}

}  // namespace
