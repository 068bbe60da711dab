// A live player's frames through its video unit: decoded, drawn into the
// player's display targets, the draw hook raised, snapshots taken.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "AVFrameHead.h"
#include "RenderTestUtil.h"
#include "TestEnv.h"
#include "class_AxPlay.h"
#include "class_DspPresenter.h"

namespace {

using rendertest::Near;

struct PlayerFree {
  void operator()(TAxPlay* p) const { TAxPlay::Free(p); }
};

// A video frame (head and payload) carrying one JPEG picture of a colour.
std::vector<uint8_t> JpegFrame(int w, int h, QColor colour, uint8_t channel) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(colour);
  tjhandle tj = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(tj, img.constBits(), w, static_cast<int>(img.bytesPerLine()), h, TJPF_BGRX, &jpeg,
                        &size, TJSAMP_420, 90, 0),
            0);
  tjDestroy(tj);
  vz::TAVFrameHead head{};
  head.Magic = vz::kMarkerVideo;
  head.Len = static_cast<uint32_t>(size) + 16;
  head.TimeStamp = 1700000000ull * 1000000ull;
  head.Chl = channel;
  head.IsIFrame = 1;
  std::vector<uint8_t> frame(sizeof head + size);
  std::memcpy(frame.data(), &head, sizeof head);
  std::memcpy(frame.data() + sizeof head, jpeg, size);
  tjFree(jpeg);
  return frame;
}

TEST(PlayVideoGui, FramesOfAPlayerReachItsTargetsHookAndSnapshots) {
  QWidget host;
  host.resize(400, 300);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  std::unique_ptr<TAxPlay, PlayerFree> player(TAxPlay::New(0));
  ASSERT_NE(player->Video(), nullptr);

  vz::TDspInfo target{static_cast<uint64_t>(host.winId()), 0, {0, 0, 320, 240}};
  ASSERT_TRUE(player->AddDspInfo(&target));
  player->SetDecodeStyle(2);
  ASSERT_TRUE(player->Video()->OpenVideo(1));  // Motion JPEG
  std::atomic<int> hook_channel{-1};
  player->SetOnRenderAfter([&](TAxPlay&, uintptr_t dc, int32_t chl) {
    EXPECT_NE(dc, 0u);
    hook_channel.store(chl);
  });

  const uint64_t flushes = vz::TDspPresenter::FlushCount();
  const std::vector<uint8_t> frame = JpegFrame(640, 480, QColor(255, 0, 0), 0);
  player->HandleFrame(frame.data(), static_cast<uint32_t>(frame.size()));
  QElapsedTimer t;
  t.start();
  while (vz::TDspPresenter::FlushCount() == flushes && t.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();

  EXPECT_EQ(hook_channel.load(), 0);
  EXPECT_EQ(player->Width(), 640);  // the size change reached the player
  EXPECT_EQ(player->Video()->RenderWidth(), 640);
  const QImage shot = host.grab().toImage();
  EXPECT_TRUE(Near(shot.pixel(160, 120), 255, 0, 0, 12));
  EXPECT_FALSE(Near(shot.pixel(360, 120), 255, 0, 0, 60));  // outside the target

  vztest::TempDir dir;
  vz::TConnectArgs args;
  args.SvrAddr = "cam";
  args.DataPort = 9;
  player->SetConnectArgs(args);
  player->SetRecPath("", "", dir.str());
  ASSERT_TRUE(player->SaveToJpg(0, ""));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir / "cam_9")) {
    ++files;
    const std::string bytes = vztest::ReadFileBytes(e.path());
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, cs = 0;
    EXPECT_EQ(tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &w,
                                  &h, &sub, &cs),
              0);
    tjDestroy(tj);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
  }
  EXPECT_EQ(files, 1);
  player->DelDspInfo(&target);
}

}  // namespace
