// A played Motion JPEG recording through the SDK's own decoder and renderer:
// snapshots of the shown picture come out at the picture's size.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstring>
#include <filesystem>
#include <vector>

#include "PictureFiles.h"
#include "RecFileBytes.h"
#include "TestEnv.h"
#include "vzSDK.h"

namespace {

std::string Jpeg(int width, int height, uint8_t shade) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, shade);
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  tjFree(out);
  tjDestroy(tj);
  return bytes;
}

TEST(SnapshotPlayTest, SnapshotsOfAPlayedPictureHaveThePictureSize) {
  vztest::TempDir dir;
  const std::string picture = Jpeg(352, 288, 120);
  std::vector<fptest::TFrameSpec> frames;
  for (int i = 0; i < 6; ++i) {
    frames.push_back({true, true, 1700000000000000ull + static_cast<uint64_t>(i) * 40000,
                      static_cast<uint32_t>(picture.size())});
  }
  fptest::TRecBytes rec = fptest::BuildRecFile(frames, 352, 288);
  fptest::PutI32(rec.bytes, 76, 1);  // Motion JPEG
  for (uint64_t at : rec.offsets) std::memcpy(&rec.bytes[at + 24], picture.data(), picture.size());
  const auto path = dir / "mjpeg.av";
  vztest::WriteFileBytes(path, rec.bytes);

  vzFileHandle h = nullptr;
  ASSERT_EQ(vzFile_Open(path.c_str(), &h), 1);
  const auto jpg = dir / "shot.jpg";
  const auto bmp = dir / "shot.bmp";
  QElapsedTimer clock;
  clock.start();
  bool saved = false;
  while (!saved && clock.elapsed() < 20000) {
    QApplication::processEvents();
    saved = vzFile_SaveToJpg(h, 0, jpg.c_str()) == 1;
  }
  ASSERT_TRUE(saved);
  EXPECT_EQ(vzFile_SaveToBmp(h, 0, bmp.c_str()), 1);
  EXPECT_EQ(vzFile_SaveToJpg(h, 0, jpg.c_str()), 0) << "an existing file stays";
  EXPECT_EQ(vzFile_Close(h), 1);

  const fptest::TPictureSize j = fptest::JpegSize(vztest::ReadFileBytes(jpg));
  EXPECT_EQ(j.width, 352);
  EXPECT_EQ(j.height, 288);
  const fptest::TPictureSize b = fptest::Bmp32Size(vztest::ReadFileBytes(bmp));
  EXPECT_EQ(b.width, 352);
  EXPECT_EQ(b.height, 288);
}

}  // namespace
