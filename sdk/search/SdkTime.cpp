#include "SdkTime.h"

#include <time.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace vz {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the
// era-based algorithms; exact far beyond the years 1..9999).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

constexpr int64_t kUnixEpochDays = 25569;

// The SDK clock: set once on first use, read by every SDK thread.
struct SdkClock {
  std::mutex mutex;
  TDateTime start = 0;     // guarded by mutex; 0 until first use
  uint64_t startTick = 0;  // guarded by mutex
};

SdkClock& Clock() {
  static SdkClock clock;
  return clock;
}

std::atomic<TickSource> g_tickSource{nullptr};
std::atomic<LocalClockSource> g_localClockSource{nullptr};

uint64_t TickNow() {
  const TickSource source = g_tickSource.load();
  return source != nullptr ? source() : SystemTickMs();
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int millisecond) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && millisecond >= 0 &&
         millisecond < 1000;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (!IsValidDate(year, month, day)) return false;
  out = static_cast<TDateTime>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               kUnixEpochDays);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
  if (!IsValidTime(hour, minute, second, millisecond)) return false;
  const int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
  out = static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsPerDay);
  return true;
}

bool TryEncodeDateTime(const DateTimeParts& p, TDateTime& out) {
  TDateTime date = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(p.year, p.month, p.day, date) || !TryEncodeTime(p.hour, p.minute, p.second, p.millisecond, time)) {
    return false;
  }
  out = date < 0 ? date - time : date + time;
  return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  DateTimeParts p;
  p.year = year;
  p.month = month;
  p.day = day;
  p.hour = hour;
  p.minute = minute;
  p.second = second;
  p.millisecond = millisecond;
  TDateTime out = 0;
  return TryEncodeDateTime(p, out) ? out : 0;
}

bool DecodeDateTime(TDateTime value, DateTimeParts& parts) {
  // 0001-01-01 is day -693593, 9999-12-31 day 2958465.
  if (!std::isfinite(value) || value <= -693594.0 || value >= 2958466.0) return false;
  auto days = static_cast<int64_t>(std::trunc(value));
  auto ms = static_cast<int64_t>(std::llround(std::fabs(value - static_cast<TDateTime>(days)) * kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++days;
  }
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days - kUnixEpochDays, year, month, day);
  if (year < 1 || year > 9999) return false;
  parts.year = static_cast<int>(year);
  parts.month = static_cast<int>(month);
  parts.day = static_cast<int>(day);
  parts.hour = static_cast<int>(ms / 3600000);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  // 1899-12-30 was a Saturday.
  parts.dayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7);
  return true;
}

int64_t DateTimeToSeconds(TDateTime value) {
  if (!std::isfinite(value)) return 0;
  const TDateTime us = std::round((value - kUnixEpochDateTime) * static_cast<TDateTime>(kMsPerDay) * 1000.0);
  constexpr TDateTime kLimit = 9.2e18;  // inside int64 with room for the rounding
  if (us >= kLimit) return std::numeric_limits<int64_t>::max();
  if (us <= -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(us) / 1000000;
}

TDateTime SecondsToDateTime(int64_t seconds) {
  return static_cast<TDateTime>(seconds) / static_cast<TDateTime>(kSecondsPerDay) + kUnixEpochDateTime;
}

TDateTime SdkNow() {
  SdkClock& clock = Clock();
  std::lock_guard<std::mutex> guard(clock.mutex);
  if (clock.start == 0) {
    TDateTime start = 0;
    if (!TryEncodeDateTime(LocalClockNow(), start)) start = SecondsToDateTime(::time(nullptr));
    clock.start = start;
    clock.startTick = TickNow();
  }
  const uint64_t tick = TickNow();
  const uint64_t elapsed = tick >= clock.startTick ? tick - clock.startTick : 0;
  const auto seconds = static_cast<TDateTime>(elapsed / 1000);
  const auto ms = static_cast<TDateTime>(elapsed % 1000);
  return (clock.start * kSecondsPerDay + seconds) / kSecondsPerDay + ms / kSecondsPerDay / 1000;
}

void SetSdkClockSources(TickSource ticks, LocalClockSource localClock) {
  SdkClock& clock = Clock();
  std::lock_guard<std::mutex> guard(clock.mutex);
  g_tickSource.store(ticks);
  g_localClockSource.store(localClock);
  clock.start = 0;
  clock.startTick = 0;
}

uint64_t SystemTickMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

DateTimeParts SystemLocalClock() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  ::localtime_r(&ts.tv_sec, &local);
  DateTimeParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second reads as :59
  p.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  p.dayOfWeek = local.tm_wday;
  return p;
}

DateTimeParts LocalClockNow() {
  const LocalClockSource source = g_localClockSource.load();
  return source != nullptr ? source() : SystemLocalClock();
}

}  // namespace vz
