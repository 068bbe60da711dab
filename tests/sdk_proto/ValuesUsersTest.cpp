// Value sets (resolution codes, names, day sets) and the account list rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vz_fields.h"
#include "vz_users.h"
#include "vz_values.h"

namespace {

TEST(StandardEx, CodeToSize) {
  const struct {
    int code;
    bool ok;
    int width, height;
  } cases[] = {
      {0, false, 0, 0},  // the bounds carry no size
      {26, false, 0, 0},
      {-1, false, 0, 0},
      {27, false, 0, 0},
      {1, true, 720, 576},
      {6, true, 176, 144},
      {7, true, 720, 480},
      {13, true, 160, 120},
      {18, true, 1280, 720},
      {21, true, 1280, 1024},
      {25, true, 1920, 1080},
  };
  for (const auto& c : cases) {
    int w = -1;
    int h = -1;
    EXPECT_EQ(vz::StandardExToSize(c.code, w, h), c.ok) << c.code;
    EXPECT_EQ(w, c.width) << c.code;
    EXPECT_EQ(h, c.height) << c.code;
  }
}

TEST(StandardEx, SizeToCode) {
  const struct {
    int width, height, code;
  } cases[] = {
      {1280, 720, 18}, {720, 576, 1}, {1920, 1080, 25}, {160, 120, 13},
      {720, 1280, 26},  // swapped: no such code
      {0, 0, 26},  // must not match the bounds, whose names carry no size
      {1, 1, 26}, {-720, -576, 26},
  };
  for (const auto& c : cases)
    EXPECT_EQ(vz::StandardExFromSize(c.width, c.height), c.code) << c.width << "x" << c.height;
  // Every code with a size is found again from it: no two codes share a size.
  for (int code = 1; code < vz::StandardExMax; ++code) {
    int w = 0;
    int h = 0;
    ASSERT_TRUE(vz::StandardExToSize(code, w, h)) << code;
    EXPECT_EQ(vz::StandardExFromSize(w, h), code) << vz::StandardExName(code);
  }
}

TEST(ValueSets, NamesAndLanguageKeys) {
  EXPECT_STREQ(vz::StandardExName(18), "V1280x720");
  EXPECT_STREQ(vz::VideoTypeName(vz::H264), "H264");
  EXPECT_STREQ(vz::AlmTypeName(vz::Alm_MotionDetection), "Alm_MotionDetection");
  EXPECT_STREQ(vz::AlmTypeName(11), "Alm_RF");
  EXPECT_STREQ(vz::AlmTypeName(12), "Alm_OtherMax");
  EXPECT_STREQ(vz::DaySetKey(0), "w_close");
  EXPECT_STREQ(vz::DaySetKey(7), "w_7");
  EXPECT_STREQ(vz::DaySetKey(10), "w_6_7");
  EXPECT_STREQ(vz::DaySetKey(12), "w_Interval");
  EXPECT_STREQ(vz::ArmModeKey(83), "DISARM");
  for (int bad : {-1, 13, 1000}) {
    EXPECT_EQ(vz::DaySetKey(bad), nullptr) << bad;
    EXPECT_EQ(vz::AlmTypeName(bad), nullptr) << bad;
  }
  EXPECT_EQ(vz::StandardExName(27), nullptr);
  EXPECT_EQ(vz::StandardExName(-1), nullptr);
  EXPECT_EQ(vz::VideoTypeName(3), nullptr);
  EXPECT_EQ(vz::ArmModeKey(85), nullptr);
}

TEST(ValueSets, DaySetsAndWeekdays) {
  // weekday 1 = Monday ... 7 = Sunday; a string of the seven answers.
  const struct {
    int daySet;
    const char* week;
  } cases[] = {
      {0, "-------"}, {1, "M------"}, {7, "------S"}, {8, "MMMMM--"}, {9, "MMMMMM-"},
      {10, "-----SS"}, {11, "MMMMMMM"}, {12, "-------"}, {13, "-------"}, {-1, "-------"},
  };
  for (const auto& c : cases)
    for (int day = 1; day <= 7; ++day)
      EXPECT_EQ(vz::DaySetHasWeekday(c.daySet, day), c.week[day - 1] != '-')
          << "set " << c.daySet << " day " << day;
  EXPECT_FALSE(vz::DaySetHasWeekday(11, 0));
  EXPECT_FALSE(vz::DaySetHasWeekday(11, 8));
}

TEST(ValueSets, UserLevels) {
  const struct {
    int level;
    bool configure, control;
  } cases[] = {{1, false, false}, {2, false, true}, {3, true, true}};
  for (const auto& c : cases) {
    EXPECT_TRUE(vz::IsUserLevel(c.level));
    EXPECT_EQ(vz::LevelMayConfigure(c.level), c.configure) << c.level;
    EXPECT_EQ(vz::LevelMayControl(c.level), c.control) << c.level;
  }
  EXPECT_FALSE(vz::IsUserLevel(0));
  EXPECT_FALSE(vz::IsUserLevel(4));
}

// ---- accounts ------------------------------------------------------------

class Users : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&cfg, 0, sizeof cfg);
    std::memset(cfg.Reserved, 0x5C, sizeof cfg.Reserved);
    for (const char* name : {"admin", "operator", "guest"})
      ASSERT_EQ(vz::UserAdd(cfg, name, std::string(name) + "pw", 3), vz::TUserEdit::Done);
  }
  void Fill(int count) {
    for (int i = vz::UserCount(cfg); i < count; ++i)
      ASSERT_EQ(vz::UserAdd(cfg, "user" + std::to_string(i), "pw", 1), vz::TUserEdit::Done);
  }
  std::string Name(int i) const { return vz::GetStrField(cfg.Users[i].Name); }
  bool EntryZero(int i) const {
    const auto* b = reinterpret_cast<const uint8_t*>(&cfg.Users[i]);
    for (std::size_t k = 0; k < sizeof(vz::TUserEntry); ++k)
      if (b[k] != 0) return false;
    return true;
  }
  vz::TUserCfg cfg;
};

