#include "vz_fieldrules.h"

#include <algorithm>
#include <utility>

#include "vz_fields.h"
#include "vz_values.h"

namespace vz {

namespace {

constexpr std::string_view kFractionalFrom = "V2.116";

struct TFractions {
  float Left = 0, Top = 0, Right = 0, Bottom = 0;
};

bool Fractions(const TPixelRect& r, int width, int height, TFractions& out) {
  if (width <= 0 || height <= 0) return false;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  out = {static_cast<float>(r.Left) / w, static_cast<float>(r.Top) / h,
         static_cast<float>(r.Right) / w, static_cast<float>(r.Bottom) / h};
  return true;
}

template <typename Area>
void WriteArea(Area& cfg, const TDevInfo& info, bool active, const TPixelRect& rect, int width,
               int height) {
  const TPixelRect r = active ? rect : TPixelRect{};
  cfg.Active = active ? 1 : 0;
  cfg.Left = r.Left;
  cfg.Top = r.Top;
  cfg.Right = r.Right;
  cfg.Bottom = r.Bottom;
  TFractions f;
  if (UsesFractionalRect(info) && Fractions(r, width, height, f)) {
    cfg.FracValid = 1;
    cfg.FracLeft = f.Left;
    cfg.FracTop = f.Top;
    cfg.FracRight = f.Right;
    cfg.FracBottom = f.Bottom;
  }
  cfg.Resolution = StandardExFromSize(width, height);
}

}  // namespace

int CompareVersionText(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool SoftVerAbove(const TDevInfo& info, std::string_view version) {
  return CompareVersionText(GetStrField(info.SoftVer), version) > 0;
}

bool SoftVerBelow(const TDevInfo& info, std::string_view version) {
  return CompareVersionText(GetStrField(info.SoftVer), version) < 0;
}

bool UsesFractionalRect(const TDevInfo& info) { return SoftVerAbove(info, kFractionalFrom); }

uint8_t MDSensitivityFromSlider(int slider) {
  return static_cast<uint8_t>(255 - std::clamp(slider, 0, 255));
}

int SliderFromMDSensitivity(uint8_t stored) { return 255 - stored; }

bool OsdPositionValid(int x, int y, int width, int height) {
  return x >= 0 && y >= 0 && x <= width && y <= height;
}

void WriteHideArea(THideAreaCfg& cfg, const TDevInfo& info, bool active, const TPixelRect& rect,
                   int width, int height) {
  WriteArea(cfg, info, active, rect, width, height);
}

void WriteMDArea(TMDCfg& cfg, const TDevInfo& info, bool active, const TPixelRect& rect, int width,
                 int height) {
  WriteArea(cfg, info, active, rect, width, height);
}

void OrderPeriod(uint8_t& startHour, uint8_t& startMinute, uint8_t& endHour, uint8_t& endMinute) {
  const int start = startHour * 60 + startMinute;
  const int end = endHour * 60 + endMinute;
  if (end < start) {
    std::swap(startHour, endHour);
    std::swap(startMinute, endMinute);
  } else if (end == start) {
    endHour = 23;
    endMinute = 59;
  }
}

}  // namespace vz
