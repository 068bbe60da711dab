// Overlay texts of a played file from the OSD settings in its header.
#include <gtest/gtest.h>

#include <cstring>

#include "class_FileOverlay.h"

namespace {

// Header offset of a settings-record offset.
constexpr int Hdr(int recordOffset) { return recordOffset + 52; }

void PutOsd(uint8_t* header, int recordOffset, uint8_t size, uint8_t refresh, uint8_t show, uint8_t colour,
            int16_t x, int16_t y) {
  uint8_t* p = header + Hdr(recordOffset);
  p[0] = size;
  p[1] = refresh;
  p[2] = show;
  p[3] = colour;
  std::memcpy(p + 4, &x, 2);
  std::memcpy(p + 6, &y, 2);
}

TEST(FileOverlayTest, ItemsFollowTheHeaderAndTheSpeed) {
  uint8_t header[256] = {};
  PutOsd(header, 104, 24, 0, 1, 15, 10, 20);  // time
  PutOsd(header, 96, 0, 0, 1, 7, 30, 40);     // title
  std::memcpy(header + Hdr(56), "Gate", 4);
  PutOsd(header, 120, 0, 1, 1, 9, 50, 60);    // statistics, frozen by its refresh flag
  vz::TRecFileHeader parsed{};
  ASSERT_TRUE(vz::ParseRecHeader(header, sizeof header, parsed));
  vz::TFileOverlay overlay(parsed);
  overlay.Refresh(86400 + 3600 + 61, "25 fps ,  100 Kbps", 4, 288);
  const vz::TFileTexts& t = overlay.Texts();
  EXPECT_TRUE(t[0].Visible);
  EXPECT_EQ(t[0].Text, "1970-01-02 01:01:01");
  EXPECT_EQ(t[0].Colour, 0xFFFFFFu);
  EXPECT_EQ(t[0].Size, 24);
  EXPECT_EQ(t[0].X, 10);
  EXPECT_EQ(t[0].Y, 20);
  EXPECT_EQ(t[1].Text, "Gate");
  EXPECT_EQ(t[1].Colour, 0x0000FFu);
  EXPECT_FALSE(t[2].Visible);
  EXPECT_TRUE(t[3].Visible);
  EXPECT_EQ(t[3].Text, "X 4");
  EXPECT_EQ(t[3].Size, 16);
  EXPECT_EQ(t[3].X, 24);
  EXPECT_EQ(t[3].Y, 288 - 80);
  EXPECT_EQ(t[3].Colour, 0xFFFFFFu);
  for (int speed : {0, 1}) {
    overlay.Refresh(0, "", speed, 288);
    EXPECT_FALSE(overlay.Texts()[3].Visible) << speed;
  }
}

}  // namespace
