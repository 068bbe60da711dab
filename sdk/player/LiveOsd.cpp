#include "LiveOsd.h"

#include <cstdio>
#include <ctime>

#include "TextCodec.h"
#include "class_DRender.h"
#include "vz_fields.h"

namespace vz {

namespace {

std::string FrameTimeText(int64_t second) {
  // The device's local clock, taken as is: no time-zone shift.
  const std::time_t t = static_cast<std::time_t>(second);
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return {};
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

void RefreshText(TRender& render, int index, const TOsdItem& item, std::string text) {
  if (item.Refresh != 0) return;
  TTextParam p;
  p.Visible = item.Show;
  p.X = item.X;
  p.Y = item.Y;
  p.Colour = OsdPaletteColour(item.Colour);
  p.Size = item.FontSize;
  p.Text = std::move(text);
  render.SetTextItem(index, p);
}

TTextParam Indicator(const char* glyph, uint32_t colour, int32_t x, bool visible) {
  TTextParam p;
  p.Visible = visible ? 1 : 0;
  p.X = static_cast<int16_t>(x);
  p.Y = 0;
  p.Colour = colour;
  p.Text = glyph;
  return p;
}

}  // namespace

void UpdateLiveOsd(TRender& render, const TVideoCfg& video, const TLiveOsdFrame& frame) {
  RefreshText(render, 0, video.OsdTimeItem, FrameTimeText(frame.Second));
  RefreshText(render, 1, video.OsdTitleItem, ToValidUtf8(GetStrField(video.OsdTitle)));
  RefreshText(render, 2, video.OsdRateItem, frame.StatusLine);
  if (!frame.ShowOSD) {
    // Off means off: an indicator left as it was could stay lit for good.
    render.SetIndicatorItem(0, TTextParam{});
    render.SetIndicatorItem(1, TTextParam{});
    return;
  }
  const bool lit = frame.TimeStamp % 1000000 >= 500000;
  const int32_t width = render.PictureWidth();
  render.SetIndicatorItem(0, Indicator("=", 0x0000FF, width - 80, frame.NormalRecording && lit));
  render.SetIndicatorItem(1, Indicator("U", 0x00FFFF, width - 120, frame.AlarmOn && lit));
}

}  // namespace vz
