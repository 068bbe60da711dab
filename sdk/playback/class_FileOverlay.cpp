#include "class_FileOverlay.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "class_OsdPainter.h"

namespace vz {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kSpeedTextSize = 16;
constexpr int16_t kSpeedTextX = 24;
constexpr int32_t kSpeedTextRise = 80;  // above the picture's bottom edge

}  // namespace

std::string FormatFrameSecond(uint64_t second) {
  // The recording's clock is local time already: no zone shift.
  const std::time_t t = static_cast<std::time_t>(second);
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return {};
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

TFileOverlay::TFileOverlay(const TRecFileHeader& header) { RecVideoPartToCfg(header, video_); }

void TFileOverlay::FromOsd(const TOsdItem& osd, TFileText& text) {
  // A set refresh flag freezes the item as it was (invisible at first).
  if (osd.Refresh != 0) return;
  text.Visible = osd.Show != 0;
  text.X = osd.X;
  text.Y = osd.Y;
  text.Colour = OsdPaletteColour(osd.Colour);
  text.Size = osd.FontSize;
}

void TFileOverlay::Refresh(uint64_t second, const std::string& statusLine, int32_t speed,
                           int32_t pictureHeight) {
  FromOsd(video_.OsdTimeItem, texts_[0]);
  if (video_.OsdTimeItem.Refresh == 0) texts_[0].Text = FormatFrameSecond(second);
  FromOsd(video_.OsdTitleItem, texts_[1]);
  if (video_.OsdTitleItem.Refresh == 0) {
    texts_[1].Text.assign(video_.OsdTitle, strnlen(video_.OsdTitle, sizeof video_.OsdTitle));
  }
  FromOsd(video_.OsdRateItem, texts_[2]);
  if (video_.OsdRateItem.Refresh == 0) texts_[2].Text = statusLine;

  TFileText& fast = texts_[3];
  fast.Visible = speed > 1;
  fast.Colour = kWhite;
  fast.Size = kSpeedTextSize;
  fast.X = kSpeedTextX;
  fast.Y = static_cast<int16_t>(pictureHeight - kSpeedTextRise);
  char text[24];
  std::snprintf(text, sizeof text, "X %d", static_cast<int>(speed));
  fast.Text = text;
}

}  // namespace vz
