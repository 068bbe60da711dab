// Snapshots: names, folders, JPEG files, and the picture they take.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <filesystem>
#include <vector>

#include "AppPaths.h"
#include "RenderTestUtil.h"
#include "TestEnv.h"
#include "class_DRender.h"
#include "class_Snapshot.h"

namespace {

using namespace rendertest;

// Decodes a JPEG file into B, G, R, X pixels.
QImage DecodeJpeg(const std::filesystem::path& file) {
  const std::string bytes = vztest::ReadFileBytes(file);
  tjhandle tj = tjInitDecompress();
  int w = 0, h = 0, sub = 0, cs = 0;
  QImage out;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (tjDecompressHeader3(tj, data, bytes.size(), &w, &h, &sub, &cs) == 0) {
    out = QImage(w, h, QImage::Format_RGB32);
    if (tjDecompress2(tj, data, bytes.size(), out.bits(), w, static_cast<int>(out.bytesPerLine()), h,
                      TJPF_BGRX, TJFLAG_ACCURATEDCT) != 0)
      out = QImage();
    EXPECT_EQ(sub, TJSAMP_444);  // full chroma resolution
  }
  tjDestroy(tj);
  return out;
}

TEST(SnapshotNames, LiveFolderIsThePlayersFolderAndDeviceSubfolder) {
  EXPECT_EQ(vz::LiveSnapshotFolder("/snaps", "10.0.0.5", 5000), "/snaps/10.0.0.5_5000/");
  EXPECT_EQ(vz::LiveSnapshotFolder("/snaps/", "cam", 80), "/snaps/cam_80/");
  EXPECT_EQ(vz::LiveSnapshotFolder("", "cam", 80), vz::AppFolder() + "Snapshot/cam_80/");
  for (const char* bad : {"", ".", "..", "a/b"}) EXPECT_EQ(vz::LiveSnapshotFolder("/s", bad, 1), "") << bad;
}

// A 720 x 576 picture (cropped to columns 29...690 and lines 23...552): a
// blue frame outside, grey inside, and a red band over columns 28...69.
TPicture CroppedPicture() {
  TPicture pic(720, 576, kBlue);
  pic.Fill(28, 22, 664, 532, kGrey);
  pic.Fill(28, 22, 42, 532, kRed);
  return pic;
}

TEST(Snapshot, TakesTheShownPartEnlargedToThePictureSize) {
  vztest::TempDir dir;
  vz::TDspInfoLst list;  // no targets: the picture is still drawn
  vz::TRender render(&list);
  render.SetPictureSize(720, 576);
  vz::TSnapshot snap;
  EXPECT_FALSE(snap.SaveLiveJpg(render, 0, (dir / "empty.jpg").c_str(), "", "cam", 1));  // nothing drawn yet

  const TPicture pic = CroppedPicture();
  render.Render(pic.View(), 0, &list);
  ASSERT_EQ(render.RenderedCount(), 1u);
  ASSERT_TRUE(snap.SaveLiveJpg(render, 0, nullptr, dir.str(), "cam", 5000));
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir / "cam_5000")) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].extension(), ".jpg");
  EXPECT_TRUE(files[0].filename().string().ends_with("_0.jpg"));  // the channel

  const QImage shot = DecodeJpeg(files[0]);
  ASSERT_EQ(shot.size(), QSize(720, 576));
  // The blue margins are gone: the corners show the inside.
  EXPECT_TRUE(Near(shot.pixel(2, 2), 254, 0, 0, 20));
  EXPECT_TRUE(Near(shot.pixel(717, 573), 128, 128, 128, 20));
  // The 41 shown columns of the red band are enlarged by 720 / 662 to
  // about 44.
  EXPECT_TRUE(Near(shot.pixel(42, 288), 254, 0, 0, 20));
  EXPECT_TRUE(Near(shot.pixel(47, 288), 128, 128, 128, 20));

  // A given name that exists is refused.
  EXPECT_FALSE(snap.SaveLiveJpg(render, 0, files[0].c_str(), "", "cam", 1));
}

TEST(Snapshot, TwoFieldPicturesTheDeinterlacerRefusesAreNotDrawn) {
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  TPicture odd(352, 286, kGrey);  // fields of unequal chroma
  render.Render(odd.View(), 0, &list);
  EXPECT_EQ(render.RenderedCount(), 0u);
  EXPECT_TRUE(render.Capture().isNull());
  TPicture good(352, 288, kGrey);
  render.Render(good.View(), 0, nullptr);  // no display list: nothing drawn
  EXPECT_EQ(render.RenderedCount(), 0u);
  render.Render(good.View(), 0, &list);
  EXPECT_EQ(render.RenderedCount(), 1u);
  EXPECT_EQ(render.Capture().size(), QSize(352, 288));
}

}  // namespace
