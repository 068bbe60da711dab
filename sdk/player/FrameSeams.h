#pragma once
// Where the units behind the frame handler plug in. Each is called on the
// player's receiving thread, one frame at a time; the frame's bytes are
// valid only during the call.
#include <cstdint>
#include <memory>
#include <string>

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
// valid during the call that hands the picture over; a receiver that needs
// them longer keeps a copy of Keep, when the giver set one.
struct TDecodedPicture {
  const uint8_t* Plane[3] = {nullptr, nullptr, nullptr};  // Y, U, V
  int32_t LineSize[3] = {0, 0, 0};  // bytes from one line to the next, per plane
  int32_t Width = 0;
  int32_t Height = 0;
  bool FullRange = false;  // 0...255 samples (JPEG pictures) instead of 16...235
  bool Interlaced = false;  // the bitstream marks the picture as two interleaved fields
  bool TopFieldFirst = false;
  std::shared_ptr<const void> Keep;  // holds the planes while any copy has it
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

// ---- the player's view of the units it owns ------------------------------
// Everything below is driven by the live player (class_AxPlay). Each unit
// that implements one of these registers a factory in PlayParts.h; without
// one the player runs without that unit (frames still reach the hooks).

namespace vz {

class TDecodeGate;

// Decoder and renderer of one live player, as one object: the frame handler
// hands it frames for display (IFrameVideo), the player drives its set-up.
// Codec kinds are TVideoType values (0 MPEG-4, 1 MJPEG, 2 H.264), -1 = none.
//
// Threads: DecodeFrame and ReopenForStream run on the player's receiving
// thread; everything else on the thread that connects, configures or
// destroys the player. ReopenForStream is called with the process-wide
// decoder lock (DecoderLock.h) held; OpenVideo, CloseVideo, OpenAudio and
// RecreateRender are called without it and take it themselves.
class IPlayVideo : public IFrameVideo {
 public:
  // ---- decoder ----
  virtual int32_t CodecKind() const = 0;
  // Close, then open for codec_kind (under the decoder lock); false
  // (decoder closed) when no decoder exists for it. A fresh open drops video until the next key frame.
  virtual bool OpenVideo(int32_t codec_kind) = 0;
  virtual void CloseVideo() = 0;
  // Audio passes through undecoded; the kind is only remembered.
  virtual int32_t AudioCodecKind() const = 0;
  virtual bool OpenAudio(int32_t codec_kind) = 0;
  virtual void SetDecodeStyle(uint8_t style) = 0;  // TxDecodeStyle
  // The frame handler's gate, the one that decides which frames reach the
  // decoder: the style and every open of the decoder, wherever it happens
  // (connect, tunnel, codec switch), act on it. Set when the handler is
  // made, and back to nullptr (the decoder's own) before it goes away.
  virtual void UseGate(TDecodeGate* gate) { (void)gate; }
  // Size of the last decoded picture, 0 before the first.
  virtual int32_t PictureWidth() const = 0;
  virtual int32_t PictureHeight() const = 0;
  // Set before each tunnel frame (not used by decoding).
  virtual void SetTunnelChannel(int32_t channel) { (void)channel; }

  // ---- pictures finished one step late ----
  // Set by the reading thread before it hands on a frame: whether the next
  // unit already waits. Only then may a picture's colour conversion overlap
  // the next frame's decoding; such a picture is finished (overlays, draw
  // hook, presentation) before the next picture, or by FinishPicture, which
  // the reading thread calls before it waits for data. So a picture never
  // waits for the next frame. Reading thread only.
  virtual void SetUnitWaiting(bool waiting) { (void)waiting; }
  virtual bool PicturePending() const { return false; }
  virtual void FinishPicture() {}

  // ---- renderer ----
  virtual int32_t RenderWidth() const = 0;
  virtual int32_t RenderHeight() const = 0;
  virtual void SetRenderSize(int32_t width, int32_t height) = 0;
  // Share of each picture edge cut off before drawing (0 ... 0.5).
  virtual void SetCropFraction(double fraction) = 0;
  // The display configuration changed: rebuild the drawing surfaces.
  virtual void RecreateRender() = 0;
  virtual void SetShowOSD(bool show) = 0;
  virtual void SetEqualScaling(bool keep_aspect) = 0;
  // The current picture of a channel as a JPEG file; false when none was
  // written (no picture yet, file exists, write failed).
  virtual bool SaveToJpg(int32_t channel, const std::string& file) = 0;
};

// Normal and alarm recording of one live player. Start/stop/query run on API
// threads; the recorders' WriteFrame on the receiving thread. Each recorder
// keeps its own busy flag between the two.
class IPlayRecording {
 public:
  virtual ~IPlayRecording() = default;
  virtual IFrameRecorder* AlarmRecorder() = 0;
  virtual IFrameRecorder* NormalRecorder() = 0;
  virtual bool StartNmlRec(int32_t channel) = 0;
  virtual bool StopNmlRec(int32_t channel) = 0;
  virtual bool StartAlmRec(int32_t channel) = 0;
  virtual bool StopAlmRec(int32_t channel) = 0;
  virtual bool IsNmlRec(int32_t channel) const = 0;
  virtual bool IsAlmRec(int32_t channel) const = 0;
};

// The tunnel path of a player whose address is a tunnel UID. Called on the
// thread that drives the player (API or the watchdog of the receiving
// thread), never on two threads at once: the player serialises them. The
// tunnel's own reading thread hands frames to TAxPlay::HandleTunnelFrame.
class IPlayTunnel {
 public:
  virtual ~IPlayTunnel() = default;
  virtual bool Connect() = 0;
  virtual bool Play() = 0;
  virtual bool DisConn() = 0;
  virtual bool PTZControl(int32_t cmd, int32_t channel, int32_t speed, int32_t point,
                          int32_t extra) = 0;
};

}  // namespace vz
