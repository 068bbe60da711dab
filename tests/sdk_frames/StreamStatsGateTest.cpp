#include <gtest/gtest.h>

#include <vector>

#include "class_DecodeGate.h"
#include "class_StreamStats.h"

namespace {

TEST(StreamStats, TheFrameOpeningASecondCountsInTheSecondJustEnded) {
  vz::TStreamStats s;
  s.Count(5120, 100);  // first frame publishes at once
  EXPECT_EQ(s.Fps(), 1);
  for (int i = 0; i < 24; ++i) s.Count(5120, 100);
  EXPECT_EQ(s.Fps(), 1);  // second 100 not over yet
  s.Count(5120, 101);
  EXPECT_EQ(s.Fps(), 25);
  EXPECT_EQ(s.BitRate(), 25 * 5120 * 8);
  EXPECT_EQ(s.StatusLine(), "25 fps ,  1000 Kbps");
  s.Count(5120, 103);  // a gap of a second: one frame since
  EXPECT_EQ(s.Fps(), 1);
  EXPECT_EQ(s.StatusLine(), " 1 fps ,   40 Kbps");
}

TEST(StreamStats, ClockSetBackRestartsCounting) {
  vz::TStreamStats s;
  for (int i = 0; i < 10; ++i) s.Count(100, 5000 + static_cast<uint64_t>(i));
  EXPECT_EQ(s.Fps(), 1);
  s.Count(100, 1000);  // back by more than an hour
  for (int i = 0; i < 3; ++i) s.Count(100, 1000);
  s.Count(100, 1001);
  EXPECT_EQ(s.Fps(), 5);  // the frame that went back counts too
}

struct TGateCase {
  const char* name;
  uint8_t style;
  std::vector<bool> keys;  // key flags of successive frames
  std::vector<bool> admitted;
};

class DecodeGate : public ::testing::TestWithParam<TGateCase> {};

TEST_P(DecodeGate, AdmitsPerStyle) {
  const TGateCase& c = GetParam();
  vz::TDecodeGate g;
  g.SetDecodeStyle(c.style);
  std::vector<bool> got;
  for (bool k : c.keys) got.push_back(g.Admit(k));
  EXPECT_EQ(got, c.admitted) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeGate,
    ::testing::Values(
        TGateCase{"none", vz::Decode_None, {true, false, true}, {false, false, false}},
        TGateCase{"key frames only", vz::Decode_IFrame, {false, true, false, true}, {false, true, false, true}},
        TGateCase{"all from the first key", vz::Decode_All, {false, false, true, false, false}, {false, false, true, true, true}},
        TGateCase{"unknown style", 7, {true, false}, {false, false}}));

TEST(DecodeGate, ReopeningOrSwitchingToAllWaitsForTheNextKey) {
  vz::TDecodeGate g;
  g.SetDecodeStyle(vz::Decode_All);
  EXPECT_TRUE(g.Admit(true));
  EXPECT_TRUE(g.Admit(false));
  g.WaitForKey();  // decoder reopened
  EXPECT_FALSE(g.Admit(false));
  EXPECT_TRUE(g.Admit(true));
  g.SetDecodeStyle(vz::Decode_All);  // same style: no new wait
  EXPECT_TRUE(g.Admit(false));
  g.SetDecodeStyle(vz::Decode_IFrame);
  g.SetDecodeStyle(vz::Decode_All);
  EXPECT_FALSE(g.Admit(false));
}

}  // namespace
