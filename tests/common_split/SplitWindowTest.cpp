#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <stdexcept>
#include <thread>
#include <vector>

#include "DspItem.h"
#include "ImageList.h"
#include "SplitFullScreen.h"
#include "SplitWindowEx.h"

namespace {

using vz::TRect;

// The control on a host widget, shown offscreen, at its creation size.
class SplitWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    host.resize(320, 240);
    sw = new TSplitWindowEx(&host);
  }
  void ShowAndWait() {
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  }
  QImage Shot() { return sw->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  static void Drain() {
    for (int i = 0; i < 4; ++i) QCoreApplication::sendPostedEvents();
  }
  QPoint Centre(int position) const {
    const TRect r = sw->PaneRectOf(position);
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }

  QWidget host;
  TSplitWindowEx* sw = nullptr;  // owned by host
};

bool Yellowish(QRgb c) { return qRed(c) > 128 && qGreen(c) > 128 && qBlue(c) < 100; }

int CountYellowish(const QImage& img, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += Yellowish(img.pixel(x, y)) ? 1 : 0;
  return n;
}

QImage Region(const QImage& img, const TRect& r) { return img.copy(r.ToQRect()); }

TEST_F(SplitWindowTest, StartsWithTheDocumentedState) {
  EXPECT_EQ(sw->size(), QSize(320, 240));
  EXPECT_EQ(sw->SplitNum(), 4);
  EXPECT_EQ(sw->LineWidth(), 4);
  EXPECT_EQ(sw->TitleHeight(), 16);
  EXPECT_TRUE(sw->TitleShow());
  EXPECT_TRUE(sw->CanDblClick());
  EXPECT_FALSE(sw->FullScreenToDeskTop());
  EXPECT_EQ(sw->ColorBrush(), QColor(Qt::black));
  EXPECT_EQ(sw->ColorBorder(), QColor(255, 255, 0));
  EXPECT_EQ(sw->ColorSelected(), QColor(255, 0, 0));
  EXPECT_EQ(sw->TitlebgColor(), QColor(0x76, 0x91, 0xAF));
  EXPECT_EQ(sw->Selected(), 1);
  EXPECT_EQ(sw->PageOffset(), 0);
  EXPECT_EQ(sw->Items(0), nullptr);
  EXPECT_EQ(sw->Items(65), nullptr);
  for (int i = 1; i <= TSplitWindowEx::kItemCount; ++i) {
    ASSERT_NE(sw->Items(i), nullptr);
    EXPECT_EQ(sw->Items(i)->Index(), i);
    EXPECT_EQ(sw->Items(i)->Title, QString::number(i));
    EXPECT_EQ(sw->Items(i)->VideoHandle, sw->winId());
  }
  ASSERT_NE(sw->FullScreenWindow(), nullptr);
  EXPECT_EQ(sw->FullScreenWindow()->property("Tag").toInt(), 99);
  EXPECT_FALSE(sw->FullScreenWindow()->isVisible());
}

TEST_F(SplitWindowTest, ItemRectanglesFollowPageTitleAndLimits) {
  sw->ComputeLayout();
  const TDspItem* first = sw->Items(1);
  EXPECT_EQ(first->PaneRect, (TRect{2, 2, 158, 118}));
  EXPECT_EQ(first->TitleRect, (TRect{2, 2, 158, 18}));
  EXPECT_EQ(first->VideoRect, (TRect{3, 19, 157, 117}));
  EXPECT_EQ(first->DisplayRect, first->VideoRect);
  EXPECT_EQ(sw->Items(4)->PaneRect, (TRect{162, 122, 318, 236}));
  EXPECT_EQ(sw->Items(5)->PaneRect, TRect{});
  EXPECT_EQ(sw->Items(5)->VideoRect, TRect{});
  EXPECT_TRUE(sw->PaneRectOf(5).IsEmpty());

  sw->SetTitleHeight(40);  // too tall: ignored
  EXPECT_EQ(sw->TitleHeight(), 16);
  sw->SetTitleHeight(32);
  sw->ComputeLayout();
  EXPECT_EQ(first->VideoRect, (TRect{3, 35, 157, 117}));
  sw->SetTitleShow(false);
  sw->ComputeLayout();
  EXPECT_EQ(first->TitleRect, (TRect{2, 2, 158, 2}));
  EXPECT_EQ(first->VideoRect, (TRect{3, 3, 157, 117}));
}

