// The renderer's own copy of a picture, which the conversion helper reads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "class_PictureStage.h"

namespace {

// Planes of a w x h 4:2:0 picture with every byte different from its
// neighbours, each line padded with junk and starting off any alignment.
struct TNoisyPicture {
  std::vector<uint8_t> Bytes[3];
  vz::TDecodedPicture View;
  TNoisyPicture(int w, int h, int offset) {
    const int widths[3] = {w, (w + 1) / 2, (w + 1) / 2};
    const int rows[3] = {h, (h + 1) / 2, (h + 1) / 2};
    for (int i = 0; i < 3; ++i) {
      const int stride = widths[i] + 7;
      Bytes[i].resize(static_cast<size_t>(offset + stride * rows[i]));
      for (size_t k = 0; k < Bytes[i].size(); ++k) Bytes[i][k] = static_cast<uint8_t>(k * 131 + i * 17 + 1);
      View.Plane[i] = Bytes[i].data() + offset;
      View.LineSize[i] = stride;
    }
    View.Width = w;
    View.Height = h;
    View.FullRange = true;
    View.Interlaced = true;
  }
};

TEST(PictureStage, TheCopyHoldsEveryVisibleByteOfEveryPlane) {
  // Widths around the copy's 16- and 64-byte steps, odd sizes, offsets
  // that leave the source unaligned.
  const int sizes[][3] = {{1, 1, 0}, {2, 2, 1}, {15, 3, 3}, {17, 5, 0}, {63, 7, 5},
                          {64, 8, 0}, {65, 9, 1}, {129, 4, 7}, {704, 576, 0}, {721, 483, 9}};
  vz::TPictureStage stage;  // one object, growing and shrinking pictures
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
    const TNoisyPicture pic(s[0], s[1], s[2]);
    vz::TDecodedPicture out;
    ASSERT_TRUE(stage.Stage(pic.View, out));
    EXPECT_EQ(out.Width, s[0]);
    EXPECT_EQ(out.Height, s[1]);
    EXPECT_TRUE(out.FullRange);
    EXPECT_TRUE(out.Interlaced);
    EXPECT_EQ(out.Keep, nullptr);
    const int widths[3] = {s[0], (s[0] + 1) / 2, (s[0] + 1) / 2};
    const int rows[3] = {s[1], (s[1] + 1) / 2, (s[1] + 1) / 2};
    for (int i = 0; i < 3; ++i) {
      ASSERT_GE(out.LineSize[i], widths[i]);
      for (int y = 0; y < rows[i]; ++y)
        ASSERT_EQ(0, std::memcmp(out.Plane[i] + static_cast<ptrdiff_t>(y) * out.LineSize[i],
                                 pic.View.Plane[i] + static_cast<ptrdiff_t>(y) * pic.View.LineSize[i],
                                 static_cast<size_t>(widths[i])))
            << "plane " << i << " line " << y;
    }
  }
}

TEST(PictureStage, AnUnreadablePictureIsRefusedAndLeavesTheOutputAlone) {
  const TNoisyPicture good(32, 16, 0);
  struct Case {
    const char* what;
    void (*Spoil)(vz::TDecodedPicture&);
  };
  const Case cases[] = {
      {"no luma", [](vz::TDecodedPicture& p) { p.Plane[0] = nullptr; }},
      {"no chroma", [](vz::TDecodedPicture& p) { p.Plane[2] = nullptr; }},
      {"no width", [](vz::TDecodedPicture& p) { p.Width = 0; }},
      {"negative height", [](vz::TDecodedPicture& p) { p.Height = -4; }},
      {"short luma lines", [](vz::TDecodedPicture& p) { p.LineSize[0] = 31; }},
      {"short chroma lines", [](vz::TDecodedPicture& p) { p.LineSize[1] = 15; }},
  };
  vz::TPictureStage stage;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vz::TDecodedPicture bad = good.View;
    c.Spoil(bad);
    vz::TDecodedPicture out;
    out.Width = 99;
    EXPECT_FALSE(stage.Stage(bad, out));
    EXPECT_EQ(out.Width, 99);
  }
}

}  // namespace
