#include "SimPicture.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

namespace vzsim {
namespace {

// 3 x 5 block font: one row per byte, bit 2 is the left column.
constexpr uint8_t kGlyphs[13][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
    {0, 2, 0, 2, 0},  // ':'
    {7, 4, 4, 4, 7},  // 'C'
    {5, 5, 7, 5, 5},  // 'H'
};
constexpr uint8_t kInk = 235, kPaper = 16;

// Block colours of the channels, far apart from each other, from the corner
// blocks and from the grey pattern: yellow, cyan, magenta, orange, violet,
// dark green, sky blue, dark red.
constexpr SimYuv kChannelColours[8] = {{210, 16, 146}, {170, 166, 16}, {106, 202, 222}, {146, 53, 193},
                                       {74, 221, 166}, {80, 91, 81},   {105, 203, 63},  {49, 109, 184}};

int GlyphOf(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  switch (c) {
    case ':': return 10;
    case 'C': return 11;
    case 'H': return 12;
    default: return -1;
  }
}

// Font cell of the counter and the clock.
int TextCell(int width, int height) { return std::max(1, std::min(width / 80, height / 40)); }
// The channel label is drawn twice as large, to be read across a wall of
// screens; even, so that the mark keeps to whole chroma samples.
int MarkCell(int width, int height) { return 2 * TextCell(width, height); }

struct Planes {
  int w, h;
  uint8_t* y;
  int ys;
  uint8_t* u;
  int us;
  uint8_t* v;
  int vs;
};

void FillRect(const Planes& p, int x0, int y0, int w, int h, SimYuv c) {
  const int x1 = std::min(p.w, x0 + w), y1 = std::min(p.h, y0 + h);
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  if (x0 >= x1 || y0 >= y1) return;
  for (int r = y0; r < y1; ++r) std::memset(p.y + static_cast<std::ptrdiff_t>(r) * p.ys + x0, c.y, static_cast<size_t>(x1 - x0));
  for (int r = y0 / 2; r < (y1 + 1) / 2; ++r) {
    std::memset(p.u + static_cast<std::ptrdiff_t>(r) * p.us + x0 / 2, c.u, static_cast<size_t>((x1 + 1) / 2 - x0 / 2));
    std::memset(p.v + static_cast<std::ptrdiff_t>(r) * p.vs + x0 / 2, c.v, static_cast<size_t>((x1 + 1) / 2 - x0 / 2));
  }
}

void LumaRect(const Planes& p, int x0, int y0, int w, int h, uint8_t luma) {
  const int x1 = std::min(p.w, x0 + w), y1 = std::min(p.h, y0 + h);
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  for (int r = y0; r < y1; ++r) {
    if (x0 < x1) std::memset(p.y + static_cast<std::ptrdiff_t>(r) * p.ys + x0, luma, static_cast<size_t>(x1 - x0));
  }
}

// Draws `text` (digits, ':', 'C', 'H'; anything else leaves a gap) with its
// top-left corner at (x, y); every font cell is `cell` pixels square.
// Returns the width used.
int DrawText(const Planes& p, int x, int y, int cell, const char* text) {
  const int start = x;
  for (const char* t = text; *t != '\0'; ++t) {
    const int glyph = GlyphOf(*t);
    if (glyph >= 0) {
      for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 3; ++col) {
          if (kGlyphs[glyph][row] & (4 >> col)) LumaRect(p, x + col * cell, y + row * cell, cell, cell, kInk);
        }
      }
    }
    x += 4 * cell;
  }
  return x - start;
}

