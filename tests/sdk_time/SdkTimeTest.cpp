#include "SdkTime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using vz::DateTimeParts;
using vz::EncodeDateTime;

TEST(SdkTime, SecondsAndDateTimeConvert) {
  struct Case {
    const char* name;
    double dateTime;
    int64_t seconds;
  };
  const Case cases[] = {
      {"epoch", EncodeDateTime(1970, 1, 1), 0},
      {"2001", EncodeDateTime(2001, 1, 1), 978307200},
      {"truncates 0.999 s", EncodeDateTime(1970, 1, 1, 0, 0, 0, 999), 0},
      {"truncates towards zero", EncodeDateTime(1969, 12, 31, 23, 59, 59, 500), 0},
      {"one second before", EncodeDateTime(1969, 12, 31, 23, 59, 59), -1},
      {"whole seconds survive binary rounding", EncodeDateTime(2012, 3, 4, 5, 6, 7), 1330837567},
      {"late in a day", EncodeDateTime(2038, 1, 19, 3, 14, 7), INT32_MAX},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz::DateTimeToSeconds(c.dateTime), c.seconds) << c.name;
  }
  EXPECT_EQ(vz::SecondsToDateTime(0), 25569.0);
  for (int64_t s : {int64_t{0}, int64_t{-1}, int64_t{978307200}, int64_t{1330837567}, int64_t{INT32_MIN},
                    int64_t{4102444799}}) {
    EXPECT_EQ(vz::DateTimeToSeconds(vz::SecondsToDateTime(s)), s) << s;
  }
  EXPECT_EQ(vz::DateTimeToSeconds(std::nan("")), 0);
  EXPECT_EQ(vz::DateTimeToSeconds(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(vz::DateTimeToSeconds(1e300), INT64_MAX);
  EXPECT_EQ(vz::DateTimeToSeconds(-1e300), INT64_MIN);
}

TEST(SdkTime, CalendarEncodesAndDecodes) {
  struct Case {
    DateTimeParts parts;
    double value;  // NAN: only the round trip is checked
  };
  auto P = [](int y, int mo, int d, int h, int mi, int s, int ms, int dow) {
    DateTimeParts p;
    p.year = y, p.month = mo, p.day = d, p.hour = h, p.minute = mi, p.second = s, p.millisecond = ms;
    p.dayOfWeek = dow;
    return p;
  };
  const Case cases[] = {
      {P(1899, 12, 30, 0, 0, 0, 0, 6), 0.0},
      {P(1899, 12, 29, 6, 0, 0, 0, 5), -1.25},
      {P(1970, 1, 1, 12, 0, 0, 0, 4), 25569.5},
      {P(1900, 2, 28, 0, 0, 0, 0, 3), 60.0},  // 1900 had no 29 February
      {P(1900, 3, 1, 0, 0, 0, 0, 4), 61.0},
      {P(2000, 2, 29, 23, 59, 59, 999, 2), NAN},
      {P(2001, 1, 1, 0, 0, 0, 0, 1), 36892.0},
      {P(1, 1, 1, 0, 0, 0, 0, 1), -693593.0},
      {P(9999, 12, 31, 23, 59, 59, 999, 5), NAN},
  };
  for (const auto& c : cases) {
    double encoded = 0;
    ASSERT_TRUE(vz::TryEncodeDateTime(c.parts, encoded)) << c.parts.year << "-" << c.parts.month;
    if (!std::isnan(c.value)) {
      EXPECT_EQ(encoded, c.value) << c.parts.year;
    }
    DateTimeParts back;
    ASSERT_TRUE(vz::DecodeDateTime(encoded, back)) << encoded;
    EXPECT_EQ(back.year, c.parts.year) << encoded;
    EXPECT_EQ(back.month, c.parts.month) << encoded;
    EXPECT_EQ(back.day, c.parts.day) << encoded;
    EXPECT_EQ(back.hour, c.parts.hour) << encoded;
    EXPECT_EQ(back.minute, c.parts.minute) << encoded;
    EXPECT_EQ(back.second, c.parts.second) << encoded;
    EXPECT_EQ(back.millisecond, c.parts.millisecond) << encoded;
    EXPECT_EQ(back.dayOfWeek, c.parts.dayOfWeek) << encoded;
  }
  // Rounding to the millisecond carries into the next day.
  DateTimeParts p;
  ASSERT_TRUE(vz::DecodeDateTime(36892.0 - 1e-10, p));
  EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 20010101);
  EXPECT_EQ(p.hour + p.minute + p.second + p.millisecond, 0);
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -693594.0, 2958466.0, 1e300}) {
    EXPECT_FALSE(vz::DecodeDateTime(bad, p)) << bad;
  }
}

