#include <gtest/gtest.h>
#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "SdkTime.h"
#include "vzSDK.h"

namespace {

std::string Bytes(const vzNetTime& t) {
  return std::string(reinterpret_cast<const char*>(&t), sizeof t);
}

vzNetTime FromBytes(const std::string& b) {
  vzNetTime t;
  std::memcpy(&t, b.data(), sizeof t);
  return t;
}

vz::DateTimeParts g_clock;
vz::DateTimeParts FakeClock() { return g_clock; }

TEST(TimeExports, GetNetTimeClampsThePcClock) {
  struct Case {
    const char* name;
    int y, mo, d, h, mi, s, ms;
    std::string bytes;
  };
  const Case cases[] = {
      {"1999", 1999, 12, 31, 23, 59, 59, 999, std::string("\x00\x01\x01\x00\x00\x00\x00\x00", 8)},
      {"2300", 2300, 1, 1, 0, 0, 0, 0, std::string("\xFF\x0C\x1F\x17\x3B\x3B\xE7\x03", 8)},
      {"first year", 2000, 1, 1, 0, 0, 0, 0, std::string("\x00\x01\x01\x00\x00\x00\x00\x00", 8)},
      {"last year", 2255, 6, 7, 8, 9, 10, 11, std::string("\xFF\x06\x07\x08\x09\x0A\x0B\x00", 8)},
      {"ordinary", 2026, 12, 10, 5, 4, 3, 258, std::string("\x1A\x0C\x0A\x05\x04\x03\x02\x01", 8)},
  };
  for (const auto& c : cases) {
    g_clock = vz::DateTimeParts{};
    g_clock.year = c.y, g_clock.month = c.mo, g_clock.day = c.d, g_clock.hour = c.h, g_clock.minute = c.mi;
    g_clock.second = c.s, g_clock.millisecond = c.ms;
    vz::SetSdkClockSources(nullptr, &FakeClock);
    vzNetTime t;
    std::memset(&t, 0x5A, sizeof t);
    vz_GetNetTime(&t);
    EXPECT_EQ(Bytes(t), c.bytes) << c.name;
  }
  vz::SetSdkClockSources(nullptr, nullptr);
  vz_GetNetTime(nullptr);
}

TEST(TimeExports, NetTimePacksAndUnpacksWithoutClamping) {
  struct Case {
    const char* name;
    double dateTime;
    std::string bytes;
    double back;  // what the bytes unpack to
  };
  const double d2012 = vz::EncodeDateTime(2012, 3, 4, 5, 6, 7, 89);
  const Case cases[] = {
      {"2012", d2012, std::string("\x0C\x03\x04\x05\x06\x07\x59\x00", 8), d2012},
      {"1999 wraps to 255", vz::EncodeDateTime(1999, 7, 1), std::string("\xFF\x07\x01\x00\x00\x00\x00\x00", 8),
       vz::EncodeDateTime(2255, 7, 1)},
      {"2256 wraps to 0", vz::EncodeDateTime(2256, 1, 2, 3), std::string("\x00\x01\x02\x03\x00\x00\x00\x00", 8),
       vz::EncodeDateTime(2000, 1, 2, 3)},
      {"last millisecond", vz::EncodeDateTime(2100, 12, 31, 23, 59, 59, 999),
       std::string("\x64\x0C\x1F\x17\x3B\x3B\xE7\x03", 8), vz::EncodeDateTime(2100, 12, 31, 23, 59, 59, 999)},
      {"not a date", std::nan(""), std::string(8, '\0'), 0.0},
      {"beyond 9999", 1e9, std::string(8, '\0'), 0.0},
  };
  for (const auto& c : cases) {
    vzNetTime t;
    std::memset(&t, 0x5A, sizeof t);
    vz_DateTimeToNetTime(&t, c.dateTime);
    EXPECT_EQ(Bytes(t), c.bytes) << c.name;
    EXPECT_EQ(vz_NetTimeToDateTime(t), c.back) << c.name;
  }
  vz_DateTimeToNetTime(nullptr, d2012);
}

TEST(TimeExports, InvalidNetTimeFieldsGiveZero) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"all zero", std::string(8, '\0')},
      {"month 0", std::string("\x0C\x00\x04\x05\x06\x07\x00\x00", 8)},
      {"month 13", std::string("\x0C\x0D\x04\x05\x06\x07\x00\x00", 8)},
      {"day 0", std::string("\x0C\x03\x00\x05\x06\x07\x00\x00", 8)},
      {"day 32", std::string("\x0C\x03\x20\x05\x06\x07\x00\x00", 8)},
      {"29 February 2001", std::string("\x01\x02\x1D\x00\x00\x00\x00\x00", 8)},
      {"hour 24", std::string("\x0C\x03\x04\x18\x00\x00\x00\x00", 8)},
      {"minute 60", std::string("\x0C\x03\x04\x05\x3C\x00\x00\x00", 8)},
      {"second 60", std::string("\x0C\x03\x04\x05\x06\x3C\x00\x00", 8)},
      {"millisecond 1000", std::string("\x0C\x03\x04\x05\x06\x07\xE8\x03", 8)},
      {"all ones", std::string(8, '\xFF')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz_NetTimeToDateTime(FromBytes(c.bytes)), 0.0) << c.name;
  }
  // The leap day itself is a date.
  EXPECT_EQ(vz_NetTimeToDateTime(FromBytes(std::string("\x04\x02\x1D\x00\x00\x00\x00\x00", 8))),
            vz::EncodeDateTime(2004, 2, 29));
}

