// Snapshot files of a played picture decode to the picture size; an
// existing file is never replaced.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QImage>
#include <filesystem>

#include "FilePlayFakes.h"
#include "SnapshotFile.h"
#include "TestEnv.h"

namespace {

struct TDecoded {
  int width = 0;
  int height = 0;
};

TDecoded DecodeJpeg(const std::string& bytes) {
  TDecoded d;
  tjhandle tj = tjInitDecompress();
  int subsamp = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<unsigned long>(bytes.size()), &d.width, &d.height, &subsamp, &colorspace) != 0) {
    d = {};
  }
  tjDestroy(tj);
  return d;
}

// Width, height and bit count from the BMP headers, checked against the size.
TDecoded DecodeBmp32(const std::string& bytes) {
  TDecoded d;
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return d;
  int32_t w;
  int32_t h;
  uint16_t bits;
  std::memcpy(&w, &bytes[18], 4);
  std::memcpy(&h, &bytes[22], 4);
  std::memcpy(&bits, &bytes[28], 2);
  if (bits != 32 || bytes.size() != 54 + static_cast<size_t>(w) * static_cast<size_t>(h) * 4) return d;
  d.width = w;
  d.height = h;
  return d;
}

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
    TDecoded (*decode)(const std::string&);
  } cases[] = {{"s.jpg", vz::SaveJpegFile, DecodeJpeg}, {"sub/s.bmp", vz::SaveBmp32File, DecodeBmp32}};
  for (const Case& c : cases) {
    const auto path = dir / c.name;
    ASSERT_TRUE(c.save(picture, path.string())) << c.name;
    const TDecoded d = c.decode(vztest::ReadFileBytes(path));
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
