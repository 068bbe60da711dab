#pragma once
// Rules for a few record fields whose stored form differs from what an
// editor shows, or whose use depends on the device's software version.
#include <string_view>

#include "vz_records.h"

namespace vz {

// Version texts compare as plain byte strings, character by character: a
// text that starts with "V2.116" and goes on is greater than "V2.116".
int CompareVersionText(std::string_view a, std::string_view b);
bool SoftVerAbove(const TDevInfo& info, std::string_view version);
bool SoftVerBelow(const TDevInfo& info, std::string_view version);
// Devices above "V2.116" take the fractional rectangles of the motion and
// privacy areas; older ones use the pixel rectangle alone.
bool UsesFractionalRect(const TDevInfo& info);

// Motion sensitivity is stored as 255 minus the slider value (0 ... 255);
// slider values outside that range are clamped first.
uint8_t MDSensitivityFromSlider(int slider);
int SliderFromMDSensitivity(uint8_t stored);

// An OSD position lies on the main-stream picture: not negative and not
// beyond its width (x) or height (y).
bool OsdPositionValid(int x, int y, int width, int height);

// A rectangle in main-stream pixels.
struct TPixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Writes an area's state as the editors do: the active flag; the pixel
// rectangle (zero when inactive); for devices above "V2.116" the fractional
// rectangle (pixel / picture size) with its valid flag; the resolution code
// of the picture size. A picture size that is not positive writes no
// fractions. Reserved bytes and the motion schedule are left as they are.
void WriteHideArea(THideAreaCfg& cfg, const TDevInfo& info, bool active, const TPixelRect& rect,
                   int width, int height);
void WriteMDArea(TMDCfg& cfg, const TDevInfo& info, bool active, const TPixelRect& rect,
                 int width, int height);

// Keeps a schedule period in order: an end before the start swaps the two,
// an end equal to the start becomes 23:59.
void OrderPeriod(uint8_t& startHour, uint8_t& startMinute, uint8_t& endHour, uint8_t& endMinute);

}  // namespace vz
