// The double's video: a moving pattern encoded with libavcodec's H.264 encoder.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <memory>

#include "DoubleState.h"

namespace {

struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

void Collect(AVCodecContext* ctx, AVPacket* pkt, std::vector<p2pdouble::Frame>& out) {
  while (avcodec_receive_packet(ctx, pkt) == 0) {
    p2pdouble::Frame f;
    f.bytes.assign(pkt->data, pkt->data + pkt->size);
    f.flag = (pkt->flags & AV_PKT_FLAG_KEY) ? 1 : 0;
    out.push_back(std::move(f));
    av_packet_unref(pkt);
  }
}

}  // namespace

std::vector<p2pdouble::Frame> P2PDouble_Encode() {
  constexpr int kWidth = 640, kHeight = 480, kFrames = 12;
  std::vector<p2pdouble::Frame> out;
  av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are of no interest
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (!codec) return out;
  std::unique_ptr<AVCodecContext, CodecFree> ctx(avcodec_alloc_context3(codec));
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
  if (!ctx || !frame || !pkt) return out;
  ctx->width = kWidth;
  ctx->height = kHeight;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, 25};
  ctx->framerate = AVRational{25, 1};
  ctx->gop_size = kFrames;
  ctx->max_b_frames = 0;
  ctx->thread_count = 1;
  av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
  av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return out;
  frame->format = ctx->pix_fmt;
  frame->width = kWidth;
  frame->height = kHeight;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return out;
  for (int i = 0; i < kFrames; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) return {};
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x + y + i * 8);
    }
    for (int y = 0; y < kHeight / 2; ++y) {
      for (int x = 0; x < kWidth / 2; ++x) {
        frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(128 + y / 4);
        frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(64 + x / 4 + i);
      }
    }
    frame->pts = i;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) return {};
    Collect(ctx.get(), pkt.get(), out);
  }
  avcodec_send_frame(ctx.get(), nullptr);
  Collect(ctx.get(), pkt.get(), out);
  return out;
}
