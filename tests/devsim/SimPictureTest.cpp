// The test picture itself, before any coding: a channel's mark is the only
// thing that tells the channels apart, it lies where ChannelMark says, its
// block has the channel's colour, and no picture writes outside its planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "SimPicture.h"

namespace devsimtest {
namespace {

using vzsim::SimPicture;
using vzsim::SimRect;

constexpr uint8_t kSentinel = 0xA5;
constexpr int kPad = 24;  // bytes past every row's end that must stay untouched

// One picture in planes whose rows run on past the picture, filled with a
// sentinel first.
struct Picture {
  int width, height;
  std::vector<uint8_t> y, u, v;

  Picture(int w, int h, int64_t frame, int channel, bool fields = false, bool busy = false)
      : width(w), height(h),
        y(static_cast<size_t>(YStride() * h), kSentinel),
        u(static_cast<size_t>(CStride() * (h / 2)), kSentinel),
        v(u.size(), kSentinel) {
    auto draw = fields ? &SimPicture::DrawFields : &SimPicture::Draw;
    draw(w, h, frame, 45296, channel, busy, y.data(), YStride(), u.data(), CStride(), v.data(), CStride());
  }
  int YStride() const { return width + kPad; }
  int CStride() const { return width / 2 + kPad; }
  int Y(int x, int r) const { return y[static_cast<size_t>(r * YStride() + x)]; }
  int U(int x, int r) const { return u[static_cast<size_t>(r / 2 * CStride() + x / 2)]; }
  int V(int x, int r) const { return v[static_cast<size_t>(r / 2 * CStride() + x / 2)]; }