TEST_F(SplitWindowTest, RefusedPaneCountsChangeNothing) {
  sw->SetSplitNum(16);
  sw->Select(7);
  for (int n : {3, 12, 81, 0, 16}) {
    sw->SetSplitNum(n);
    EXPECT_EQ(sw->SplitNum(), 16) << n;
    EXPECT_EQ(sw->Selected(), 7) << n;
    EXPECT_EQ(sw->PageOffset(), 0) << n;
  }
}

// Changing the pane count moves to the page that holds the selected item.
TEST_F(SplitWindowTest, PagingKeepsTheSelectedItem) {
  const struct {
    int From, SelectAt, To, PageOffset, Selected;
  } cases[] = {
      {16, 7, 4, 4, 3}, {16, 16, 9, 9, 7}, {64, 62, 6, 60, 2}, {64, 64, 13, 52, 12}, {4, 3, 1, 2, 1},
  };
  for (const auto& c : cases) {
    TSplitWindowEx w(&host);
    w.SetSplitNum(c.From);
    w.Select(c.SelectAt);
    w.SetSplitNum(c.To);
    EXPECT_EQ(w.PageOffset(), c.PageOffset) << c.From << "->" << c.To;
    EXPECT_EQ(w.Selected(), c.Selected) << c.From << "->" << c.To;
    EXPECT_EQ(w.SelectedItem(), w.Items(c.SelectAt));
    for (int i = 1; i <= TSplitWindowEx::kItemCount; ++i) {
      const bool onPage = i > c.PageOffset && i <= c.PageOffset + c.To;
      EXPECT_EQ(w.Items(i)->PaneRect.IsEmpty(), !onPage) << "item " << i;
    }
    w.SetSplitNum(c.From);
    EXPECT_EQ(w.PageOffset(), 0);
    EXPECT_EQ(w.Selected(), c.SelectAt);
  }
}

TEST_F(SplitWindowTest, HitTestOnTheLastPageKeepsSelectionBeyondTheLastItem) {
  sw->SetSplitNum(64);
  sw->Select(62);
  sw->SetSplitNum(6);  // page of items 61..66, of which 65 and 66 do not exist
  EXPECT_EQ(sw->HitTest(Centre(4).x(), Centre(4).y()), 4);
  EXPECT_EQ(sw->HitTest(Centre(5).x(), Centre(5).y()), 2);
  EXPECT_EQ(sw->HitTest(Centre(6).x(), Centre(6).y()), 2);
}

TEST(DspItem, DataAndStateSlots) {
  TDspItem item(3);
  int a = 0, b = 0;
  const struct {
    int Slot;
    bool Stored;
  } slotCases[] = {{1, true}, {16, true}, {0, false}, {17, false}, {-1, false}};
  for (const auto& s : slotCases) {
    item.SetState(s.Slot, true);
    EXPECT_EQ(item.GetState(s.Slot), s.Stored) << s.Slot;
  }
  item.SetData(&a);
  EXPECT_TRUE(item.GetState(1));
  item.SetData(&a);  // same object: flags stay
  EXPECT_TRUE(item.GetState(16));
  item.SetData(&b);  // another object: flags stay too
  EXPECT_TRUE(item.GetState(1));
  item.SetData(nullptr);
  EXPECT_EQ(item.Data(), nullptr);
  for (int s = 1; s <= TDspItem::kStateCount; ++s) EXPECT_FALSE(item.GetState(s)) << s;
}

