#pragma once
// TPlayVideo: a live player's video unit, the decoder and the renderer
// behind the frame handler. Frames for display go through TLiveDecode (codec
// checks, decoding, size reports) to the TRender, which draws them with the
// player's overlays into the player's display targets. Registered as the
// players' video factory when the library loads (RegisterForPlayers).
//
// Threads as IPlayVideo says: frames on the player's receiving thread,
// everything else on API threads.
#include <atomic>
#include <cstdint>
#include <string>

#include "FrameSeams.h"
#include "class_DRender.h"
#include "class_Decode.h"
#include "class_LiveDecode.h"
#include "class_Snapshot.h"

class TAxPlay;

namespace vz {

class TPlayVideo final : public IPlayVideo {
 public:
  explicit TPlayVideo(TAxPlay& player);
  ~TPlayVideo() override;
  TPlayVideo(const TPlayVideo&) = delete;
  TPlayVideo& operator=(const TPlayVideo&) = delete;

  // Makes every player created from now on use this unit.
  static void RegisterForPlayers();

  // IFrameVideo
  void ReopenForStream(int32_t display_stream_type) override;
  void DecodeFrame(const TFrameView& frame) override;

  // IPlayVideo: decoder
  int32_t CodecKind() const override;
  bool OpenVideo(int32_t codec_kind) override;
  void CloseVideo() override;
  int32_t AudioCodecKind() const override { return audio_codec_.load(); }
  bool OpenAudio(int32_t codec_kind) override;
  void SetDecodeStyle(uint8_t style) override;
  void UseGate(TDecodeGate* gate) override;
  int32_t PictureWidth() const override;
  int32_t PictureHeight() const override;
  void SetTunnelChannel(int32_t channel) override;
  void SetUnitWaiting(bool waiting) override { render_.SetLateFinish(waiting); }
  bool PicturePending() const override { return render_.PicturePending(); }
  void FinishPicture() override { render_.FinishPicture(); }

  // IPlayVideo: renderer
  int32_t RenderWidth() const override { return render_.PictureWidth(); }
  int32_t RenderHeight() const override { return render_.PictureHeight(); }
  void SetRenderSize(int32_t width, int32_t height) override;
  void SetCropFraction(double fraction) override { render_.SetCropFactor(fraction); }
  void RecreateRender() override;
  void SetShowOSD(bool show) override { show_osd_.store(show); }
  void SetEqualScaling(bool keep_aspect) override { render_.SetEqualScaling(keep_aspect); }
  bool SaveToJpg(int32_t channel, const std::string& file) override;

  TRender& Render() { return render_; }
  TAVDecode& Decoder() { return decoder_; }

 private:
  void UpdateOsd(TRender& render, const TFrameView& frame);

  TAxPlay& player_;
  std::atomic<int32_t> audio_codec_{-1};
  std::atomic<bool> show_osd_{true};
  TAVDecode decoder_;
  TRender render_;
  TLiveDecode live_;
  TSnapshot snapshot_;
};

}  // namespace vz
