// A machine without any sound device: "default" names a card that does not
// exist. Outputs and inputs stay closed, audio is discarded, nothing crashes,
// and the failure is one log line however often it happens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "LogWriter.h"
#include "TestEnv.h"
#include "class_WaveIn.h"
#include "class_WaveOut.h"

namespace {

std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  const std::string path = vz::LogFilePath();
  if (path.empty()) return lines;
  const std::string bytes = vztest::ReadFileBytes(path);
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

TEST(NoSoundDevice, OutputsStayClosedAndTheFailureIsLoggedOnce) {
  std::vector<std::unique_ptr<TWaveOut>> outs;
  for (int i = 0; i < 3; ++i) {
    outs.push_back(std::make_unique<TWaveOut>());
    TWaveOut& out = *outs.back();
    out.SetActive(true);
    EXPECT_TRUE(out.Active());
    EXPECT_FALSE(out.IsOpen());
    const std::string block(4096, 'a');
    EXPECT_FALSE(out.Write(block.data(), block.size()));
    out.SetFormat(vz::PcmWaveFormat(2, 8000, 16));  // reopening fails quietly too
    EXPECT_FALSE(out.IsOpen());
  }
  for (int i = 0; i < 2; ++i) {
    TWaveIn in;
    in.SetOnData([](TWaveIn&, const uint8_t*, uint32_t) { ADD_FAILURE() << "data without a device"; });
    in.SetActive(true);
    EXPECT_FALSE(in.IsOpen());
    in.SetActive(false);
  }
  outs.clear();

  int outLines = 0, inLines = 0, other = 0;
  for (const std::string& line : LogLines()) {
    if (line.find("WaveOut open fail") != std::string::npos)
      ++outLines;
    else if (line.find("WaveIn open fail") != std::string::npos)
      ++inLines;
    else
      ++other;
  }
  EXPECT_EQ(outLines, 1);
  EXPECT_EQ(inLines, 1);
  EXPECT_EQ(other, 0) << "the sound layer's own prints are folded into those lines";
}

}  // namespace
