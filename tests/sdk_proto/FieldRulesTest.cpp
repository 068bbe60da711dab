// Field rules: version gates, the stored motion sensitivity, OSD positions,
// area rectangles and schedule periods.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vz_fieldrules.h"
#include "vz_fields.h"

namespace {

vz::TDevInfo WithVersion(const std::string& version) {
  vz::TDevInfo info{};
  EXPECT_TRUE(vz::SetStrField(info.SoftVer, version));
  return info;
}

TEST(FieldRules, VersionTextsCompareByteByByte) {
  const struct {
    std::string version;
    bool above116, below116;
  } cases[] = {
      {"V2.116", false, false}, {"V2.116a", true, false}, {"V2.117", true, false},
      {"V2.2", true, false},  // text, not numbers
      {"V10.0", false, true},   {"V2.115", false, true},  {"", false, true},
      {"v2.116", true, false},  // lower case sorts after upper case
  };
  for (const auto& c : cases) {
    const vz::TDevInfo info = WithVersion(c.version);
    EXPECT_EQ(vz::SoftVerAbove(info, "V2.116"), c.above116) << c.version;
    EXPECT_EQ(vz::UsesFractionalRect(info), c.above116) << c.version;
    EXPECT_EQ(vz::SoftVerBelow(info, "V2.116"), c.below116) << c.version;
  }
  vz::TDevInfo full{};
  std::memset(full.SoftVer, 'V', sizeof full.SoftVer);  // no terminator
  full.FileVer[0] = 'Z';
  EXPECT_EQ(vz::CompareVersionText(vz::GetStrField(full.SoftVer), std::string(20, 'V')), 0);
}

TEST(FieldRules, MotionSensitivityIsStoredInverted) {
  const struct {
    int slider;
    int stored;
  } cases[] = {{200, 55}, {0, 255}, {255, 0}, {128, 127}, {-5, 255}, {300, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(vz::MDSensitivityFromSlider(c.slider), c.stored) << c.slider;
    if (c.slider >= 0 && c.slider <= 255) {
      EXPECT_EQ(vz::SliderFromMDSensitivity(uint8_t(c.stored)), c.slider);
    }
  }
}

TEST(FieldRules, OsdPositionsOnThePicture) {
  const struct {
    int x, y;
    bool ok;
  } cases[] = {{0, 0, true},      {1280, 720, true}, {1281, 0, false},
               {0, 721, false},   {-1, 5, false},    {5, -1, false}};
  for (const auto& c : cases) EXPECT_EQ(vz::OsdPositionValid(c.x, c.y, 1280, 720), c.ok) << c.x << "," << c.y;
}

TEST(FieldRules, AreaRectanglesFollowTheDeviceVersion) {
  const vz::TPixelRect rect{320, 180, 960, 540};
  const struct {
    const char* name;
    std::string version;
    bool active;
    int width, height;
    bool fractions;
    int resolution;
  } cases[] = {
      {"new device", "V2.118", true, 1280, 720, true, 18},
      {"old device", "V2.116", true, 1280, 720, false, 18},
      {"inactive", "V2.118", false, 1280, 720, true, 18},
      {"no picture size", "V2.118", true, 0, 0, false, 26},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const vz::TDevInfo info = WithVersion(c.version);
    vz::THideAreaCfg hide;
    std::memset(&hide, 0x7E, sizeof hide);
    vz::WriteHideArea(hide, info, c.active, rect, c.width, c.height);
    vz::TMDCfg md;
    std::memset(&md, 0x7E, sizeof md);
    vz::WriteMDArea(md, info, c.active, rect, c.width, c.height);

    const int l = c.active ? 320 : 0;
    EXPECT_EQ(hide.Active, c.active ? 1 : 0);
    EXPECT_EQ(md.Active, c.active ? 1 : 0);
    EXPECT_EQ(hide.Left, l);
    EXPECT_EQ(md.Bottom, c.active ? 540 : 0);
    EXPECT_EQ(hide.Resolution, c.resolution);
    EXPECT_EQ(md.Resolution, c.resolution);
    if (c.fractions) {
      EXPECT_EQ(hide.FracValid, 1);
      EXPECT_EQ(md.FracValid, 1);
      EXPECT_FLOAT_EQ(hide.FracLeft, c.active ? 0.25f : 0.0f);
      EXPECT_FLOAT_EQ(md.FracBottom, c.active ? 0.75f : 0.0f);
    } else {
      EXPECT_EQ(hide.FracValid, 0x7E7E7E7E);  // left as received
      EXPECT_EQ(md.FracValid, 0x7E);
    }
    EXPECT_EQ(hide.Reserved2[19], 0x7E);
    EXPECT_EQ(md.Reserved3[0], 0x7E);
    EXPECT_EQ(md.Days, 0x7E7E7E7E);  // the schedule is not the area's
  }
}

TEST(FieldRules, PeriodsAreKeptInOrder) {
  const struct {
    int sh, sm, eh, em;
    int wsh, wsm, weh, wem;
  } cases[] = {
      {8, 0, 17, 30, 8, 0, 17, 30},   {17, 30, 8, 0, 8, 0, 17, 30},
      {9, 15, 9, 15, 9, 15, 23, 59},  {9, 15, 9, 14, 9, 14, 9, 15},
      {0, 0, 0, 0, 0, 0, 23, 59},
  };
  for (const auto& c : cases) {
    uint8_t sh = uint8_t(c.sh), sm = uint8_t(c.sm), eh = uint8_t(c.eh), em = uint8_t(c.em);
    vz::OrderPeriod(sh, sm, eh, em);
    EXPECT_EQ((std::to_string(sh) + ":" + std::to_string(sm) + "-" + std::to_string(eh) + ":" +
               std::to_string(em)),
              (std::to_string(c.wsh) + ":" + std::to_string(c.wsm) + "-" + std::to_string(c.weh) +
               ":" + std::to_string(c.wem)));
  }
}

}  // namespace
