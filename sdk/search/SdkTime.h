#pragma once
// The SDK's time representations and its clock.
//
// Date-time: a double of whole days since 1899-12-30 00:00:00 plus the time
// of day as the fraction (1970-01-01 is 25569.0). Before 1899-12-30 the
// whole part is the (negative) day and the fraction still counts forward
// from midnight: -1.25 is 1899-12-29 06:00. Seconds time: seconds since
// 1970-01-01 00:00:00 of the local calendar. No conversion here shifts time
// zones: every value is a local wall-clock reading.
//
// The SDK clock starts from the PC's local clock on first use and then runs
// on a 64-bit monotonic millisecond tick, so later changes of the PC clock do
// not move it and it never falls back, however long the process runs.
#include <cstdint>

namespace vz {

using TDateTime = double;

constexpr TDateTime kUnixEpochDateTime = 25569.0;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kMsPerDay = 86400000;

// A calendar reading; dayOfWeek counts from Sunday = 0 and is ignored when
// encoding.
struct DateTimeParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int dayOfWeek = 0;
};

bool IsLeapYear(int year);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Years 1..9999, months 1..12, days of that month.
bool IsValidDate(int year, int month, int day);
// 0..23, 0..59, 0..59, 0..999.
bool IsValidTime(int hour, int minute, int second, int millisecond);

bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);
bool TryEncodeDateTime(const DateTimeParts& parts, TDateTime& out);
// 0 when the fields do not form a valid date and time.
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int millisecond = 0);
// Splits a date-time, rounded to the millisecond; false (parts untouched) for
// NaN, infinities and dates outside the years 1..9999.
bool DecodeDateTime(TDateTime value, DateTimeParts& parts);

// (value - 25569) x 86400 truncated towards zero. The product is first
// rounded to the microsecond so that a date-time made from whole seconds
// does not lose one to binary rounding. 0 for NaN and infinities; clamped to
// the int64 range.
int64_t DateTimeToSeconds(TDateTime value);
TDateTime SecondsToDateTime(int64_t seconds);

// The SDK clock's current date-time.
TDateTime SdkNow();

// The clock sources. Tests replace them; nullptr restores the system's.
// Setting them restarts the SDK clock (it re-reads the local clock on its
// next use).
using TickSource = uint64_t (*)();             // milliseconds, monotonic
using LocalClockSource = DateTimeParts (*)();  // the PC's local wall clock
void SetSdkClockSources(TickSource ticks, LocalClockSource localClock);
// CLOCK_MONOTONIC in milliseconds.
uint64_t SystemTickMs();
// CLOCK_REALTIME as local time (localtime_r), to the millisecond.
DateTimeParts SystemLocalClock();
// A reading of the current local clock source.
DateTimeParts LocalClockNow();

}  // namespace vz
