// The log writer fixes its file at the first line of the process, so these
// tests run in a process of their own with VZ_HOME set before that line.
#include "LogWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AppPaths.h"
#include "TestEnv.h"

namespace {

vztest::TempDir* g_home = nullptr;

const std::regex kTimedLine(R"(\d{4}-\d{2}-\d{2}_\d{2}:\d{2}:\d{2}_\d{3}  (.*))");

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  EXPECT_EQ(start, bytes.size()) << "the file does not end with CR LF";
  return lines;
}

// The writer's clock: time() reads a coarser one that lags it by up to a
// tick, so at the turn of a second it can still show the second before.
std::time_t NowSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return ts.tv_sec;
}

std::string StampOf(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &tm);
  return text;
}

// Runs first (tests run in file order): the writer has not written yet.
TEST(LogWriter, FirstLineCreatesTheFileLaterLinesAppend) {
  EXPECT_EQ(vz::LogFilePath(), "");
  const std::time_t before = NowSeconds();
  vz::WriteLog("first line");
  const std::time_t after = NowSeconds();

  const std::string path = vz::LogFilePath();
  const std::string folder = vz::AppFolder() + "log/";
  ASSERT_EQ(path.rfind(folder, 0), 0u) << path;
  EXPECT_EQ(folder.rfind(g_home->str(), 0), 0u) << folder;
  const std::string name = path.substr(folder.size());
  ASSERT_TRUE(std::regex_match(name, std::regex(R"(log_\d{8}_\d{6}\.txt)"))) << name;
  const std::string stamp = name.substr(4, 15);
  EXPECT_TRUE(stamp >= StampOf(before) && stamp <= StampOf(after)) << stamp;

  std::smatch m;
  std::vector<std::string> lines = Lines(vztest::ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_TRUE(std::regex_match(lines[0], m, kTimedLine)) << lines[0];
  EXPECT_EQ(m[1].str(), "first line");

  vz::WriteLog("without time", false);
  vz::WriteLogF("%s %d", "formatted", 42);
  EXPECT_EQ(vz::LogFilePath(), path) << "the path is fixed at the first line";
  lines = Lines(vztest::ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "without time");
  ASSERT_TRUE(std::regex_match(lines[2], m, kTimedLine)) << lines[2];
  EXPECT_EQ(m[1].str(), "formatted 42");
}

TEST(LogWriter, LinesOfAnotherWriterOfTheSameFileSurvive) {
  vz::WriteLog("ours before", false);
  {
    // The SDK's own writer (or a companion program) appending to this file.
    std::ofstream other(vz::LogFilePath(), std::ios::binary | std::ios::app);
    other << "theirs\r\n";
  }
  vz::WriteLog("ours after", false);
  const std::string bytes = vztest::ReadFileBytes(vz::LogFilePath());
  EXPECT_NE(bytes.find("ours before\r\ntheirs\r\nours after\r\n"), std::string::npos) << bytes;
}

TEST(LogWriter, ConcurrentWritersNeverShareALine) {
  constexpr int kThreads = 4;
  constexpr int kLines = 300;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      const std::string payload(40 + t * 13, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) vz::WriteLog("writer" + std::to_string(t) + " " + std::to_string(i) + " " + payload, i % 2 == 0);
    });
  }
  for (auto& w : writers) w.join();

  std::map<int, int> next;  // writer -> next expected line number
  std::smatch m;
  const std::regex body(R"(writer(\d) (\d+) ([a-z]+))");
  for (const std::string& raw : Lines(vztest::ReadFileBytes(vz::LogFilePath()))) {
    std::string text = raw;
    if (std::regex_match(raw, m, kTimedLine)) text = m[1].str();
    std::smatch b;
    if (!std::regex_match(text, b, body)) {
      EXPECT_EQ(text.find("writer"), std::string::npos) << "broken line: " << raw;
      continue;
    }
    const int t = std::stoi(b[1].str());
    const int i = std::stoi(b[2].str());
    EXPECT_EQ(b[3].str(), std::string(40 + t * 13, static_cast<char>('a' + t))) << raw;
    EXPECT_EQ(i % 2 == 0, text != raw) << "time stamp lost or added: " << raw;
    EXPECT_EQ(i, next[t]) << "lines of one writer out of order";
    next[t] = i + 1;
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kLines) << "writer " << t;
}

TEST(LogWriter, OverlongFormattedTextIsCutNotOverrun) {
  const std::string huge(5000, 'x');
  vz::WriteLogF("%s", huge.c_str());
  const std::vector<std::string> lines = Lines(vztest::ReadFileBytes(vz::LogFilePath()));
  ASSERT_FALSE(lines.empty());
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines.back(), m, kTimedLine));
  EXPECT_GT(m[1].length(), 0);
  EXPECT_EQ(m[1].str(), std::string(static_cast<size_t>(m[1].length()), 'x'));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  auto home = std::make_unique<vztest::TempDir>();
  g_home = home.get();
  ::setenv("VZ_HOME", home->str().c_str(), 1);
  return RUN_ALL_TESTS();
}