TEST_F(SplitWindowTest, ClickSelectsAPaneAndMovesTheFrame) {
  ShowAndWait();
  std::vector<int> selected;
  sw->OnSelected = [&](QObject* sender, TDspItem* item, int index) {
    EXPECT_EQ(sender, sw);
    EXPECT_EQ(item, sw->Items(index));
    selected.push_back(index);
  };
  int downs = 0, clicks = 0;
  sw->OnMouseDown = [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++downs; };
  sw->OnClick = [&](QObject*) { ++clicks; };

  const QImage before = Shot();
  const int midY = Centre(1).y();
  EXPECT_EQ(QColor(before.pixel(1, midY)), QColor(Qt::red));
  EXPECT_EQ(QColor(before.pixel(161, midY)), QColor(Qt::yellow));

  QTest::mouseClick(sw, Qt::LeftButton, Qt::NoModifier, Centre(2));
  EXPECT_EQ(sw->Selected(), 2);
  const QImage after = Shot();
  EXPECT_EQ(QColor(after.pixel(1, midY)), QColor(Qt::yellow));
  EXPECT_EQ(QColor(after.pixel(161, midY)), QColor(Qt::red));

  // A right click selects too (the popup menu acts on the pane under it).
  QTest::mouseClick(sw, Qt::RightButton, Qt::NoModifier, Centre(4));
  EXPECT_EQ(sw->Selected(), 4);
  EXPECT_EQ(selected, (std::vector<int>{2, 4}));
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(clicks, 1);

  QChar typed;
  sw->OnKeyPress = [&](QObject*, QChar& key) { typed = key; };
  QTest::keyClick(sw, Qt::Key_A);
  EXPECT_EQ(typed, QChar('a'));
}

