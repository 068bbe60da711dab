// A machine without any sound device ("default" names a card that does not
// exist): players connect and stream as usual, audio is discarded, and the
// missing device is one log line however many players and connects there are.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "FakeDevice.h"
#include "LogWriter.h"
#include "PlayerEnv.h"
#include "TestEnv.h"
#include "class_WaveOut.h"
#include "vz_protocol.h"

namespace playertest {
namespace {

std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  const std::string path = vz::LogFilePath();
  if (path.empty() || !std::filesystem::exists(path)) return lines;
  const std::string bytes = vztest::ReadFileBytes(path);
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

TEST(NoSoundDevicePlayer, StreamsNormallyAndLogsTheMissingDeviceOnce) {
  FakeDevice dev;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    PlayerPtr p = NewPlayer();
    Seen seen;
    seen.Install(*p);
    p->SetConnectArgs(LocalArgs(dev.Port()));
    ASSERT_TRUE(p->Connect());
    ASSERT_TRUE(p->Play());
    ASSERT_TRUE(Eventually([&] { return dev.Streaming(); }));
    ASSERT_NE(p->WaveOut(), nullptr);
    EXPECT_FALSE(p->WaveOut()->IsOpen());

    std::vector<uint8_t> burst;
    for (uint8_t i = 1; i <= 12; ++i) {
      const bool video = i % 3 != 0;
      const auto u = FrameUnit(video ? vz::kMarkerVideo : vz::kMarkerAudio, 1, 0, i == 1, 0,
                               video ? 2000u : 4096u, i);
      burst.insert(burst.end(), u.begin(), u.end());
    }
    ASSERT_TRUE(dev.Push(burst));
    ASSERT_TRUE(Eventually([&] { return seen.FrameCount() == 12; }));
    {
      std::lock_guard<std::mutex> g(seen.lock);
      for (uint8_t i = 1; i <= 12; ++i) EXPECT_EQ(seen.frames[i - 1].Fill, i);
      EXPECT_EQ(seen.audioRaw.size(), 4u) << "played audio still reaches the raw-audio hook";
    }
    // A reconnect opens the output again, and fails again, quietly.
    p->DisConn();
    ASSERT_TRUE(p->Connect());
    EXPECT_TRUE(p->IsConnect());
  }

  int waveOut = 0;
  std::vector<std::string> lines = LogLines();
  for (const std::string& line : lines) waveOut += line.find("WaveOut") != std::string::npos ? 1 : 0;
  EXPECT_EQ(waveOut, 1);
  for (const std::string& line : lines) EXPECT_EQ(line.find("except"), std::string::npos) << line;
}

}  // namespace
}  // namespace playertest
