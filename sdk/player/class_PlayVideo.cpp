#include "class_PlayVideo.h"

#include <QPainter>

#include <memory>

#include "DecoderLock.h"
#include "LiveOsd.h"
#include "PlayParts.h"
#include "VzMessageEvent.h"
#include "class_AxPlay.h"

namespace vz {

namespace {

TLiveDecodeSeams LiveSeams(TAxPlay& player, TAVDecode& decoder, TRender& render) {
  TLiveDecodeSeams s;
  s.Decoder = &decoder;
  s.Sink = &render;
  s.CodecForStream = [&player](int32_t stream_type) {
    const TDevCfg cfg = player.Cfg();
    return stream_type == 1 ? static_cast<int32_t>(cfg.Video.SubCodec) : cfg.Video.Codec;
  };
  s.OnSizeChanged = [&player, &render](int32_t width, int32_t height, uint8_t channel) {
    render.SetPictureSize(width, height);
    player.SetPictureSize(width, height);
    PostAppMessage(kMsgPictureSize, reinterpret_cast<uintptr_t>(&player), channel);
  };
  return s;
}

}  // namespace

TPlayVideo::TPlayVideo(TAxPlay& player)
    : player_(player),
      show_osd_(player.ShowOSD()),
      render_(&player.DspInfoLst()),
      live_(LiveSeams(player, decoder_, render_)) {
  render_.SetEqualScaling(player.ImgEqualScaling());
  decoder_.SetDecodeStyle(player.DecodeStyle());
  render_.SetOsdUpdater([this](TRender& render, const TFrameView& frame) { UpdateOsd(render, frame); });
  render_.SetDrawHook([this](QPainter* dc, int32_t channel) {
    player_.RaiseRenderAfter(reinterpret_cast<uintptr_t>(dc), channel);
  });
}

TPlayVideo::~TPlayVideo() {
  render_.SetDrawHook(nullptr);
  render_.SetOsdUpdater(nullptr);
  CloseVideo();
}

void TPlayVideo::RegisterForPlayers() {
  RegisterPlayVideo([](TAxPlay& player) -> std::unique_ptr<IPlayVideo> {
    return std::make_unique<TPlayVideo>(player);
  });
}

void TPlayVideo::ReopenForStream(int32_t display_stream_type) {
  live_.ReopenForStream(display_stream_type);
}

void TPlayVideo::DecodeFrame(const TFrameView& frame) { live_.DecodeFrame(frame); }

int32_t TPlayVideo::CodecKind() const { return decoder_.Codec(); }

bool TPlayVideo::OpenVideo(int32_t codec_kind) { return live_.Reopen(codec_kind); }

void TPlayVideo::CloseVideo() {
  std::lock_guard<std::mutex> hold(DecoderLock());
  decoder_.Close();
}

bool TPlayVideo::OpenAudio(int32_t codec_kind) {
  // Audio is handed on undecoded; only its kind is kept.
  audio_codec_.store(codec_kind);
  return true;
}

void TPlayVideo::SetDecodeStyle(uint8_t style) { decoder_.SetDecodeStyle(style); }

void TPlayVideo::UseGate(TDecodeGate* gate) {
  // The handler's gate takes over the style the decoder had so far.
  if (gate != nullptr) gate->SetDecodeStyle(decoder_.DecodeStyle());
  decoder_.UseGate(gate);
}

int32_t TPlayVideo::PictureWidth() const { return decoder_.Width(); }

int32_t TPlayVideo::PictureHeight() const { return decoder_.Height(); }

void TPlayVideo::SetTunnelChannel(int32_t channel) { live_.SetTunnel(true, channel); }

void TPlayVideo::SetRenderSize(int32_t width, int32_t height) {
  render_.SetPictureSize(width, height);
  live_.SetShownSize(width, height);
}

void TPlayVideo::RecreateRender() {
  // The renderer draws into an image of its own format, not the screen's,
  // so a display change leaves nothing to rebuild.
}

bool TPlayVideo::SaveToJpg(int32_t channel, const std::string& file) {
  const TConnectArgs args = player_.ConnectArgs();
  return snapshot_.SaveLiveJpg(render_, channel, file.c_str(), player_.RecordSettings().SnapshotPath,
                               args.SvrAddr, args.DataPort);
}

void TPlayVideo::UpdateOsd(TRender& render, const TFrameView& frame) {
  const TDevCfg cfg = player_.Cfg();
  TLiveOsdFrame f;
  f.Second = static_cast<int64_t>(frame.Second());
  f.TimeStamp = frame.Head.TimeStamp;
  f.StatusLine = decoder_.Stats().StatusLine();
  f.ShowOSD = show_osd_.load();
  if (f.ShowOSD) {
    f.NormalRecording = player_.IsNmlRec(frame.Head.Chl);
    f.AlarmOn = AlarmIndicatorOn(f.Second, static_cast<int64_t>(player_.AlarmTime()));
  }
  UpdateLiveOsd(render, cfg.Video, f);
}

namespace {
// Every live player decodes and draws through TPlayVideo unless a test
// installs another unit.
const bool kRegistered = (TPlayVideo::RegisterForPlayers(), true);
}  // namespace

}  // namespace vz
