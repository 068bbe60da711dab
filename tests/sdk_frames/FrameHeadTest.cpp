#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AVFrameHead.h"
#include "FrameBytes.h"

namespace {

using frametest::MakeFrame;
using frametest::TFrameSpec;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST(FrameHead, FieldsAreReadFromTheirWireOffsets) {
  std::vector<uint8_t> b(30, 0);
  Put32(b, 0, vz::kMarkerVideo);
  Put32(b, 4, 22);  // 6 payload bytes
  const uint64_t ts = 0x0102030405060708ull;
  std::memcpy(b.data() + 8, &ts, 8);
  b[16] = 3;
  b[17] = 1;
  Put32(b, 20, 0xFFFFFFFFu);
  b[24] = 0xAB;
  vz::TFrameView v;
  ASSERT_TRUE(vz::ParseFrameHead(b.data(), b.size(), v));
  EXPECT_EQ(v.Kind, vz::TFrameKind::Video);
  EXPECT_EQ(v.Head.TimeStamp, ts);
  EXPECT_EQ(v.Head.Chl, 3);
  EXPECT_EQ(v.Head.IsIFrame, 1);
  EXPECT_EQ(v.Head.StreamType, -1);
  EXPECT_EQ(v.FrameBytes, 30u);
  EXPECT_EQ(v.PayloadBytes, 6u);
  EXPECT_EQ(v.Payload, b.data() + 24);
  EXPECT_EQ(v.Payload[0], 0xAB);
}

struct TParseCase {
  const char* name;
  uint32_t magic;
  uint32_t len;  // announced
  size_t have;  // bytes handed in
  bool ok;
};

class FrameHeadParse : public ::testing::TestWithParam<TParseCase> {};

TEST_P(FrameHeadParse, AcceptsOnlyWholeFramesWithAPayload) {
  const TParseCase& c = GetParam();
  std::vector<uint8_t> b(c.have + 1, 0x11);  // one byte of slack the parser must not count on
  if (c.have >= 8) {
    Put32(b, 0, c.magic);
    Put32(b, 4, c.len);
  }
  vz::TFrameView v;
  EXPECT_EQ(vz::ParseFrameHead(b.data(), c.have, v), c.ok) << c.name;
  if (c.ok) {
    EXPECT_EQ(v.FrameBytes, c.len + 8);
    EXPECT_EQ(v.PayloadBytes, c.len - 16);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameHeadParse,
    ::testing::Values(TParseCase{"total 24 has no payload", vz::kMarkerVideo, 16, 24, false},
                      TParseCase{"total 25 is the smallest frame", vz::kMarkerVideo, 17, 25, true},
                      TParseCase{"audio frame", vz::kMarkerAudio, 1040, 1048, true},
                      TParseCase{"longer buffer, frame ends earlier", vz::kMarkerAudio, 20, 200, true},
                      TParseCase{"length below the head", vz::kMarkerVideo, 8, 200, false},
                      TParseCase{"length past the bytes", vz::kMarkerVideo, 100, 107, false},
                      TParseCase{"command marker", vz::kMarkerPacket, 100, 108, false},
                      TParseCase{"status marker", vz::kMarkerStatus, 100, 108, false},
                      TParseCase{"largest accepted unit", vz::kMarkerVideo, 524288, 524296, true},
                      TParseCase{"one byte too long", vz::kMarkerVideo, 524289, 524297, false},
                      TParseCase{"huge length wraps nothing", vz::kMarkerVideo, 0xFFFFFFF8u, 64, false},
                      TParseCase{"head cut short", vz::kMarkerVideo, 17, 12, false}));

TEST(FrameHead, NullAndEmptyAreRejected) {
  vz::TFrameView v;
  EXPECT_FALSE(vz::ParseFrameHead(nullptr, 0, v));
  EXPECT_FALSE(vz::ParseFrameHead(nullptr, 100, v));
  const uint8_t one = 0;
  EXPECT_FALSE(vz::ParseFrameHead(&one, 0, v));
}

TEST(FrameHead, TunnelFramesAreKeyFramesOnlyWhenTheFlagByteIsOne) {
  const uint8_t flags[] = {0, 1, 2, 0xFF};
  for (uint8_t flag : flags) {
    const vz::TAVFrameHead h = vz::MakeTunnelFrameHead(1000, flag, 1700000000123000ull);
    EXPECT_EQ(h.Magic, vz::kMarkerVideo);
    EXPECT_EQ(h.Len, 1016u);
    EXPECT_EQ(h.Chl, 0);
    EXPECT_EQ(h.StreamType, 1);
    EXPECT_EQ(h.TimeStamp, 1700000000123000ull);
    EXPECT_EQ(h.IsIFrame, flag == 1 ? 1 : 0) << int(flag);
  }
}

TEST(FrameHead, StreamTypeIsOverwrittenInPlace) {
  std::vector<uint8_t> f = MakeFrame(TFrameSpec{});
  vz::SetFrameStreamType(f.data(), 0x12345678);
  EXPECT_EQ(frametest::HeadOf(f).StreamType, 0x12345678);
  EXPECT_EQ(f[24], 0x5A);  // payload untouched
}

}  // namespace
