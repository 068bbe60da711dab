// Pictures reach the widgets of their display targets, with overlays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <memory>

#include "RenderTestUtil.h"
#include "class_DRender.h"
#include "class_DspPresenter.h"

namespace {

using namespace rendertest;

const QColor kBackground(10, 20, 30);

// A top-level window whose own painting is a plain background.
class Host : public QWidget {
 public:
  Host() {
    resize(820, 620);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(this));
  }
  uint64_t Id() { return static_cast<uint64_t>(winId()); }
  QImage Shot() { return grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// Lets the GUI thread run until the flushes posted so far have run.
void Settle() {
  const uint64_t before = vz::TDspPresenter::FlushCount();
  QElapsedTimer t;
  t.start();
  while (vz::TDspPresenter::FlushCount() == before && t.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
}

bool IsBackground(QRgb px) { return Near(px, kBackground.red(), kBackground.green(), kBackground.blue(), 2); }

QPoint Centre(const vz::TDspInfo& d) {
  return QPoint((d.DspRect.Left + d.DspRect.Right) / 2, (d.DspRect.Top + d.DspRect.Bottom) / 2);
}

TEST(RenderGui, TargetsShowTheirChannelOnlyAndRemovedTargetsStop) {
  Host host, other;
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  render.SetPictureSize(704, 576);
  vz::TDspInfo a{host.Id(), 0, {0, 0, 200, 150}};
  vz::TDspInfo b{host.Id(), 0, {300, 0, 500, 150}};
  vz::TDspInfo c{host.Id(), 1, {0, 300, 200, 450}};
  vz::TDspInfo d{other.Id(), 0, {10, 10, 110, 90}};
  for (vz::TDspInfo* t : {&a, &b, &c, &d}) ASSERT_TRUE(list.Add(t));

  render.Render(TPicture(704, 576, kRed).View(), 0, &list);
  Settle();
  QImage shot = host.Shot();
  EXPECT_TRUE(Near(shot.pixel(Centre(a)), 254, 0, 0));
  EXPECT_TRUE(Near(shot.pixel(Centre(b)), 254, 0, 0));
  EXPECT_TRUE(IsBackground(shot.pixel(Centre(c))));  // channel 1 never shows channel 0
  EXPECT_TRUE(IsBackground(shot.pixel(250, 75)));     // between the targets
  EXPECT_TRUE(Near(other.Shot().pixel(Centre(d)), 254, 0, 0));

  render.Render(TPicture(704, 576, kGreen).View(), 1, &list);
  Settle();
  shot = host.Shot();
  EXPECT_TRUE(Near(shot.pixel(Centre(c)), 0, 255, 0));
  EXPECT_TRUE(Near(shot.pixel(Centre(a)), 254, 0, 0));  // channel 0 keeps its picture

  list.Remove(&b);
  render.Render(TPicture(704, 576, kBlue).View(), 0, &list);
  Settle();
  shot = host.Shot();
  EXPECT_TRUE(Near(shot.pixel(Centre(a)), 0, 0, 255));
  EXPECT_TRUE(IsBackground(shot.pixel(Centre(b))));
  EXPECT_EQ(vz::TDspPresenter::LayerCount(host.Id()), 2);

  // A target that moves is drawn at its new place only.
  a.DspRect = vz::TDspRect{600, 400, 800, 550};
  render.Render(TPicture(704, 576, kRed).View(), 0, &list);
  Settle();
  shot = host.Shot();
  EXPECT_TRUE(Near(shot.pixel(Centre(a)), 254, 0, 0));
  EXPECT_TRUE(IsBackground(shot.pixel(100, 75)));
}

TEST(RenderGui, AStreamFasterThanTheScreenIsPresentedOncePerRefreshAndEndsOnItsLastPicture) {
  Host host;
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  render.SetPictureSize(352, 288);
  vz::TDspInfo a{host.Id(), 0, {0, 0, 352, 288}};
  ASSERT_TRUE(list.Add(&a));
  const TPicture red(352, 288, kRed), green(352, 288, kGreen);
  const qreal hz = QGuiApplication::primaryScreen() && QGuiApplication::primaryScreen()->refreshRate() >= 1
                       ? QGuiApplication::primaryScreen()->refreshRate()
                       : 60;
  // About 1000 pictures a second for half a second, the GUI thread serving
  // its events in between as an idle one would.
  const uint64_t flushes0 = vz::TDspPresenter::FlushCount();
  QElapsedTimer t;
  t.start();
  int rendered = 0;
  while (t.elapsed() < 500) {
    render.Render(red.View(), 0, &list);
    ++rendered;
    QCoreApplication::processEvents();
    QTest::qSleep(1);
  }
  const double seconds = static_cast<double>(t.elapsed()) / 1000.0;
  const uint64_t flushes = vz::TDspPresenter::FlushCount() - flushes0;
  EXPECT_GT(rendered, 100);
  EXPECT_GE(flushes, 2u);
  EXPECT_LE(static_cast<double>(flushes), seconds * hz + 2) << rendered << " pictures";
  // The last picture of a burst is never left unshown.
  render.Render(green.View(), 0, &list);
  Settle();
  QTest::qWait(3 * static_cast<int>(1000 / hz));
  EXPECT_TRUE(Near(host.Shot().pixel(Centre(a)), 0, 255, 0));
}

TEST(RenderGui, EqualScalingLetterBoxesAndTheEdgeCropIsLeftOut) {
  Host host;
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  vz::TDspInfo box{host.Id(), 0, {0, 0, 400, 400}};
  list.Add(&box);
  render.SetPictureSize(704, 576);
  render.SetEqualScaling(true);
  render.Render(TPicture(704, 576, kRed).View(), 0, &list);
  Settle();
  QImage shot = host.Shot();
  // 400 x 328 at line 36.
  EXPECT_TRUE(IsBackground(shot.pixel(200, 34)));
  EXPECT_TRUE(Near(shot.pixel(200, 37), 254, 0, 0));
  EXPECT_TRUE(Near(shot.pixel(200, 362), 254, 0, 0));
  EXPECT_TRUE(IsBackground(shot.pixel(200, 365)));

  // 352 x 288 two-field picture shown 1:1: 14 columns and 12 lines cut at
  // each edge. The margins are blue, the shown part grey; every field
  // carries the same picture.
  render.SetEqualScaling(false);
  render.SetPictureSize(352, 288);
  box.DspRect = vz::TDspRect{0, 0, 324, 264};
  TPicture fields(352, 288, kBlue);
  fields.Fill(14, 6, 324, 132, kGrey);          // first field: lines 6...137
  fields.Fill(14, 144 + 6, 324, 132, kGrey);    // second field
  render.Render(fields.View(), 0, &list);
  Settle();
  shot = host.Shot();
  for (QPoint p : {QPoint(0, 0), QPoint(323, 0), QPoint(0, 262), QPoint(323, 262), QPoint(160, 130)})
    EXPECT_TRUE(Near(shot.pixel(p), 128, 128, 128, 16)) << p.x() << "," << p.y();
  EXPECT_TRUE(IsBackground(shot.pixel(330, 100)));
}

TEST(RenderGui, TargetsReadBeforeTheirRemovalDoNotComeBack) {
  Host host;
  vz::TDspInfoLst list;
  vz::TDspInfo a{host.Id(), 0, {0, 0, 100, 100}};
  list.Add(&a);
  // The decoding thread read the targets, then the record was removed
  // before its picture reached the GUI thread.
  uint64_t seq = 0;
  const auto read = list.ForChannel(0, &seq);
  ASSERT_EQ(read.size(), 1u);
  list.Remove(&a);
  auto slot = std::make_shared<vz::TPresentSlot>();
  QImage picture(64, 64, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(slot->Publish(0, picture, QSize(64, 64), QRect(0, 0, 64, 64), &list,
                            {vz::TPresentTarget{&a, a.DspHandle, QRect(0, 0, 100, 100)}}, seq));
  vz::TDspPresenter::Post(slot);
  Settle();
  EXPECT_EQ(vz::TDspPresenter::LayerCount(host.Id()), 0);
  EXPECT_TRUE(IsBackground(host.Shot().pixel(50, 50)));

  // Listed again, it is drawn again.
  list.Add(&a);
  list.ForChannel(0, &seq);
  picture = QImage(64, 64, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(slot->Publish(0, picture, QSize(64, 64), QRect(0, 0, 64, 64), &list,
                            {vz::TPresentTarget{&a, a.DspHandle, QRect(0, 0, 100, 100)}}, seq));
  vz::TDspPresenter::Post(slot);
  Settle();
  EXPECT_EQ(vz::TDspPresenter::LayerCount(host.Id()), 1);
  EXPECT_TRUE(Near(host.Shot().pixel(50, 50), 255, 0, 0, 2));
}

int CountNear(const QImage& img, QRect area, int r, int g, int b, int tol) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += Near(img.pixel(x, y), r, g, b, tol);
  return n;
}

TEST(RenderGui, OverlaysAndTheDrawHookAreOnThePictureAndInSnapshots) {
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  render.SetPictureSize(704, 576);
  vz::TTextParam title;
  title.Visible = 1;
  title.X = 0;
  title.Y = 0;
  title.Colour = 0xFFFFFF;
  title.Text = "CAMERA 1";
  render.SetTextItem(1, title);
  vz::TTextParam hidden = title;
  hidden.Visible = 0;
  hidden.Y = 300;
  render.SetTextItem(0, hidden);
  vz::TTextParam rec;
  rec.Visible = 1;
  rec.X = 704 - 80;
  rec.Colour = 0x0000FF;
  rec.Text = "=";
  render.SetIndicatorItem(0, rec);
  int hook_channel = -1;
  render.SetDrawHook([&](QPainter* dc, int32_t channel) {
    hook_channel = channel;
    dc->fillRect(QRect(600, 500, 20, 20), QColor(0, 255, 0));
  });

  render.Render(TPicture(704, 576, kGrey).View(), 3, &list);
  const QImage pic = render.Capture();
  ASSERT_EQ(pic.size(), QSize(704, 576));
  EXPECT_EQ(hook_channel, 3);
  // White text with a black outline from (16, 16) on.
  const QRect text_area(14, 14, 120, 26);
  EXPECT_GT(CountNear(pic, text_area, 255, 255, 255, 10), 40);
  EXPECT_GT(CountNear(pic, text_area, 0, 0, 0, 10), 40);
  EXPECT_EQ(CountNear(pic, QRect(14, 314, 120, 26), 255, 255, 255, 10), 0);  // invisible item
  // The recording dot, red with a white outline, in its glyph cell.
  EXPECT_TRUE(Near(pic.pixel(704 - 80 + 40, 40), 255, 0, 0, 10));
  EXPECT_GT(CountNear(pic, QRect(704 - 80 + 19, 19, 30, 30), 255, 255, 255, 10), 5);
  // The hook's drawing.
  EXPECT_TRUE(Near(pic.pixel(610, 510), 0, 255, 0, 2));
  EXPECT_TRUE(Near(pic.pixel(300, 300), 128, 128, 128, 3));
}

}  // namespace