TEST_F(Users, AddWritesTheGroupTwiceAndKeepsReservedBytes) {
  ASSERT_EQ(vz::UserAdd(cfg, "viewer", "v", 2), vz::TUserEdit::Done);
  EXPECT_EQ(cfg.Count, 4);
  EXPECT_EQ(cfg.Users[3].Group, 2);
  EXPECT_EQ(cfg.Users[3].Group2, 2);
  EXPECT_EQ(Name(3), "viewer");
  EXPECT_EQ(vz::GetStrField(cfg.Users[3].Password), "v");
  EXPECT_EQ(cfg.Reserved[0], 0x5C);
  EXPECT_TRUE(EntryZero(4));
}

TEST_F(Users, AddIsRefusedWithoutChangingAnything) {
  const struct {
    const char* name;
    std::string user, password;
    int group;
    vz::TUserEdit want;
  } cases[] = {
      {"duplicate", "operator", "x", 2, vz::TUserEdit::Exists},
      {"empty name", "", "x", 2, vz::TUserEdit::BadName},
      {"name of 20", std::string(20, 'n'), "x", 2, vz::TUserEdit::BadName},
      {"empty password", "new", "", 2, vz::TUserEdit::BadPassword},
      {"password of 20", "new", std::string(20, 'p'), 2, vz::TUserEdit::BadPassword},
      {"group 0", "new", "x", 0, vz::TUserEdit::BadGroup},
      {"group 4", "new", "x", 4, vz::TUserEdit::BadGroup},
  };
  const vz::TUserCfg before = cfg;
  for (const auto& c : cases) {
    EXPECT_EQ(vz::UserAdd(cfg, c.user, c.password, c.group), c.want) << c.name;
    EXPECT_EQ(std::memcmp(&cfg, &before, sizeof cfg), 0) << c.name;
  }
  EXPECT_EQ(vz::UserAdd(cfg, "Operator", "x", 2), vz::TUserEdit::Done);  // names compare exactly
  EXPECT_EQ(vz::UserAdd(cfg, std::string(19, 'n'), std::string(19, 'p'), 1), vz::TUserEdit::Done);
}