// A fixed pseudo-random value per (x, y, salt).
uint32_t Hash(uint32_t x, uint32_t y, uint32_t salt) {
  uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

uint8_t Clip(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The busy scene over the stripes: texture at two scales that pans two
// pixels right and one down per frame (work for motion search), colour
// patches that pan with it, and sensor noise of a few levels that is new
// in every frame (work for every block of every frame).
void AddBusyScene(const Planes& p, int64_t frame) {
  const auto panX = static_cast<uint32_t>(frame * 2), panY = static_cast<uint32_t>(frame);
  for (int r = 0; r < p.h; ++r) {
    uint8_t* row = p.y + static_cast<std::ptrdiff_t>(r) * p.ys;
    const uint32_t sy = static_cast<uint32_t>(r) + 4096 - panY;
    for (int c = 0; c < p.w; ++c) {
      const uint32_t sx = static_cast<uint32_t>(c) + 4096 - panX;
      const int coarse = static_cast<int>(Hash(sx >> 3, sy >> 3, 1) & 63) - 32;
      const int fine = static_cast<int>(Hash(sx >> 1, sy >> 1, 2) & 31) - 16;
      const int noise = static_cast<int>(Hash(static_cast<uint32_t>(c), static_cast<uint32_t>(r),
                                              static_cast<uint32_t>(frame) + 3) & 7) - 4;
      row[c] = Clip(row[c] + coarse + fine + noise);
    }
  }
  for (int r = 0; r < p.h / 2; ++r) {
    uint8_t* ru = p.u + static_cast<std::ptrdiff_t>(r) * p.us;
    uint8_t* rv = p.v + static_cast<std::ptrdiff_t>(r) * p.vs;
    const uint32_t sy = static_cast<uint32_t>(r) + 2048 - panY / 2;
    for (int c = 0; c < p.w / 2; ++c) {
      const uint32_t sx = static_cast<uint32_t>(c) + 2048 - panX / 2;
      const uint32_t h = Hash(sx >> 3, sy >> 3, 4);
      ru[c] = Clip(ru[c] + static_cast<int>(h & 31) - 16);
      rv[c] = Clip(rv[c] + static_cast<int>((h >> 8) & 31) - 16);
    }
  }
}

}  // namespace

int SimPicture::CornerSize(int width, int height) {
  const int shorter = std::min(width, height);
  int size = shorter / 8;
  if (size >= 16) size -= size % 16;
  return std::max(8, size);
}

SimYuv SimPicture::ChannelColour(int channel) {
  const int n = static_cast<int>(std::size(kChannelColours));
  return kChannelColours[((channel % n) + n) % n];
}

// The mark, in cells of MarkCell: a margin of 1, the block of 5 x 5, a gap of
// 2, the label of up to five glyphs ("CH 99", 19 wide), a margin of 1; 7 high.
// Its width does not depend on the label, so the block stays in one place.
SimRect SimPicture::ChannelMark(int width, int height) {
  const int cell = MarkCell(width, height);
  const int w = 28 * cell, h = 7 * cell;
  return SimRect{((width - w) / 2) & ~1, height - h, w, h};
}

SimRect SimPicture::ChannelBlock(int width, int height) {
  const int cell = MarkCell(width, height);
  const SimRect mark = ChannelMark(width, height);
  return SimRect{mark.x + cell, mark.y + cell, 5 * cell, 5 * cell};
}

// Two lines of text in cells of TextCell: the longer, the clock, is 8 glyphs
// of 4 cells; a cell of margin around, 13 high.
SimRect SimPicture::ClockBand(int width, int height) {
  const int cell = TextCell(width, height);
  const int textWidth = 8 * 4 * cell;
  return SimRect{(width - textWidth) / 2 - cell, 0, textWidth + 2 * cell, 13 * cell};
}

void SimPicture::Draw(int width, int height, int64_t frame, int secondsOfDay, int channel, bool busy, uint8_t* y,
                      int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride) {
  const Planes p{width, height, y, yStride, u, uStride, v, vStride};
  // Moving diagonal stripes, 32 pixels wide, 4 pixels further on each frame.
  const int shift = static_cast<int>((frame * 4) % 64);
  for (int r = 0; r < height; ++r) {
    uint8_t* row = y + static_cast<std::ptrdiff_t>(r) * yStride;
    // Runs of 32 equal pixels; the first run is cut where the row starts inside it.
    int c = 0;
    while (c < width) {
      const int phase = c + r + shift;
      const int run = std::min(32 - phase % 32, width - c);
      std::memset(row + c, (phase / 32) % 2 == 0 ? 70 : 120, static_cast<size_t>(run));
      c += run;
    }
  }
  for (int r = 0; r < height / 2; ++r) {
    std::memset(u + static_cast<std::ptrdiff_t>(r) * uStride, 128, static_cast<size_t>(width / 2));
    std::memset(v + static_cast<std::ptrdiff_t>(r) * vStride, 128, static_cast<size_t>(width / 2));
  }
  if (busy) AddBusyScene(p, frame);
  // A light square circling the centre, once every 100 frames.
  const int side = std::max(8, std::min(width, height) / 6);
  const double angle = static_cast<double>(frame % 100) * (2.0 * M_PI / 100.0);
  const int radius = std::min(width, height) / 4;
  const int cx = width / 2 + static_cast<int>(radius * std::cos(angle)) - side / 2;
  const int cy = height / 2 + static_cast<int>(radius * std::sin(angle)) - side / 2;
  FillRect(p, cx, cy, side, side, SimYuv{200, 100, 150});

  if (channel >= 0) {
    // Before the corner blocks: on the smallest pictures those win.
    const int labelled = std::min(channel, kMaxMarkedChannel) + 1;
    const SimRect mark = ChannelMark(width, height);
    const SimRect block = ChannelBlock(width, height);
    const int markCell = MarkCell(width, height);
    FillRect(p, mark.x, mark.y, mark.width, mark.height, SimYuv{kPaper, 128, 128});
    FillRect(p, block.x, block.y, block.width, block.height, ChannelColour(channel));
    char label[16];
    std::snprintf(label, sizeof label, "CH %d", labelled);
    DrawText(p, block.x + block.width + 2 * markCell, block.y, markCell, label);
  }

  const int corner = CornerSize(width, height);
  FillRect(p, 0, 0, corner, corner, kTopLeft);
  FillRect(p, width - corner, 0, corner, corner, kTopRight);
  FillRect(p, 0, height - corner, corner, corner, kBottomLeft);
  FillRect(p, width - corner, height - corner, corner, corner, kBottomRight);

  // Counter and clock on a black band between the top blocks.
  char counter[16], clock[16];
  std::snprintf(counter, sizeof counter, "%06lld", static_cast<long long>(frame % 1000000));
  const int s = ((secondsOfDay % 86400) + 86400) % 86400;
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  const int cell = TextCell(width, height);
  const SimRect band = ClockBand(width, height);
  const int x = band.x + cell, top = cell;
  FillRect(p, band.x, band.y, band.width, band.height, SimYuv{kPaper, 128, 128});
  DrawText(p, x + 4 * cell, top, cell, counter);
  DrawText(p, x, top + 6 * cell, cell, clock);
}

}  // namespace vzsim

