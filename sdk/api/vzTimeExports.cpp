// The exported time functions over the SDK's time helpers.
#include <cstddef>

#include "SdkTime.h"
#include "vzSDK.h"

static_assert(sizeof(vzNetTime) == 8, "vzNetTime is 8 packed bytes");
static_assert(offsetof(vzNetTime, Year) == 0 && offsetof(vzNetTime, Month) == 1 && offsetof(vzNetTime, Day) == 2 &&
              offsetof(vzNetTime, Hour) == 3 && offsetof(vzNetTime, Minute) == 4 &&
              offsetof(vzNetTime, Second) == 5 && offsetof(vzNetTime, Milliseconds) == 6);
static_assert(sizeof(vzSystemTime) == 16, "vzSystemTime is 16 packed bytes");
static_assert(offsetof(vzSystemTime, wYear) == 0 && offsetof(vzSystemTime, wMonth) == 2 &&
              offsetof(vzSystemTime, wDayOfWeek) == 4 && offsetof(vzSystemTime, wDay) == 6 &&
              offsetof(vzSystemTime, wHour) == 8 && offsetof(vzSystemTime, wMinute) == 10 &&
              offsetof(vzSystemTime, wSecond) == 12 && offsetof(vzSystemTime, wMilliseconds) == 14);

namespace {

vzNetTime PackNetTime(int yearByte, const vz::DateTimeParts& p) {
  vzNetTime t{};
  t.Year = static_cast<uint8_t>(yearByte & 0xFF);
  t.Month = static_cast<uint8_t>(p.month);
  t.Day = static_cast<uint8_t>(p.day);
  t.Hour = static_cast<uint8_t>(p.hour);
  t.Minute = static_cast<uint8_t>(p.minute);
  t.Second = static_cast<uint8_t>(p.second);
  t.Milliseconds = static_cast<uint16_t>(p.millisecond);
  return t;
}

}  // namespace

extern "C" {

VZSDK_API void vz_time_tToSystemTime(vzSystemTime* SystemTime, int32_t Seconds) {
  if (SystemTime == nullptr) return;
  vz::DateTimeParts p;
  *SystemTime = vzSystemTime{};
  if (!vz::DecodeDateTime(vz::SecondsToDateTime(Seconds), p)) return;
  SystemTime->wYear = static_cast<uint16_t>(p.year);
  SystemTime->wMonth = static_cast<uint16_t>(p.month);
  SystemTime->wDayOfWeek = static_cast<uint16_t>(p.dayOfWeek);
  SystemTime->wDay = static_cast<uint16_t>(p.day);
  SystemTime->wHour = static_cast<uint16_t>(p.hour);
  SystemTime->wMinute = static_cast<uint16_t>(p.minute);
  SystemTime->wSecond = static_cast<uint16_t>(p.second);
  SystemTime->wMilliseconds = static_cast<uint16_t>(p.millisecond);
}

VZSDK_API int64_t vz_SystemTimeTotime_t(vzSystemTime SystemTime) {
  vz::DateTimeParts p;
  p.year = SystemTime.wYear;
  p.month = SystemTime.wMonth;
  p.day = SystemTime.wDay;
  p.hour = SystemTime.wHour;
  p.minute = SystemTime.wMinute;
  p.second = SystemTime.wSecond;
  p.millisecond = SystemTime.wMilliseconds;
  vz::TDateTime value = 0;
  return vz::TryEncodeDateTime(p, value) ? vz::DateTimeToSeconds(value) : 0;
}

VZSDK_API int64_t vz_GetTime(void) {
  try {
    return vz::DateTimeToSeconds(vz::SdkNow());
  } catch (...) {
    return 0;
  }
}

VZSDK_API void vz_GetNetTime(vzNetTime* NetTime) {
  if (NetTime == nullptr) return;
  try {
    const vz::DateTimeParts now = vz::LocalClockNow();
    if (now.year < 2000) {
      vz::DateTimeParts first;
      first.month = 1;
      first.day = 1;
      *NetTime = PackNetTime(0, first);
    } else if (now.year > 2255) {
      vz::DateTimeParts last;
      last.month = 12;
      last.day = 31;
      last.hour = 23;
      last.minute = 59;
      last.second = 59;
      last.millisecond = 999;
      *NetTime = PackNetTime(255, last);
    } else {
      *NetTime = PackNetTime(now.year - 2000, now);
    }
  } catch (...) {
    *NetTime = vzNetTime{};
  }
}

VZSDK_API void vz_DateTimeToNetTime(vzNetTime* NetTime, double DateTime) {
  if (NetTime == nullptr) return;
  vz::DateTimeParts p;
  *NetTime = vz::DecodeDateTime(DateTime, p) ? PackNetTime(p.year - 2000, p) : vzNetTime{};
}

VZSDK_API double vz_GetDateTime(void) {
  try {
    return vz::SdkNow();
  } catch (...) {
    return 0;
  }
}

VZSDK_API double vz_NetTimeToDateTime(vzNetTime NetTime) {
  vz::TDateTime date = 0;
  vz::TDateTime time = 0;
  if (!vz::TryEncodeDate(2000 + NetTime.Year, NetTime.Month, NetTime.Day, date) ||
      !vz::TryEncodeTime(NetTime.Hour, NetTime.Minute, NetTime.Second, NetTime.Milliseconds, time)) {
    return 0;
  }
  return date + time;
}

}  // extern "C"