  bool PaddingIntact() const {
    for (int r = 0; r < height; ++r) {
      for (int x = width; x < YStride(); ++x) {
        if (Y(x, r) != kSentinel) return false;
      }
    }
    for (int r = 0; r < height / 2; ++r) {
      for (int x = width / 2; x < CStride(); ++x) {
        const size_t at = static_cast<size_t>(r * CStride() + x);
        if (u[at] != kSentinel || v[at] != kSentinel) return false;
      }
    }
    return true;
  }
};

bool Inside(const SimRect& r, int x, int y) { return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height; }

bool Overlap(const SimRect& a, const SimRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

struct Size {
  int width, height;
};

TEST(SimPictureTest, ChannelsDifferOnlyInTheirMarkWhoseBlockHasTheChannelColour) {
  const Size sizes[] = {{176, 120}, {176, 144}, {320, 240}, {352, 288}, {704, 576}, {1280, 720}, {1920, 1080}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
    const SimRect mark = SimPicture::ChannelMark(s.width, s.height);
    const SimRect block = SimPicture::ChannelBlock(s.width, s.height);
    const int corner = SimPicture::CornerSize(s.width, s.height);
    // The mark stays clear of everything else a test looks for.
    EXPECT_GE(mark.x, 0);
    EXPECT_LE(mark.x + mark.width, s.width);
    EXPECT_EQ(mark.y + mark.height, s.height);
    EXPECT_EQ(mark.x % 2 + block.x % 2 + block.y % 2 + block.width % 2, 0) << "off the chroma grid";
    for (const SimRect& other : {SimRect{0, s.height - corner, corner, corner},
                                 SimRect{s.width - corner, s.height - corner, corner, corner},
                                 SimPicture::ClockBand(s.width, s.height)}) {
      EXPECT_FALSE(Overlap(mark, other));
    }

    const Picture plain(s.width, s.height, 7, -1);
    // Channels 1 and 9 share a colour: their labels still differ.
    const int channels[] = {0, 1, 3, 9};
    std::vector<Picture> marked;
    for (int c : channels) marked.emplace_back(s.width, s.height, 7, c);
    for (size_t i = 0; i < marked.size(); ++i) {
      const Picture& p = marked[i];
      SCOPED_TRACE("channel " + std::to_string(channels[i]));
      EXPECT_TRUE(p.PaddingIntact());
      int outsideDiffers = 0, insideDiffers = 0, labelDiffers = 0;
      for (int r = 0; r < s.height; ++r) {
        for (int x = 0; x < s.width; ++x) {
          const bool same = p.Y(x, r) == plain.Y(x, r) && p.U(x, r) == plain.U(x, r) && p.V(x, r) == plain.V(x, r);
          if (Inside(mark, x, r)) {
            insideDiffers += same ? 0 : 1;
            if (i > 0 && p.Y(x, r) != marked[i - 1].Y(x, r) && !Inside(block, x, r)) ++labelDiffers;
          } else {
            outsideDiffers += same ? 0 : 1;
          }
        }
      }
      EXPECT_EQ(outsideDiffers, 0);
      EXPECT_GT(insideDiffers, mark.width * mark.height / 2);
      if (i > 0) {
        EXPECT_GT(labelDiffers, 0) << "the label shows no other number than channel " << channels[i - 1];
      }
      const vzsim::SimYuv want = SimPicture::ChannelColour(channels[i]);
      const std::pair<int, int> samples[] = {{block.x, block.y},
                                             {block.x + block.width - 1, block.y + block.height - 1},
                                             {block.x + block.width / 2, block.y + block.height / 2}};
      for (const auto& [x, r] : samples) {
        EXPECT_EQ(p.Y(x, r), want.y) << x << "," << r;
        EXPECT_EQ(p.U(x, r), want.u) << x << "," << r;
        EXPECT_EQ(p.V(x, r), want.v) << x << "," << r;
      }
    }
  }
}

TEST(SimPictureTest, EveryChannelColourStandsApartFromTheOthersAndFromTheCorners) {
  // After lossy coding a test allows about 20 on each component; any two
  // colours it must tell apart differ by more than twice that somewhere.
  std::vector<vzsim::SimYuv> colours = {SimPicture::kTopLeft, SimPicture::kTopRight, SimPicture::kBottomLeft,
                                        SimPicture::kBottomRight, vzsim::SimYuv{16, 128, 128}};
  for (int c = 0; c < 8; ++c) colours.push_back(SimPicture::ChannelColour(c));
  EXPECT_EQ(SimPicture::ChannelColour(8).y, SimPicture::ChannelColour(0).y);
  for (size_t i = 0; i < colours.size(); ++i) {
    for (size_t j = i + 1; j < colours.size(); ++j) {
      const int d = std::max({std::abs(colours[i].y - colours[j].y), std::abs(colours[i].u - colours[j].u),
                              std::abs(colours[i].v - colours[j].v)});
      EXPECT_GT(d, 40) << i << " against " << j;
    }
  }
}

TEST(SimPictureTest, TheBusySceneKeepsEveryFixedPartAndChangesTheRestInEveryFrame) {
  const Size sizes[] = {{176, 144}, {704, 576}, {1920, 1080}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
    const int corner = SimPicture::CornerSize(s.width, s.height);
    const SimRect fixed[] = {{0, 0, corner, corner},
                             {s.width - corner, 0, corner, corner},
                             {0, s.height - corner, corner, corner},
                             {s.width - corner, s.height - corner, corner, corner},
                             SimPicture::ClockBand(s.width, s.height),
                             SimPicture::ChannelMark(s.width, s.height)};
    const Picture plain(s.width, s.height, 7, 2);
    const Picture busy(s.width, s.height, 7, 2, false, true);
    const Picture next(s.width, s.height, 8, 2, false, true);
    EXPECT_TRUE(busy.PaddingIntact());
    int fixedDiffers = 0, background = 0, sceneDiffers = 0, frameDiffers = 0;
    for (int r = 0; r < s.height; ++r) {
      for (int x = 0; x < s.width; ++x) {
        const bool isFixed = std::any_of(std::begin(fixed), std::end(fixed), [&](const SimRect& f) { return Inside(f, x, r); });
        const bool same = busy.Y(x, r) == plain.Y(x, r) && busy.U(x, r) == plain.U(x, r) && busy.V(x, r) == plain.V(x, r);
        if (isFixed) {
          fixedDiffers += same ? 0 : 1;
          continue;
        }
        ++background;
        sceneDiffers += same ? 0 : 1;
        frameDiffers += busy.Y(x, r) != next.Y(x, r) ? 1 : 0;
      }
    }
    EXPECT_EQ(fixedDiffers, 0) << "the parts tests read stay as on the plain picture";
    // The square circles over the scene, so a little of the background is plain.
    EXPECT_GT(sceneDiffers, background * 8 / 10);
    EXPECT_GT(frameDiffers, background * 8 / 10) << "motion and noise reach nearly every pixel of every frame";
  }
}

TEST(SimPictureTest, TinyPicturesAndStackedFieldsStayInsideTheirPlanes) {
  // Pictures narrower than the mark clip it; stacked fields carry it too.
  const struct {
    int width, height, channel;
    bool fields;
  } cases[] = {{16, 16, 0, false}, {16, 16, 12, false}, {34, 18, 98, false}, {176, 144, 2, true}, {352, 288, 1, true}};
  for (const bool busy : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " channel " + std::to_string(c.channel) +
                   (busy ? " busy" : ""));
      const Picture p(c.width, c.height, 3, c.channel, c.fields, busy);
      EXPECT_TRUE(p.PaddingIntact());
      if (c.fields) {
        // Row r of the picture lies at r / 2 (even rows) in the first field.
        const SimRect block = SimPicture::ChannelBlock(c.width, c.height);
        const int r = (block.y + block.height / 2) & ~1;
        const vzsim::SimYuv want = SimPicture::ChannelColour(c.channel);
        EXPECT_EQ(p.Y(block.x + block.width / 2, r / 2), want.y);
        EXPECT_EQ(p.Y(block.x + block.width / 2, c.height / 2 + r / 2), want.y);
        EXPECT_EQ(p.V(block.x + block.width / 2, (r / 2) & ~1), want.v);
      }
    }
  }
}

}  // namespace
}  // namespace devsimtest
