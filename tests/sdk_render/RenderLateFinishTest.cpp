// Pictures finished one step late: a large picture's conversion runs on the
// conversion helper while the owner goes on, and the picture is finished
// (overlays, draw hook, presentation) before the next one or on request.
#include <gtest/gtest.h>

#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "RenderTestUtil.h"
#include "class_DRender.h"
#include "class_DspInfoLst.h"

namespace {

using rendertest::kBlue;
using rendertest::kRed;
using rendertest::Near;
using rendertest::TPicture;

// A large picture whose planes live exactly as long as its Keep.
struct Kept {
  std::shared_ptr<TPicture> Owner;
  vz::TDecodedPicture View;
};
Kept MakeKept(rendertest::TYuv colour, int w = 704, int h = 576) {
  Kept k;
  k.Owner = std::make_shared<TPicture>(w, h, colour);
  k.View = k.Owner->View();
  k.View.Keep = k.Owner;
  return k;
}

vz::TFrameView FrameOf(int32_t channel) {
  vz::TFrameView f;
  f.Head.Chl = static_cast<uint8_t>(channel);
  return f;
}

// Records each drawing: the channel and the overlay text it was drawn with.
struct Drawings {
  std::vector<std::string> Seen;
  void Attach(vz::TRender& render) {
    render.SetDrawHook([this, &render](QPainter*, int32_t channel) {
      Seen.push_back(std::to_string(channel) + ":" + render.TextItem(0).Text);
    });
    // Each frame's overlay text names its channel, as a live OSD names its time.
    render.SetOsdUpdater([](vz::TRender& r, const vz::TFrameView& frame) {
      vz::TTextParam p;
      p.Text = "frame of " + std::to_string(frame.Head.Chl);
      r.SetTextItem(0, p);
    });
  }
};

TEST(RenderLateFinish, PicturesAreFinishedInOrderWithTheirOwnOverlaysFromTheirOwnCopy) {
  vz::TDspInfoLst list;
  vz::TRender render(&list);
  Drawings drawn;
  drawn.Attach(render);
  render.SetLateFinish(true);

  Kept red = MakeKept(kRed);
  std::weak_ptr<TPicture> red_planes = red.Owner;
  render.ShowPicture(red.View, FrameOf(1));
  EXPECT_TRUE(render.PicturePending());
  EXPECT_EQ(render.RenderedCount(), 0u);
  EXPECT_TRUE(drawn.Seen.empty());
  // The decoder writes its next picture into the same buffer at once, then
  // lets go of it: the pending picture was copied and stays red.
  red.Owner->Fill(0, 0, 704, 576, rendertest::kGreen);
  red = Kept{};
  EXPECT_TRUE(red_planes.expired());

  Kept blue = MakeKept(kBlue);
  render.ShowPicture(blue.View, FrameOf(2));
  // The red picture was finished first, with the overlay of its own frame.
  ASSERT_EQ(drawn.Seen, (std::vector<std::string>{"1:frame of 1"}));
  EXPECT_EQ(render.RenderedCount(), 1u);
  QImage shot = render.Capture();
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(Near(shot.pixel(350, 280), 254, 0, 0, 6));
  EXPECT_TRUE(Near(shot.pixel(2, 2), 254, 0, 0, 6));

  EXPECT_TRUE(render.PicturePending());
  render.FinishPicture();
  EXPECT_FALSE(render.PicturePending());
  EXPECT_EQ(drawn.Seen, (std::vector<std::string>{"1:frame of 1", "2:frame of 2"}));
  shot = render.Capture();
  EXPECT_TRUE(Near(shot.pixel(350, 280), 0, 0, 255, 6));
  render.FinishPicture();  // nothing left: no second drawing
  EXPECT_EQ(render.RenderedCount(), 2u);
}

TEST(RenderLateFinish, ALateFinishedPictureEqualsOneFinishedAtOnce) {
  Kept pic = MakeKept(kRed, 1280, 720);
  pic.Owner->Fill(100, 100, 400, 300, kBlue);
  pic.Owner->Fill(640, 360, 64, 200, rendertest::kGreen);
  pic.View = pic.Owner->View();
  pic.View.Keep = pic.Owner;
  vz::TDspInfoLst list;
  vz::TRender late(&list);
  vz::TRender direct(&list);
  late.SetLateFinish(true);
  late.Render(pic.View, 0, &list);
  direct.Render(pic.View, 0, &list);
  late.FinishPicture();
  const QImage a = late.Capture();
  const QImage b = direct.Capture();
  ASSERT_FALSE(a.isNull());
  EXPECT_EQ(a, b);
}

// A small picture is not worth the hand-over; any large one is, whether or
// not its giver keeps its planes (the renderer works from its own copy).
TEST(RenderLateFinish, OnlyLargePicturesAreLeftPending) {
  struct Case {
    const char* what;
    bool keep;
    int w, h;
    bool pending;
  };
  const Case cases[] = {{"no keep", false, 704, 576, true},
                        {"odd size", false, 721, 483, true},
                        {"small", true, 352, 288, false},
                        {"tiny", true, 64, 48, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vz::TDspInfoLst list;
    vz::TRender render(&list);
    render.SetLateFinish(true);
    Kept pic = MakeKept(kRed, c.w, c.h);
    if (!c.keep) pic.View.Keep.reset();
    render.Render(pic.View, 0, &list);
    EXPECT_EQ(render.PicturePending(), c.pending);
    pic = Kept{};
    render.FinishPicture();
    EXPECT_EQ(render.RenderedCount(), 1u);
    const QImage shot = render.Capture();
    ASSERT_EQ(shot.size(), QSize(c.w, c.h));
    EXPECT_TRUE(Near(shot.pixel(c.w - 1, c.h - 1), 254, 0, 0, 6));
  }
}

// The helper may still be reading the renderer's copy and writing its
// image: the renderer waits for it (the sanitizer build sees any touch
// after the free).
TEST(RenderLateFinish, ARendererGoingAwayWithAPendingPictureWaitsForItsConversion) {
  vz::TDspInfoLst list;
  auto render = std::make_unique<vz::TRender>(&list);
  render->SetLateFinish(true);
  Kept pic = MakeKept(kBlue, 1920, 1080);
  render->Render(pic.View, 0, &list);
  EXPECT_TRUE(render->PicturePending());
  render.reset();
}

}  // namespace
