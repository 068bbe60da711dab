#pragma once
// The value sets used inside the configuration records: resolution codes,
// codecs, alarm kinds, day sets, user levels and the wireless arming modes.
// Names returned here are also the language keys of their display texts.
#include <cstdint>

namespace vz {

// Resolution code. The name carries the size: skip the first letter, then
// width and height stand on both sides of the letter x.
enum TStandardEx : int32_t {
  StandardExMin = 0,
  P720x576, P720x288, P704x576, P704x288, P352x288, P176x144,
  N720x480, N720x240, N704x480, N704x240, N352x240, N176x120,
  V160x120, V320x240, V640x480, V800x600, V1024x768, V1280x720, V1280x800,
  V1280x960, V1280x1024, V1360x768, V1400x1050, V1600x1200, V1920x1080,
  StandardExMax
};
static_assert(V1280x720 == 18 && V1920x1080 == 25 && StandardExMax == 26);

// The code's name, or nullptr for a code outside 0 ... 26.
const char* StandardExName(int code);
// Width and height of a code, parsed from its name. False (and 0 x 0) for
// the two bounds and for codes out of range: their names carry no size.
bool StandardExToSize(int code, int& width, int& height);
// The first code 0 ... 25 of that size, StandardExMax when none matches.
int StandardExFromSize(int width, int height);

enum TVideoType : int32_t { MPEG4 = 0, MJPEG = 1, H264 = 2 };
// "MPEG4", "MJPEG", "H264"; nullptr out of range.
const char* VideoTypeName(int code);

enum TAlmType : int32_t {
  Alm_None = 0,
  Alm_MotionDetection,
  Alm_DigitalInput,
  Alm_SoundTouch,
  Net_Disconn,
  Net_ReConn,
  Alm_HddFill,
  Alm_VideoBlind,
  Alm_VideoLost,
  Alm_Other3,
  Alm_Other4,
  Alm_RF,
  Alm_OtherMax
};
static_assert(Alm_RF == 11 && Alm_OtherMax == 12);
// The kind's name (its language key); nullptr out of range.
const char* AlmTypeName(int code);

// Day sets of the schedules; 12 only for the timed reboot.
enum TDaySet : uint8_t {
  dsNever = 0,
  dsMonday, dsTuesday, dsWednesday, dsThursday, dsFriday, dsSaturday, dsSunday,
  dsMonFri = 8,
  dsMonSat = 9,
  dsWeekend = 10,
  dsEveryDay = 11,
  dsEveryNDays = 12
};
// "w_close", "w_1" ... "w_7", "w_1_5", "w_1_6", "w_6_7", "w_1_7",
// "w_Interval"; nullptr out of range.
const char* DaySetKey(int daySet);
// Whether a weekday (1 Monday ... 7 Sunday) belongs to a day set. The
// interval set depends on a start date, not on the weekday: false.
bool DaySetHasWeekday(int daySet, int weekday);

// Login user level and user group.
enum TUserLevel : int32_t { ulGuest = 1, ulSystem = 2, ulAdmin = 3 };
bool IsUserLevel(int level);
// Configuration writes, firmware upload, factory default, alarm clear.
inline bool LevelMayConfigure(int level) { return level == ulAdmin; }
// PTZ, colours and reboot are refused only to guests.
inline bool LevelMayControl(int level) { return level != ulGuest; }

// Arming mode of the wireless sensors (TRfCfg.ArmMode).
enum TArmMode : int32_t { amArmed = 82, amDisarmed = 83, amHome = 84 };
// "ARM", "DISARM", "HOME"; nullptr for other values.
const char* ArmModeKey(int mode);

}  // namespace vz
