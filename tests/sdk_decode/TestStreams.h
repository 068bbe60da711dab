#pragma once
// Test streams made on the spot with the library's encoders: a picture of
// four coloured quadrants and a centre block whose brightness counts the
// frames, so a decoded picture tells which frame it is.
#include <cstdint>
#include <string>
#include <vector>

#include "FrameSeams.h"

namespace vztest {

enum class TTestCodec { H264, MPEG4, MJPEG420, MJPEG422 };

struct TEncodedFrame {
  std::vector<uint8_t> Bytes;
  bool Key = false;
};

// frames pictures of width x height, a key frame every gop pictures (Motion
// JPEG: every picture). variant 1 paints the quadrants in other colours.
// first_index numbers the first picture (the counter block); at most 28
// pictures can be told apart. textured adds moving fine detail (for
// benchmarks; CheckPicture does not expect it). Empty when the encoder is
// missing.
std::vector<TEncodedFrame> EncodeStream(TTestCodec codec, int width, int height, int frames, int gop,
                                        int variant = 0, int first_index = 0, bool textured = false);

// Checks the quadrant colours of a decoded picture (within a tolerance) and
// reads its counter. Empty string when it matches, else what differs.
std::string CheckPicture(const vz::TDecodedPicture& picture, int variant, int& index);

// A whole frame (24-byte head and payload) as it arrives from a device.
std::vector<uint8_t> MakeFrame(const TEncodedFrame& encoded, uint64_t time_us, uint8_t channel = 0,
                               int32_t stream_type = 0);

// The same JPEG picture with its start-of-frame segment moved right behind
// the start-of-image marker and application segments left out, so the
// bytes begin FF D8 FF C0.
std::vector<uint8_t> JpegWithFrameHeaderFirst(const std::vector<uint8_t>& jpeg);

}  // namespace vztest