TEST_F(SplitWindowTest, FullScreenOnDoubleClickAndBack) {
  ShowAndWait();
  std::vector<QObject*> dblSenders;
  int resizes = 0;
  sw->OnDblClick = [&](QObject* sender) { dblSenders.push_back(sender); };
  sw->OnResize = [&](QObject*) { ++resizes; };
  TSplitFullScreen* fs = sw->FullScreenWindow();

  // No object in the pane: no full screen.
  QTest::mouseDClick(sw, Qt::LeftButton, Qt::NoModifier, Centre(2));
  EXPECT_FALSE(sw->FullScreenShowing());
  EXPECT_FALSE(fs->isVisible());
  EXPECT_EQ(dblSenders, (std::vector<QObject*>{sw}));

  int device = 0;
  TDspItem* item = sw->Items(2);
  item->SetData(&device);
  sw->SetCanDblClick(false);
  QTest::mouseDClick(sw, Qt::LeftButton, Qt::NoModifier, Centre(2));
  EXPECT_FALSE(sw->FullScreenShowing());

  sw->SetCanDblClick(true);
  dblSenders.clear();
  resizes = 0;
  QTest::mouseDClick(sw, Qt::LeftButton, Qt::NoModifier, Centre(2));
  ASSERT_TRUE(sw->FullScreenShowing());
  EXPECT_TRUE(fs->isVisible());
  EXPECT_EQ(fs->geometry(), QGuiApplication::primaryScreen()->geometry());
  EXPECT_EQ(item->VideoHandle, fs->winId());
  EXPECT_EQ(item->DisplayRect, (TRect{0, 0, fs->width(), fs->height()}));
  EXPECT_EQ(sw->Items(1)->VideoHandle, sw->winId());
  EXPECT_EQ(resizes, 1);
  sw->SetFullScreen(true);  // already showing
  EXPECT_EQ(resizes, 1);

  dblSenders.clear();
  QTest::mouseDClick(fs, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_FALSE(sw->FullScreenShowing());
  EXPECT_FALSE(fs->isVisible());
  EXPECT_EQ(item->VideoHandle, sw->winId());
  EXPECT_EQ(item->DisplayRect, item->VideoRect);
  EXPECT_FALSE(item->DisplayRect.IsEmpty());
  EXPECT_EQ(dblSenders, (std::vector<QObject*>{sw, fs}));
  EXPECT_EQ(resizes, 2);

  // Changing the layout leaves full screen first.
  sw->SetFullScreen(true);
  ASSERT_TRUE(sw->FullScreenShowing());
  sw->SetSplitNum(9);
  EXPECT_FALSE(sw->FullScreenShowing());
  EXPECT_EQ(item->VideoHandle, sw->winId());
}

// RefreshItem redraws only the pane of an item on the page, the whole control
// for index 0 and nothing for items on other pages; it is called from a
// thread that is not the GUI thread.
TEST_F(SplitWindowTest, RefreshItemFromAnotherThread) {
  const struct {
    int Index;
    bool Pane1Redrawn, Pane2Redrawn;
  } cases[] = {{2, false, true}, {10, false, false}, {0, true, true}};
  ShowAndWait();
  for (const auto& c : cases) {
    sw->Items(1)->Title = QStringLiteral("1");
    sw->Items(2)->Title = QStringLiteral("2");
    sw->update();
    sw->SetText(QString());  // invalidates: start each case from a full paint
    const QImage before = Shot();
    sw->Items(1)->Title = QStringLiteral("WWWW");
    sw->Items(2)->Title = QStringLiteral("WWWW");
    std::thread worker([&] { sw->RefreshItem(c.Index); });
    worker.join();
    Drain();
    const QImage after = Shot();
    const TRect t1 = sw->Items(1)->TitleRect;
    const TRect t2 = sw->Items(2)->TitleRect;
    EXPECT_EQ(Region(before, t1) != Region(after, t1), c.Pane1Redrawn) << "index " << c.Index;
    EXPECT_EQ(Region(before, t2) != Region(after, t2), c.Pane2Redrawn) << "index " << c.Index;
  }
}

TEST_F(SplitWindowTest, StateIconsComeFromTheListOfTheFlag) {
  auto* on = new TImageList(8, 8, &host);
  auto* off = new TImageList(8, 8, &host);
  auto solid = [](Qt::GlobalColor c) {
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(c);
    return img;
  };
  // Every icon its own colour, so a wrong index shows.
  on->Add(solid(Qt::green));
  on->Add(solid(Qt::cyan));
  off->Add(solid(Qt::blue));
  off->Add(solid(Qt::magenta));
  off->Add(solid(Qt::darkCyan));
  sw->SetTitleStateImgLst(on);
  sw->SetTitleStateDisImgLst(off);
  int device = 0;
  TDspItem* item = sw->Items(1);
  item->SetData(&device);
  item->SetState(1, true);
  item->SetState(3, true);
  ShowAndWait();

  // Slot s sits at R - LineWidth - s * (8 + 2), slot 1 rightmost.
  const TRect p = sw->PaneRectOf(1);
  auto iconPixel = [&](const QImage& img, int slot) {
    return QColor(img.pixel(p.Right - 4 - slot * 10 + 4, p.Top + 4));
  };
  const QColor strip = sw->TitlebgColor();
  const QImage img = Shot();
  EXPECT_EQ(iconPixel(img, 1), QColor(Qt::green));
  EXPECT_EQ(iconPixel(img, 2), QColor(Qt::magenta));
  EXPECT_EQ(iconPixel(img, 3), strip) << "set flag, but the list holds only two icons";
  EXPECT_EQ(iconPixel(img, 4), strip) << "clear flag, but the list holds only three icons";

  // A title glyph replaces the strip's fill and is stretched over it.
  int paints = 0;
  sw->OnPaint = [&](QObject* sender) {
    EXPECT_EQ(sender, sw);
    ++paints;
  };
  QImage glyph(2, 2, QImage::Format_RGB32);
  glyph.fill(QColor(255, 128, 0));
  sw->SetTitleGlyph(glyph);
  const QImage glyphed = Shot();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(iconPixel(glyphed, 4), QColor(255, 128, 0));
  EXPECT_EQ(QColor(glyphed.pixel(p.Left + 1, p.Top + 14)), QColor(255, 128, 0));
  EXPECT_EQ(iconPixel(glyphed, 1), QColor(Qt::green)) << "icons stay on top of the glyph";
  sw->SetTitleGlyph(QImage());
  sw->OnPaint = nullptr;

  delete on;  // a destroyed list is no longer drawn
  sw->RefreshItem(1);
  Drain();
  const QImage gone = Shot();
  EXPECT_EQ(sw->TitleStateImgLst(), nullptr);
  EXPECT_EQ(iconPixel(gone, 1), strip);
  EXPECT_EQ(iconPixel(gone, 2), QColor(Qt::magenta));
}

// The message shows while a pane has no video; without title strips it also
// shows for panes without an object.
TEST_F(SplitWindowTest, NoSignalTextWhileThePaneHasNoVideo) {
  const struct {
    bool TitleShow, HasData, Video, TextShown;
  } cases[] = {
      {true, false, false, true}, {true, true, false, true},  {true, true, true, false},
      {false, false, true, true}, {false, true, true, false}, {false, true, false, true},
  };
  sw->SetText(QStringLiteral("No Signal"));
  ShowAndWait();
  int device = 0;
  for (const auto& c : cases) {
    sw->SetTitleShow(c.TitleShow);
    TDspItem* item = sw->Items(2);
    item->SetData(c.HasData ? &device : nullptr);
    item->SetState(1, c.Video);
    sw->RefreshItem(0);
    Drain();
    const TRect p = sw->PaneRectOf(2);
    const QRect middle(p.Left + 8, p.Top + 40, p.Right - p.Left - 16, p.Bottom - p.Top - 60);
    EXPECT_EQ(CountYellowish(Shot(), middle) > 0, c.TextShown)
        << "title " << c.TitleShow << " data " << c.HasData << " video " << c.Video;
  }
}

TEST_F(SplitWindowTest, DragOverAndDropOnPanes) {
  QMimeData mime;
  mime.setText(QStringLiteral("device"));
  const QPoint target = Centre(4);
  auto enter = [&](QPoint at) {
    QDragEnterEvent e(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    e.setAccepted(false);
    QCoreApplication::sendEvent(sw, &e);
    return e.isAccepted();
  };
  EXPECT_FALSE(enter(target)) << "no handler: nothing is accepted";

  // The host accepts drops on empty panes only.
  int device = 0;
  sw->Items(1)->SetData(&device);
  sw->OnDragOver = [&](QObject*, QObject*, const QMimeData* data, int x, int y, bool& accept) {
    accept = data->hasText() && !sw->ItemHasData(sw->PageOffset() + sw->HitTest(x, y));
  };
  EXPECT_TRUE(enter(target));
  EXPECT_FALSE(enter(Centre(1)));

  std::vector<QPoint> drops;
  sw->OnDragDrop = [&](QObject* sender, QObject*, const QMimeData* data, int x, int y) {
    EXPECT_EQ(sender, sw);
    EXPECT_EQ(data->text(), QStringLiteral("device"));
    EXPECT_EQ(sw->Selected(), 1) << "the host sees the drop before the selection moves";
    drops.emplace_back(x, y);
  };
  QDropEvent drop(target, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(sw, &drop);
  EXPECT_EQ(drops, (std::vector<QPoint>{target}));
  EXPECT_EQ(sw->Selected(), 4);

  sw->OnDragDrop = [](QObject*, QObject*, const QMimeData*, int, int) { throw std::runtime_error("host"); };
  QDropEvent failing(Centre(2), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
  EXPECT_NO_THROW(QCoreApplication::sendEvent(sw, &failing));
}

}  // namespace
