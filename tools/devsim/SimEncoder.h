#pragma once
// Encodes the test picture (SimPicture) into a loop of real video frames with
// libavcodec: H.264 (x264), MPEG-4 Part 2 or Motion JPEG. The loop is a whole
// number of key-frame intervals long and starts with a key frame, so it can be
// replayed end to end for ever; there are no B-frames, so every frame goes out
// in the order it was made.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vzsim {

struct SimVideoFormat {
  int codec = 2;  // 0 MPEG-4, 1 MJPEG, 2 H.264 (the device's codec numbers)
  int width = 0;
  int height = 0;
  int fps = 25;
  int keyInterval = 50;  // frames
  int bitRate = 512 * 1024;  // bits per second
  // The channel whose mark the picture carries (SimPicture), for channels of
  // a multi-channel device; -1 for a camera of one channel, which has none.
  // Part of what makes one loop differ from another, like the rest.
  int channel = -1;
  // The scene filmed: false the plain test picture, true the same picture
  // over a textured background that pans and carries sensor noise, so every
  // frame holds detail and motion as a real camera's does (SimPicture).
  bool busy = false;

  bool operator<(const SimVideoFormat& o) const;
  bool operator==(const SimVideoFormat& o) const;
  std::string Describe() const;
};

struct SimEncodedFrame {
  std::vector<uint8_t> bytes;
  bool key = false;
};

struct SimLoop {
  SimVideoFormat format;
  std::vector<SimEncodedFrame> frames;  // never empty in a loop handed out
  size_t bytes = 0;                     // all payloads together
};

class SimEncoder {
 public:
  static constexpr int kMaxLoopFrames = 1000;
  // Frames above this are left out: a unit may carry at most 524288 bytes.
  static constexpr size_t kMaxFrameBytes = 524288 - 16;

  // Brings the format into the range the encoders take: even sizes of 16 …
  // 4096 pixels, 1 … 60 frames per second, key interval 1 … 1000, bit rate
  // 16 kbit/s … 40 Mbit/s, channel -1 … SimPicture::kMaxMarkedChannel (any
  // negative one is -1). False for an unknown codec or a size below 16.
  static bool Normalize(SimVideoFormat* format);

  // How many frames the loop of `format` holds: one key-frame interval when
  // it lasts two seconds, else as many intervals (at least two) as last two
  // seconds; at most kMaxLoopFrames (then whole intervals where one fits).
  static int LoopFrames(const SimVideoFormat& format);

  // Encodes the loop; null with `error` set when the codec cannot be opened
  // or produces nothing. `secondsOfDay` is the clock drawn on frame 0.
  static std::shared_ptr<const SimLoop> Encode(SimVideoFormat format, int secondsOfDay, std::string* error);
};

}  // namespace vzsim