namespace vzsim {
namespace {

// Rows 0, 2, 4 ... of `rows` lines go to the top half, rows 1, 3, 5 ... to
// the bottom half.
void StackFields(const uint8_t* from, int fromStride, uint8_t* to, int toStride, int width, int rows) {
  const int half = rows / 2;
  for (int r = 0; r < half; ++r) {
    std::memcpy(to + static_cast<ptrdiff_t>(r) * toStride, from + static_cast<ptrdiff_t>(2 * r) * fromStride,
                static_cast<size_t>(width));
    std::memcpy(to + static_cast<ptrdiff_t>(half + r) * toStride,
                from + static_cast<ptrdiff_t>(2 * r + 1) * fromStride, static_cast<size_t>(width));
  }
}

}  // namespace

void SimPicture::DrawFields(int width, int height, int64_t frame, int secondsOfDay, int channel, bool busy,
                            uint8_t* y, int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride) {
  const int cw = width / 2, ch = height / 2;
  std::vector<uint8_t> py(static_cast<size_t>(width) * static_cast<size_t>(height));
  std::vector<uint8_t> pu(static_cast<size_t>(cw) * static_cast<size_t>(ch));
  std::vector<uint8_t> pv(pu.size());
  Draw(width, height, frame, secondsOfDay, channel, busy, py.data(), width, pu.data(), cw, pv.data(), cw);
  StackFields(py.data(), width, y, yStride, width, height);
  StackFields(pu.data(), cw, u, uStride, cw, ch);
  StackFields(pv.data(), cw, v, vStride, cw, ch);
}

}  // namespace vzsim