TEST(SdkTime, DateAndTimeValidity) {
  struct Case {
    int y, m, d;
    bool valid;
  };
  const Case dates[] = {
      {2004, 2, 29, true},  {2001, 2, 29, false}, {1900, 2, 29, false}, {2000, 2, 29, true},
      {2001, 2, 30, false}, {2001, 4, 31, false}, {2001, 12, 31, true}, {2001, 0, 1, false},
      {2001, 13, 1, false}, {2001, 1, 0, false},  {2001, 1, 32, false}, {0, 1, 1, false},
      {1, 1, 1, true},      {9999, 12, 31, true}, {10000, 1, 1, false},
  };
  for (const auto& c : dates) {
    EXPECT_EQ(vz::IsValidDate(c.y, c.m, c.d), c.valid) << c.y << "-" << c.m << "-" << c.d;
    double out = 0;
    EXPECT_EQ(vz::TryEncodeDate(c.y, c.m, c.d, out), c.valid);
  }
  struct TimeCase {
    int h, n, s, ms;
    bool valid;
  };
  const TimeCase times[] = {{0, 0, 0, 0, true},      {23, 59, 59, 999, true}, {24, 0, 0, 0, false},
                            {0, 60, 0, 0, false},    {0, 0, 60, 0, false},    {0, 0, 0, 1000, false},
                            {-1, 0, 0, 0, false}};
  for (const auto& c : times) {
    EXPECT_EQ(vz::IsValidTime(c.h, c.n, c.s, c.ms), c.valid) << c.h << ":" << c.n << ":" << c.s << "." << c.ms;
  }
  EXPECT_EQ(EncodeDateTime(2001, 2, 29), 0.0);
}

// A hand-driven tick counter and a fixed local clock.
std::atomic<uint64_t> g_tick{0};
std::atomic<int> g_hour{5};
uint64_t FakeTick() { return g_tick.load(); }
DateTimeParts FakeClock() {
  DateTimeParts p;
  p.year = 2026, p.month = 12, p.day = 10, p.hour = g_hour.load(), p.minute = 0, p.second = 0, p.millisecond = 0;
  return p;
}

class SdkClock : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hour = 5;
    vz::SetSdkClockSources(&FakeTick, &FakeClock);
  }
  void TearDown() override { vz::SetSdkClockSources(nullptr, nullptr); }
};

TEST_F(SdkClock, RunsOnTheTickAndNeverFallsBack) {
  const double start = EncodeDateTime(2026, 12, 10, 5);
  constexpr uint64_t k32 = uint64_t{1} << 32;
  struct Case {
    const char* name;
    uint64_t firstTick;
    uint64_t laterTick;
    int64_t elapsedMs;
  };
  const Case cases[] = {
      {"no time", 1000, 1000, 0},
      {"one and a half seconds", 1000, 2500, 1500},
      {"across the 32-bit tick wrap", k32 - 1000, k32 + 500, 1500},
      {"2^32 ms after the first reading", 5000, 5000 + k32 + 1500, static_cast<int64_t>(k32) + 1500},
      {"a year", 0, 365ull * 86400000ull, 365ll * 86400000ll},
  };
  for (const auto& c : cases) {
    vz::SetSdkClockSources(&FakeTick, &FakeClock);
    g_tick = c.firstTick;
    EXPECT_EQ(vz::SdkNow(), start) << c.name;
    g_tick = c.laterTick;
    const double now = vz::SdkNow();
    EXPECT_NEAR((now - start) * 86400000.0, static_cast<double>(c.elapsedMs), 1.0) << c.name;
    EXPECT_EQ(vz::DateTimeToSeconds(now) - vz::DateTimeToSeconds(start), c.elapsedMs / 1000) << c.name;
  }
}

TEST_F(SdkClock, IgnoresTheLocalClockAfterItsFirstReading) {
  g_tick = 100;
  EXPECT_EQ(vz::SdkNow(), EncodeDateTime(2026, 12, 10, 5));
  g_hour = 9;  // someone sets the PC clock forward
  g_tick = 100 + 60000;
  EXPECT_EQ(vz::DateTimeToSeconds(vz::SdkNow()), vz::DateTimeToSeconds(EncodeDateTime(2026, 12, 10, 5, 1)));
  // A restarted clock reads the local clock again.
  vz::SetSdkClockSources(&FakeTick, &FakeClock);
  EXPECT_EQ(vz::SdkNow(), EncodeDateTime(2026, 12, 10, 9));
}

}  // namespace
