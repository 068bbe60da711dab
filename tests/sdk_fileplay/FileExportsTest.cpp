// The vzFile_ exports: guards, open checks and the export cut.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "RecFileBytes.h"
#include "RecFileCheck.h"
#include "TestEnv.h"
#include "vzSDK.h"

namespace {

class FileExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec_ = fptest::BuildRecFile(fptest::Gops(12, 4, true));
    src_ = (dir_ / "src.av").string();
    vztest::WriteFileBytes(src_, rec_.bytes);
    ASSERT_EQ(vzFile_Open(src_.c_str(), &h_), 1);
    vzFile_PlayCtrl(h_, PS_Pause, 0, 0);
  }
  void TearDown() override {
    if (h_ != nullptr) {
      EXPECT_EQ(vzFile_Close(h_), 1);
    }
  }
  // The source's whole frames from frame `first` up to and including the
  // frame that crosses `to`, moved to offset 256 with their back-links.
  std::string FramesFrom(size_t first, uint64_t to) const {
    size_t last = first;
    while (last + 1 < rec_.offsets.size() && rec_.offsets[last + 1] < to) ++last;
    const uint64_t end = last + 1 < rec_.offsets.size() ? rec_.offsets[last + 1] : rec_.bytes.size();
    const uint64_t start = rec_.offsets[first];
    std::string out = rec_.bytes.substr(start, end - start);
    for (size_t i = first; i <= last; ++i) {
      const size_t at = rec_.offsets[i] - start + vz::kStreamTypeOffset;
      int32_t link;
      std::memcpy(&link, &out[at], 4);
      link = static_cast<uint64_t>(link) >= start ? static_cast<int32_t>(link - start + 256) : 256;
      std::memcpy(&out[at], &link, 4);
    }
    return out;
  }

  vztest::TempDir dir_;
  fptest::TRecBytes rec_;
  std::string src_;
  vzFileHandle h_ = nullptr;
};

TEST(FileExportsGuards, NullHandlesAndNamesAnswerFalse) {
  vzFileHandle h = reinterpret_cast<vzFileHandle>(1);
  EXPECT_EQ(vzFile_Open(nullptr, &h), 0);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(vzFile_Open("/nonexistent/x.av", nullptr), 0);
  EXPECT_EQ(vzFile_SetCallBack(nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(vzFile_PlayCtrl(nullptr, PS_Play, 0, 0), 0);
  EXPECT_EQ(vzFile_GetPlayState(nullptr), 0);
  EXPECT_EQ(vzFile_AddDspInfo(nullptr, &h), 0);
  EXPECT_EQ(vzFile_DelDspInfo(nullptr, &h), 0);
  EXPECT_EQ(vzFile_ImgEqualScaling(nullptr, 1), 0);
  EXPECT_EQ(vzFile_AudioMute(nullptr, 1), 0);
  EXPECT_EQ(vzFile_SaveToJpg(nullptr, 0, "x.jpg"), 0);
  EXPECT_EQ(vzFile_SaveToBmp(nullptr, 0, "x.bmp"), 0);
  EXPECT_EQ(vzFile_SaveAs(nullptr, 0, 1000, "x.av"), 0);
  EXPECT_EQ(vzFile_Close(nullptr), 0);
}

TEST_F(FileExportsTest, PlayControlIsStoredAndReadBack) {
  EXPECT_EQ(vzFile_PlayCtrl(h_, PS_FastForward, 4, 0), 1);
  EXPECT_EQ(vzFile_GetPlayState(h_), PS_FastForward);
}

TEST_F(FileExportsTest, SaveAsCopiesWholeFramesFromAKeyFrame) {
  const uint64_t mid = rec_.offsets[9] + 3;
  struct Case {
    const char* what;
    uint32_t from;
    uint32_t to;
    size_t firstFrame;  // expected first copied frame; npos: header only
  } cases[] = {
      {"from 0 starts at 256", 0, static_cast<uint32_t>(mid), 0},
      {"from inside a group starts at its next key frame", static_cast<uint32_t>(rec_.offsets[1] + 5),
       static_cast<uint32_t>(mid), 8},
      {"to past the end copies to the end", static_cast<uint32_t>(rec_.offsets[8]), 0xFFFFFFFFu, 8},
      {"no key frame after from leaves the header only", static_cast<uint32_t>(rec_.offsets[17] + 1), 0xFFFFFFFFu,
       std::string::npos},
  };
  for (const Case& c : cases) {
    const auto dest = dir_ / (std::string(c.what) + ".av");
    ASSERT_EQ(vzFile_SaveAs(h_, c.from, c.to, dest.c_str()), 1) << c.what;
    const std::string got = vztest::ReadFileBytes(dest);
    std::string want = rec_.bytes.substr(0, 256);
    if (c.firstFrame != std::string::npos) want += FramesFrom(c.firstFrame, c.to);
    EXPECT_EQ(got.size(), want.size()) << c.what;
    EXPECT_TRUE(got == want) << c.what;
    if (c.firstFrame == std::string::npos) continue;
    // The piece is a sound record file: the checker walks its chain.
    const vz::TRecCheckReport report = vz::CheckRecFilePath(dest.string(), vz::TRecFirstFrame::KeyOnly);
    EXPECT_TRUE(report.Ok()) << c.what << ": " << (report.Errors.empty() ? "" : report.Errors.front());
  }
}

TEST_F(FileExportsTest, SaveAsWithFromAtOrAfterToCreatesNothing) {
  for (uint32_t from : {1000u, 1001u}) {
    const auto dest = dir_ / "none.av";
    EXPECT_EQ(vzFile_SaveAs(h_, from, 1000, dest.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dest));
  }
  EXPECT_EQ(vzFile_SaveAs(h_, 0, 1000, nullptr), 0);
  EXPECT_EQ(vzFile_SaveAs(h_, 0, 1000, (dir_ / "no-such-dir" / "x.av").c_str()), 0);
}

TEST_F(FileExportsTest, SnapshotWithoutAPictureWritesNothing) {
  const auto jpg = dir_ / "s.jpg";
  EXPECT_EQ(vzFile_SaveToJpg(h_, 0, jpg.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(jpg));
}

}  // namespace
