#pragma once
// TAVDecode: turns the video payload of a frame into a decoded picture with
// libavcodec, keeps the stream's frame-rate and bit-rate figures and is the
// hand-over point for audio payloads, which pass through undecoded.
//
// Codec kinds: 0 MPEG-4 Part 2, 1 Motion JPEG, 2 H.264, -1 not set. A new
// decoder decodes nothing until its style is set and it has been opened.
//
// Threads: Open, Close, SetCodec and Decode may be called from the caller's
// thread (connect) and from the decoding thread (reopen on a stream or
// codec change); they serialise on the decoder's own state lock, so a Close
// from one thread never pulls the picture from under a Decode on another.
// SetDecodeStyle comes from API threads and touches only the gate (atomics).
// Every Open in the process is additionally serialised by one open lock.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "FrameSeams.h"
#include "class_DecodeGate.h"
#include "class_StreamStats.h"

struct AVCodec;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwsContext;

namespace vz {

enum TCodecKind : int32_t {
  Codec_None = -1,
  Codec_MPEG4 = 0,
  Codec_MJPEG = 1,
  Codec_H264 = 2,
};

class TAVDecode {
 public:
  TAVDecode();
  ~TAVDecode();
  TAVDecode(const TAVDecode&) = delete;
  TAVDecode& operator=(const TAVDecode&) = delete;

  // The live player shares the frame handler's gate so that the style, the
  // key wait and every Open act on the one gate the handler consults. Set
  // once, before the decoder is used; nullptr returns to the own gate.
  void UseGate(TDecodeGate* gate);
  TDecodeGate& Gate() { return *gate_.load(); }

  // A change of style re-arms the key wait when the new style is Decode_All.
  void SetDecodeStyle(uint8_t style) { Gate().SetDecodeStyle(style); }
  uint8_t DecodeStyle() { return Gate().DecodeStyle(); }

  // Takes effect at the next Open.
  void SetCodec(int32_t kind);
  int32_t Codec() const { return codec_kind_.load(); }

  // The file player sets the picture size from the file header.
  void SetWidth(int32_t pixels) { width_.store(pixels); }
  void SetHeight(int32_t pixels) { height_.store(pixels); }
  int32_t Width() const { return width_.load(); }
  int32_t Height() const { return height_.load(); }

  // Re-arms the key wait, then allocates what is missing and opens the
  // decoder for the codec kind. False for an unknown kind or when the
  // library refuses; the decoder then decodes nothing until the next Open.
  bool Open();
  // Frees the picture and the context and forgets the codec. Safe in any state.
  bool Close();
  bool IsOpen();
  // Close, SetCodec, Open under decoder_lock (taken here; the caller must
  // not hold it).
  bool Reopen(int32_t kind, std::mutex& decoder_lock);

  // Counts the payload in the statistics, then decodes it. True when the
  // payload produced a picture, or was taken in whole without producing one
  // yet (the picture follows with a later payload). False on corrupt data,
  // a picture of width or height 0 or when the decoder is not open; the
  // next payload is tried normally.
  bool Decode(const uint8_t* payload, int32_t length, uint64_t second);

  // Calls show(picture) with the picture of the last successful Decode when
  // that Decode produced a new one. Returns whether it was called. Each
  // picture is handed out once. show runs outside the state lock, on planes
  // held for it (the picture's Keep, a reference to the decoder's buffers,
  // which the decoder never writes again while it is held), so it may call
  // anything, this decoder's Close and Reopen included (a draw callback that
  // reconnects its player), and may keep the picture past the call.
  template <typename F>
  bool TakePicture(F&& show) {
    TDecodedPicture picture;
    if (!HoldFreshPicture(picture)) return false;
    show(static_cast<const TDecodedPicture&>(picture));
    return true;
  }

  // Statistics of the frames handed to Decode.
  TStreamStats& Stats() { return stats_; }
  // Payloads handed to Decode since creation: what the gate let through.
  uint64_t Payloads() const { return payloads_.load(); }
  int32_t Fps() const { return stats_.Fps(); }
  int64_t BitRate() const { return stats_.BitRate(); }

  // Set by the player before each tunnel frame; not used for decoding.
  void SetTunnelChannel(int32_t channel) { tunnel_channel_.store(channel); }
  int32_t TunnelChannel() const { return tunnel_channel_.load(); }

  // Audio is handed on as it came.
  void SetAudioCodec(int32_t kind) { audio_codec_kind_.store(kind); }
  int32_t AudioCodec() const { return audio_codec_kind_.load(); }
  bool OpenAudio() { return true; }
  bool CloseAudio() { return true; }
  // Keeps the pointer, not the bytes: valid as long as the caller's buffer.
  // Called and read on the decoding thread only.
  bool PassAudio(const uint8_t* data, int32_t length);
  const uint8_t* AudioData() const { return audio_data_; }
  int32_t AudioLength() const { return audio_length_; }

 private:
  void CloseLocked();
  // Under the state lock: describes the fresh picture with planes that its
  // Keep holds; false when there is none.
  bool HoldFreshPicture(TDecodedPicture& picture);
  // Fills picture from picture_; converts layouts other than 4:2:0.
  bool DescribePicture(TDecodedPicture& picture);

  std::mutex state_lock_;
  AVFrame* picture_ = nullptr;  // guarded by state_lock_; last decoded picture
  AVFrame* scratch_ = nullptr;  // guarded by state_lock_; receives, then swapped in
  const AVCodec* codec_ = nullptr;  // guarded by state_lock_; not owned
  AVCodecContext* context_ = nullptr;  // guarded by state_lock_
  AVPacket* packet_ = nullptr;  // guarded by state_lock_; wraps the payload being sent
  bool fresh_picture_ = false;  // guarded by state_lock_
  // 4:2:0 copy of pictures the decoder delivers in another layout.
  SwsContext* layout_ctx_ = nullptr;  // guarded by state_lock_
  AVFrame* layout_frame_ = nullptr;  // guarded by state_lock_

  TDecodeGate own_gate_;
  std::atomic<TDecodeGate*> gate_{&own_gate_};
  std::atomic<int32_t> codec_kind_{Codec_None};
  std::atomic<int32_t> audio_codec_kind_{-1};
  std::atomic<int32_t> width_{0};
  std::atomic<int32_t> height_{0};
  std::atomic<int32_t> tunnel_channel_{0};
  TStreamStats stats_;  // counted under state_lock_ (Decode), figures atomic
  std::atomic<uint64_t> payloads_{0};
  // Owned by the decoding thread.
  const uint8_t* audio_data_ = nullptr;
  int32_t audio_length_ = 0;
};

}  // namespace vz
