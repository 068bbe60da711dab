// Snapshot files of a played picture decode to the picture size; an
// existing file is never replaced.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "FilePlayFakes.h"
#include "PictureFiles.h"
#include "SnapshotFile.h"
#include "TestEnv.h"

namespace {

TEST(SnapshotTest, PlayedPictureSavesAsJpegAndBmpOfThePictureSize) {
  vztest::TempDir dir;
  fptest::TSeen seen;
  const auto src = dir / "a.av";
  vztest::WriteFileBytes(src, fptest::BuildRecFile(fptest::Gops(4, 2, false), 352, 288).bytes);
  fptest::TPlayer play(fptest::OpenWithFakes(src.string(), seen));
  ASSERT_TRUE(play);
  ASSERT_TRUE(seen.WaitFor([&] { return !seen.speedTexts.empty(); }));  // a picture was drawn
  QImage picture;
  ASSERT_TRUE(play->Snapshot(picture));

  struct Case {
    const char* name;
    bool (*save)(const QImage&, const std::string&);
    fptest::TPictureSize (*decode)(const std::string&);
  } cases[] = {{"s.jpg", vz::SaveJpegFile, fptest::JpegSize}, {"sub/s.bmp", vz::SaveBmp32File, fptest::Bmp32Size}};
  for (const Case& c : cases) {
    const auto path = dir / c.name;
    ASSERT_TRUE(c.save(picture, path.string())) << c.name;
    const fptest::TPictureSize d = c.decode(vztest::ReadFileBytes(path));
    EXPECT_EQ(d.width, 352) << c.name;
    EXPECT_EQ(d.height, 288) << c.name;
    const auto before = std::filesystem::file_size(path);
    EXPECT_FALSE(c.save(picture.scaled(16, 16), path.string())) << c.name << ": no overwrite";
    EXPECT_EQ(std::filesystem::file_size(path), before);
  }
  EXPECT_FALSE(vz::SaveJpegFile(QImage(), (dir / "empty.jpg").string()));
  EXPECT_TRUE(play->Close());
}

TEST(SnapshotTest, DefaultNameCarriesTimeMillisecondsAndChannel) {
  const std::string name = vz::SnapshotFileName("/x/", 3, "jpg");
  // "/x/yyyymmdd_hhnnss_mmm_3.jpg"
  ASSERT_EQ(name.size(), std::string("/x/20240102_130405_007_3.jpg").size()) << name;
  EXPECT_EQ(name.substr(0, 3), "/x/");
  EXPECT_EQ(name[11], '_');
  EXPECT_EQ(name[18], '_');
  EXPECT_EQ(name.substr(22), "_3.jpg");
}

}  // namespace
