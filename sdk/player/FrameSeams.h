#pragma once
// Where the units behind the frame handler plug in. Each is called on the
// player's receiving thread, one frame at a time; the frame's bytes are
// valid only during the call.
#include <cstdint>

#include "AVFrameHead.h"

namespace vz {

// The alarm and the normal recorder. The recorder itself decides whether a
// file is open and whether a start or stop is in progress.
class IFrameRecorder {
 public:
  virtual ~IFrameRecorder() = default;
  virtual void WriteFrame(const TFrameView& frame) = 0;
};

// The video decoder with the renderer behind it.
class IFrameVideo {
 public:
  virtual ~IFrameVideo() = default;
  // Close, take the codec the device configures for this stream, open
  // again. Called with the process-wide decoder lock held.
  virtual void ReopenForStream(int32_t display_stream_type) = 0;
  // A frame for display that passed the decode-style gate: codec checks,
  // decoding, statistics, status line and drawing.
  virtual void DecodeFrame(const TFrameView& frame) = 0;
};

// The audio output.
class IFrameAudio {
 public:
  virtual ~IFrameAudio() = default;
  virtual void PlayAudio(const uint8_t* pcm, uint32_t bytes) = 0;
};

// One decoded picture, planar YUV 4:2:0 (the decoder converts other
// layouts before handing it on). The planes belong to the decoder and stay
// valid only during the call that hands the picture over.
struct TDecodedPicture {
  const uint8_t* Plane[3] = {nullptr, nullptr, nullptr};  // Y, U, V
  int32_t LineSize[3] = {0, 0, 0};  // bytes from one line to the next, per plane
  int32_t Width = 0;
  int32_t Height = 0;
  bool FullRange = false;  // 0...255 samples (JPEG pictures) instead of 16...235
  bool Interlaced = false;  // the bitstream marks the picture as two interleaved fields
  bool TopFieldFirst = false;
};

// Where decoded pictures go: the renderer (live player, file player). Called
// on the decoding thread once per new picture, with the frame it came from
// (channel, time stamp for the overlays).
class IPictureSink {
 public:
  virtual ~IPictureSink() = default;
  virtual void ShowPicture(const TDecodedPicture& picture, const TFrameView& frame) = 0;
};

}  // namespace vz