TEST_F(Users, TwentyAccountsAcceptNoMore) {
  Fill(20);
  EXPECT_EQ(cfg.Count, 20);
  const vz::TUserCfg before = cfg;
  EXPECT_EQ(vz::UserAdd(cfg, "one-more", "x", 1), vz::TUserEdit::Full);
  EXPECT_EQ(std::memcmp(&cfg, &before, sizeof cfg), 0);
}

TEST_F(Users, DeleteMovesTheFollowingEntriesUp) {
  const struct {
    int fillTo, index;
  } cases[] = {{3, 0}, {3, 2}, {20, 0}, {20, 19}, {20, 7}};
  for (const auto& c : cases) {
    SetUp();
    Fill(c.fillTo);
    const vz::TUserCfg before = cfg;
    ASSERT_EQ(vz::UserDelete(cfg, c.index), vz::TUserEdit::Done) << c.fillTo << "/" << c.index;
    EXPECT_EQ(cfg.Count, c.fillTo - 1);
    for (int i = 0; i < c.fillTo - 1; ++i) {
      const int from = i < c.index ? i : i + 1;
      EXPECT_EQ(std::memcmp(&cfg.Users[i], &before.Users[from], sizeof(vz::TUserEntry)), 0)
          << c.fillTo << "/" << c.index << " entry " << i;
    }
    for (int i = c.fillTo - 1; i < vz::kMaxUsers; ++i) EXPECT_TRUE(EntryZero(i)) << i;
    EXPECT_EQ(cfg.Reserved[3], 0x5C);
  }
  SetUp();
  ASSERT_EQ(vz::UserDelete(cfg, 0), vz::TUserEdit::Done);
  EXPECT_EQ(Name(0), "operator");
  EXPECT_EQ(Name(1), "guest");
}

TEST_F(Users, DeleteOutsideTheListIsRefused) {
  const vz::TUserCfg before = cfg;
  for (int index : {-1, 3, 19, 20, 1 << 30}) {
    EXPECT_EQ(vz::UserDelete(cfg, index), vz::TUserEdit::BadIndex) << index;
    EXPECT_EQ(std::memcmp(&cfg, &before, sizeof cfg), 0) << index;
  }
}

TEST_F(Users, UpdateIgnoresItsOwnNameOnly) {
  EXPECT_EQ(vz::UserUpdate(cfg, 1, "operator", "newpw", 2), vz::TUserEdit::Done);
  EXPECT_EQ(vz::GetStrField(cfg.Users[1].Password), "newpw");
  EXPECT_EQ(cfg.Users[1].Group2, 2);
  EXPECT_EQ(vz::UserUpdate(cfg, 1, "guest", "x", 2), vz::TUserEdit::Exists);
  EXPECT_EQ(vz::UserUpdate(cfg, 1, "op", "x", 2), vz::TUserEdit::Done);
  EXPECT_EQ(vz::UserFind(cfg, "op"), 1);
  EXPECT_EQ(vz::UserFind(cfg, "operator"), -1);
  EXPECT_EQ(vz::UserUpdate(cfg, 3, "x", "x", 2), vz::TUserEdit::BadIndex);
}

// The count comes from the device and is clamped, never trusted.
TEST_F(Users, CorruptCountsAreClamped) {
  const struct {
    int32_t count;
    int seen;
    vz::TUserEdit add;
  } cases[] = {{-5, 0, vz::TUserEdit::Done}, {21, 20, vz::TUserEdit::Full},
               {INT32_MAX, 20, vz::TUserEdit::Full}, {INT32_MIN, 0, vz::TUserEdit::Done}};
  for (const auto& c : cases) {
    SetUp();
    cfg.Count = c.count;
    EXPECT_EQ(vz::UserCount(cfg), c.seen) << c.count;
    EXPECT_EQ(vz::UserAdd(cfg, "late", "x", 1), c.add) << c.count;
    if (c.add == vz::TUserEdit::Done) {
      EXPECT_EQ(cfg.Count, 1);
      EXPECT_EQ(Name(0), "late");
    }
    EXPECT_EQ(vz::UserDelete(cfg, 25), vz::TUserEdit::BadIndex);
  }
}

}  // namespace
