#pragma once
// The picture a simulated camera films, drawn straight into YUV 4:2:0 planes.
//
// What a decoder test can rely on (values are limited-range BT.601 YUV; after
// lossy coding allow about +-16 on each component, and sample well inside a
// block, away from its edges):
//   - four solid corner blocks of CornerSize() x CornerSize() pixels:
//       top-left     red    Y 81  U 90  V 240
//       top-right    green  Y 145 U 54  V 34
//       bottom-left  blue   Y 41  U 240 V 110
//       bottom-right white  Y 235 U 128 V 128
//   - between the blocks a pattern of diagonal stripes that moves with every
//     frame, and a light square circling the centre;
//   - near the top centre, on a black band, the frame counter (six digits)
//     and below it the time of day "hh:mm:ss", drawn as block digits;
//   - on pictures of a channel of a multi-channel device (channel >= 0), the
//     channel mark at the bottom centre, on a black band: a solid block of
//     ChannelColour(channel) and the label "CH n" (n = channel + 1, as an
//     operator counts). Channel -1, a camera of one channel, has no mark.
//     Everything outside ChannelMark() is the same for every channel.
#include <cstdint>

namespace vzsim {

struct SimYuv {
  uint8_t y, u, v;
};

struct SimRect {
  int x, y, width, height;
};

class SimPicture {
 public:
  static constexpr SimYuv kTopLeft{81, 90, 240};
  static constexpr SimYuv kTopRight{145, 54, 34};
  static constexpr SimYuv kBottomLeft{41, 240, 110};
  static constexpr SimYuv kBottomRight{235, 128, 128};

  // Edge of a corner block: an eighth of the shorter side, in whole
  // macroblocks (16 pixels) where the picture allows, at least 8 pixels.
  static int CornerSize(int width, int height);

  // The highest channel a mark shows (its label has room for two digits).
  static constexpr int kMaxMarkedChannel = 98;
  // The colour of channel `channel`'s block; the eight colours repeat from
  // channel 8 on (the label tells those apart).
  static SimYuv ChannelColour(int channel);
  // Where the channel mark lies (its band, block and label) and where its
  // block lies, in picture coordinates; the same for every channel.
  static SimRect ChannelMark(int width, int height);
  static SimRect ChannelBlock(int width, int height);
  // The black band of the frame counter and the clock.
  static SimRect ClockBand(int width, int height);

  // Draws frame `frame` of channel `channel` (-1: no channel mark) with the
  // clock text for `secondsOfDay` into planes of the given strides. Width
  // and height are even and at least 16.
  // With `busy`, the background between the fixed parts (corner blocks,
  // clock band, channel mark and the circling square stay as they are)
  // carries the busy scene: texture that pans two pixels right and one
  // down per frame, colour patches and sensor noise new in every frame.
  static void Draw(int width, int height, int64_t frame, int secondsOfDay, int channel, bool busy, uint8_t* y,
                   int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride);

  // Cameras send pictures 176 and 352 pixels wide as two fields one above
  // the other: the even lines of the picture in the top half, the odd lines
  // in the bottom half (chroma lines alike). True for those widths.
  static bool IsTwoFieldWidth(int width) { return width == 176 || width == 352; }
  // Draws the picture of Draw and stores it as two stacked fields; the
  // height is even.
  static void DrawFields(int width, int height, int64_t frame, int secondsOfDay, int channel, bool busy,
                         uint8_t* y, int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride);
};

}  // namespace vzsim
