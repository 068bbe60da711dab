#include "class_LiveDecode.h"

#include <utility>

#include "DecoderLock.h"

namespace vz {

bool StartsWithJpegBaseline(const uint8_t* payload, uint32_t bytes) {
  return payload != nullptr && bytes >= 4 && payload[0] == 0xFF && payload[1] == 0xD8 && payload[2] == 0xFF &&
         payload[3] == 0xC0;
}

TLiveDecode::TLiveDecode(TLiveDecodeSeams seams) : seams_(std::move(seams)) {}

std::mutex& TLiveDecode::Lock() const {
  return seams_.DecoderLock != nullptr ? *seams_.DecoderLock : DecoderLock();
}

void TLiveDecode::SetTunnel(bool on, int32_t channel) {
  tunnel_channel_.store(channel);
  tunnel_.store(on);
}

void TLiveDecode::SetShownSize(int32_t width, int32_t height) {
  shown_width_.store(width);
  shown_height_.store(height);
}

bool TLiveDecode::Reopen(int32_t codec_kind) { return seams_.Decoder->Reopen(codec_kind, Lock()); }

void TLiveDecode::Close() {
  std::lock_guard<std::mutex> g(Lock());
  seams_.Decoder->Close();
}

void TLiveDecode::ReopenForStream(int32_t display_stream_type) {
  TAVDecode& decoder = *seams_.Decoder;
  decoder.Close();
  if (seams_.CodecForStream) decoder.SetCodec(seams_.CodecForStream(display_stream_type));
  decoder.Open();
}

void TLiveDecode::DecodeFrame(const TFrameView& frame) {
  TAVDecode& decoder = *seams_.Decoder;
  bool reopened = false;
  if (tunnel_.load()) {
    decoder.SetTunnelChannel(tunnel_channel_.load());
    if (decoder.Codec() != Codec_H264) {
      Reopen(Codec_H264);
      reopened = true;
    }
  }
  // No switch back: the next connect or stream change reopens with the
  // configured codec.
  if (StartsWithJpegBaseline(frame.Payload, frame.PayloadBytes) && decoder.Codec() != Codec_MJPEG) {
    Reopen(Codec_MJPEG);
    reopened = true;
  }
  // The frame passed the gate for the old decoder; the reopen re-armed the
  // key wait, so the new decoder's first frame must pass it again: a key
  // frame starts it (and lets the frames that build on it through), a
  // P-frame would only give garbage.
  if (reopened && !decoder.Gate().Admit(frame.Head.IsIFrame != 0)) return;

  if (!decoder.Decode(frame.Payload, static_cast<int32_t>(frame.PayloadBytes), frame.Second())) return;
  decoder.TakePicture([&](const TDecodedPicture& picture) {
    if (picture.Width != shown_width_.load() || picture.Height != shown_height_.load()) {
      SetShownSize(picture.Width, picture.Height);
      if (seams_.OnSizeChanged) seams_.OnSizeChanged(picture.Width, picture.Height, frame.Head.Chl);
    }
    if (seams_.Sink != nullptr) seams_.Sink->ShowPicture(picture, frame);
  });
}

}  // namespace vz