TEST(TimeExports, SystemTimeAndSecondsConvert) {
  struct Case {
    int32_t seconds;
    vzSystemTime st;
  };
  const Case cases[] = {
      {0, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {-1, {1969, 12, 3, 31, 23, 59, 59, 0}},
      {978307200, {2001, 1, 1, 1, 0, 0, 0, 0}},
      {1330837567, {2012, 3, 0, 4, 5, 6, 7, 0}},
      {INT32_MAX, {2038, 1, 2, 19, 3, 14, 7, 0}},
      {INT32_MIN, {1901, 12, 5, 13, 20, 45, 52, 0}},
  };
  for (const auto& c : cases) {
    vzSystemTime st;
    std::memset(&st, 0x5A, sizeof st);
    vz_time_tToSystemTime(&st, c.seconds);
    EXPECT_EQ(std::memcmp(&st, &c.st, sizeof st), 0)
        << c.seconds << ": " << st.wYear << "-" << st.wMonth << "-" << st.wDay << " dow " << st.wDayOfWeek << " "
        << st.wHour << ":" << st.wMinute << ":" << st.wSecond << "." << st.wMilliseconds;
    EXPECT_EQ(vz_SystemTimeTotime_t(c.st), c.seconds);
  }
  vz_time_tToSystemTime(nullptr, 0);

  vzSystemTime withMs = {2012, 3, 6, 4, 5, 6, 7, 999};  // wrong day of week, ignored
  EXPECT_EQ(vz_SystemTimeTotime_t(withMs), 1330837567);
  const vzSystemTime invalid[] = {
      {2012, 0, 0, 4, 5, 6, 7, 0}, {2012, 2, 0, 30, 0, 0, 0, 0}, {2012, 3, 0, 4, 24, 0, 0, 0},
      {2012, 3, 0, 4, 0, 0, 0, 1000}, {0, 1, 0, 1, 0, 0, 0, 0}, {65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535},
  };
  for (const auto& st : invalid) {
    EXPECT_EQ(vz_SystemTimeTotime_t(st), 0) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
  }
}

TEST(TimeExports, SdkClockFollowsThePcLocalClockAtStart) {
  vz::SetSdkClockSources(nullptr, nullptr);
  const time_t utc = ::time(nullptr);
  tm local{};
  ::localtime_r(&utc, &local);
  const int64_t localSeconds = static_cast<int64_t>(utc) + local.tm_gmtoff;
  // Generous: the machine is shared and the two readings are not atomic.
  EXPECT_NEAR(static_cast<double>(vz_GetTime()), static_cast<double>(localSeconds), 120.0);
  EXPECT_NEAR(vz_GetDateTime(), vz::SecondsToDateTime(localSeconds), 120.0 / 86400.0);
}

}  // namespace
