#include "vz_values.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace vz {

namespace {

const char* const kStandardExNames[] = {
    "StandardExMin", "P720x576",   "P720x288",   "P704x576",   "P704x288",  "P352x288",
    "P176x144",      "N720x480",   "N720x240",   "N704x480",   "N704x240",  "N352x240",
    "N176x120",      "V160x120",   "V320x240",   "V640x480",   "V800x600",  "V1024x768",
    "V1280x720",     "V1280x800",  "V1280x960",  "V1280x1024", "V1360x768", "V1400x1050",
    "V1600x1200",    "V1920x1080", "StandardExMax"};
static_assert(sizeof kStandardExNames / sizeof kStandardExNames[0] == StandardExMax + 1);

const char* const kVideoTypeNames[] = {"MPEG4", "MJPEG", "H264"};

const char* const kAlmTypeNames[] = {
    "Alm_None",       "Alm_MotionDetection", "Alm_DigitalInput", "Alm_SoundTouch", "Net_Disconn",
    "Net_ReConn",     "Alm_HddFill",         "Alm_VideoBlind",   "Alm_VideoLost",  "Alm_Other3",
    "Alm_Other4",     "Alm_RF",              "Alm_OtherMax"};
static_assert(sizeof kAlmTypeNames / sizeof kAlmTypeNames[0] == Alm_OtherMax + 1);

const char* const kDaySetKeys[] = {"w_close", "w_1",   "w_2",   "w_3",   "w_4",
                                   "w_5",     "w_6",   "w_7",   "w_1_5", "w_1_6",
                                   "w_6_7",   "w_1_7", "w_Interval"};
static_assert(sizeof kDaySetKeys / sizeof kDaySetKeys[0] == dsEveryNDays + 1);

template <std::size_t N>
const char* Pick(const char* const (&names)[N], int code) {
  return (code >= 0 && static_cast<std::size_t>(code) < N) ? names[code] : nullptr;
}

// A whole decimal number and nothing else.
bool ParseWhole(std::string_view text, int& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value > 0;
}

}  // namespace

const char* StandardExName(int code) { return Pick(kStandardExNames, code); }

bool StandardExToSize(int code, int& width, int& height) {
  width = 0;
  height = 0;
  const char* name = StandardExName(code);
  if (name == nullptr) return false;
  const std::string_view size = std::string_view(name).substr(1);
  const std::size_t x = size.find('x');
  if (x == std::string_view::npos) return false;
  int w = 0;
  int h = 0;
  if (!ParseWhole(size.substr(0, x), w) || !ParseWhole(size.substr(x + 1), h)) return false;
  width = w;
  height = h;
  return true;
}

int StandardExFromSize(int width, int height) {
  for (int code = StandardExMin; code < StandardExMax; ++code) {
    int w = 0;
    int h = 0;
    if (StandardExToSize(code, w, h) && w == width && h == height) return code;
  }
  return StandardExMax;
}

const char* VideoTypeName(int code) { return Pick(kVideoTypeNames, code); }

const char* AlmTypeName(int code) { return Pick(kAlmTypeNames, code); }

const char* DaySetKey(int daySet) { return Pick(kDaySetKeys, daySet); }

bool DaySetHasWeekday(int daySet, int weekday) {
  if (weekday < 1 || weekday > 7) return false;
  switch (daySet) {
    case dsMonFri: return weekday <= 5;
    case dsMonSat: return weekday <= 6;
    case dsWeekend: return weekday >= 6;
    case dsEveryDay: return true;
    default: return daySet >= dsMonday && daySet <= dsSunday && daySet == weekday;
  }
}

bool IsUserLevel(int level) { return level >= ulGuest && level <= ulAdmin; }

const char* ArmModeKey(int mode) {
  switch (mode) {
    case amArmed: return "ARM";
    case amDisarmed: return "DISARM";
    case amHome: return "HOME";
    default: return nullptr;
  }
}

}  // namespace vz
