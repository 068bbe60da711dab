#pragma once
// TLiveDecode: the live player's video path behind the frame handler
// (IFrameVideo). For every frame for display that passed the decode-style
// gate: the tunnel's H.264 check, the switch to Motion JPEG when a picture
// starts with a JPEG baseline header, decoding, the picture-size check and
// the hand-over to the renderer. Reopens on a display-stream change come
// from the frame handler with the decoder lock already held; the codec
// switches here take the lock themselves.
//
// Runs on the player's receiving thread; the setters may be called from any
// thread. A player's video unit (IPlayVideo) forwards DecodeFrame and
// ReopenForStream here, OpenVideo to Reopen, CloseVideo to Close,
// SetTunnelChannel to SetTunnel(true, channel), and shares the frame
// handler's gate with the decoder (TAVDecode::UseGate), so that the codec
// switches here re-arm the gate the handler consults. After such a switch
// the frame that caused it reaches the new decoder only if the gate admits
// it again (a key frame under Decode_All).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "FrameSeams.h"
#include "class_Decode.h"

namespace vz {

struct TLiveDecodeSeams {
  TAVDecode* Decoder = nullptr;  // required; outlives this object
  std::mutex* DecoderLock = nullptr;  // process-wide; nullptr = vz::DecoderLock()
  IPictureSink* Sink = nullptr;  // the renderer; may be null
  // The codec kind the device configures for a stream type (main 0, sub 1).
  std::function<int32_t(int32_t stream_type)> CodecForStream;
  // The decoded picture size differs from the one shown so far: the player
  // passes it to the renderer, its resolution and the application.
  // It and the sink run on the decoded picture's held planes, outside the
  // decoder's state lock.
  std::function<void(int32_t width, int32_t height, uint8_t channel)> OnSizeChanged;
};

class TLiveDecode final : public IFrameVideo {
 public:
  explicit TLiveDecode(TLiveDecodeSeams seams);

  void ReopenForStream(int32_t display_stream_type) override;
  void DecodeFrame(const TFrameView& frame) override;

  // Close, set the codec, open, under the decoder lock (connect).
  bool Reopen(int32_t codec_kind);
  // Close under the decoder lock.
  void Close();

  // Frames come over the tunnel, on the given tunnel channel: H.264 only.
  void SetTunnel(bool on, int32_t channel);
  // The size the renderer currently has (set at connect from the
  // configuration); decoded pictures of another size are reported.
  void SetShownSize(int32_t width, int32_t height);
  int32_t ShownWidth() const { return shown_width_.load(); }
  int32_t ShownHeight() const { return shown_height_.load(); }

 private:
  std::mutex& Lock() const;

  const TLiveDecodeSeams seams_;
  std::atomic<bool> tunnel_{false};
  std::atomic<int32_t> tunnel_channel_{0};
  std::atomic<int32_t> shown_width_{0};
  std::atomic<int32_t> shown_height_{0};
};

// True when the payload starts with a JPEG start-of-image marker directly
// followed by a baseline start-of-frame marker (FF D8 FF C0).
bool StartsWithJpegBaseline(const uint8_t* payload, uint32_t bytes);

}  // namespace vz
