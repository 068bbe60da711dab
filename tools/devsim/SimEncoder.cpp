#include "SimEncoder.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "SimLayout.h"
#include "SimPicture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace vzsim {
namespace {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

const AVCodec* FindEncoder(int codec) {
  switch (codec) {
    case layout::kCodecH264: return avcodec_find_encoder_by_name("libx264");
    case layout::kCodecMpeg4: return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    case layout::kCodecMjpeg: return avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    default: return nullptr;
  }
}

// Moves every packet the encoder has ready into the loop.
bool Drain(AVCodecContext* ctx, AVPacket* pkt, SimLoop* loop, std::string* error) {
  for (;;) {
    const int r = avcodec_receive_packet(ctx, pkt);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) {
      *error = "encoder: " + AvError(r);
      return false;
    }
    const size_t size = static_cast<size_t>(pkt->size);
    if (size > 0 && size <= SimEncoder::kMaxFrameBytes) {
      SimEncodedFrame frame;
      frame.bytes.assign(pkt->data, pkt->data + size);
      frame.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
      loop->bytes += size;
      loop->frames.push_back(std::move(frame));
    }
    av_packet_unref(pkt);
  }
}

}  // namespace

bool SimVideoFormat::operator<(const SimVideoFormat& o) const {
  return std::tie(codec, width, height, fps, keyInterval, bitRate, channel, busy) <
         std::tie(o.codec, o.width, o.height, o.fps, o.keyInterval, o.bitRate, o.channel, o.busy);
}

bool SimVideoFormat::operator==(const SimVideoFormat& o) const {
  return std::tie(codec, width, height, fps, keyInterval, bitRate, channel, busy) ==
         std::tie(o.codec, o.width, o.height, o.fps, o.keyInterval, o.bitRate, o.channel, o.busy);
}

std::string SimVideoFormat::Describe() const {
  static const char* const kNames[] = {"MPEG-4", "MJPEG", "H.264"};
  const char* name = codec >= 0 && codec <= 2 ? kNames[codec] : "?";
  char text[160];
  std::snprintf(text, sizeof text, "%s %dx%d %d fps, key every %d, %d kbit/s", name, width, height, fps, keyInterval,
                bitRate / 1024);
  std::string out = text;
  if (channel >= 0) out += ", channel " + std::to_string(channel);
  if (busy) out += ", busy scene";
  return out;
}

bool SimEncoder::Normalize(SimVideoFormat* f) {
  if (f->codec < layout::kCodecMpeg4 || f->codec > layout::kCodecH264) return false;
  if (f->width < 16 || f->height < 16) return false;
  f->width = std::min(f->width, 4096) & ~1;
  f->height = std::min(f->height, 4096) & ~1;
  f->fps = std::clamp(f->fps, 1, 60);
  f->keyInterval = std::clamp(f->keyInterval, 1, kMaxLoopFrames);
  f->bitRate = std::clamp(f->bitRate, 16 * 1024, 40 * 1024 * 1024);
  f->channel = std::clamp(f->channel, -1, SimPicture::kMaxMarkedChannel);
  return true;
}

int SimEncoder::LoopFrames(const SimVideoFormat& f) {
  const int gop = std::max(1, f.keyInterval);
  // One interval when it lasts two seconds already, else as many as make two seconds (at least two).
  int intervals = gop >= 2 * f.fps ? 1 : 2;
  while (gop * intervals < 2 * f.fps) ++intervals;
  const int frames = gop * intervals;
  if (frames <= kMaxLoopFrames) return frames;
  return gop <= kMaxLoopFrames ? gop * (kMaxLoopFrames / gop) : kMaxLoopFrames;
}

std::shared_ptr<const SimLoop> SimEncoder::Encode(SimVideoFormat format, int secondsOfDay, std::string* error) {
  if (!Normalize(&format)) {
    *error = "no video format: " + format.Describe();
    return nullptr;
  }
  const AVCodec* codec = FindEncoder(format.codec);
  if (codec == nullptr) {
    *error = "no encoder for " + format.Describe();
    return nullptr;
  }
  std::unique_ptr<AVCodecContext, CodecContextFree> ctx(avcodec_alloc_context3(codec));
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
  if (!ctx || !frame || !pkt) {
    *error = "out of memory";
    return nullptr;
  }
  const bool jpeg = format.codec == layout::kCodecMjpeg;
  ctx->width = format.width;
  ctx->height = format.height;
  ctx->time_base = AVRational{1, format.fps};
  ctx->framerate = AVRational{format.fps, 1};
  ctx->gop_size = format.keyInterval;
  ctx->keyint_min = format.keyInterval;
  ctx->max_b_frames = 0;
  ctx->bit_rate = format.bitRate;
  ctx->thread_count = 1;
  ctx->pix_fmt = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  if (jpeg) ctx->color_range = AVCOL_RANGE_JPEG;
  if (format.codec == layout::kCodecH264) {
    // Fast and without look-ahead; a fixed key-frame rhythm (no scene cuts),
    // parameter sets repeated before every key frame.
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:repeat-headers=1:log=0", 0);
  }
  int r = avcodec_open2(ctx.get(), codec, nullptr);
  if (r < 0) {
    *error = "cannot open the encoder for " + format.Describe() + ": " + AvError(r);
    return nullptr;
  }
  frame->format = ctx->pix_fmt;
  frame->width = format.width;
  frame->height = format.height;
  r = av_frame_get_buffer(frame.get(), 0);
  if (r < 0) {
    *error = "no frame buffer: " + AvError(r);
    return nullptr;
  }
  auto loop = std::make_shared<SimLoop>();
  loop->format = format;
  const int count = LoopFrames(format);
  loop->frames.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    r = av_frame_make_writable(frame.get());
    if (r < 0) {
      *error = "frame not writable: " + AvError(r);
      return nullptr;
    }
    if (SimPicture::IsTwoFieldWidth(format.width)) {
      SimPicture::DrawFields(format.width, format.height, i, secondsOfDay + i / format.fps, format.channel,
                             format.busy, frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1], frame->data[2],
                             frame->linesize[2]);
    } else {
      SimPicture::Draw(format.width, format.height, i, secondsOfDay + i / format.fps, format.channel, format.busy,
                       frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1], frame->data[2], frame->linesize[2]);
    }
    frame->pts = i;
    // Key frames exactly on the interval, whatever the encoder would choose.
    frame->pict_type = i % format.keyInterval == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    r = avcodec_send_frame(ctx.get(), frame.get());
    if (r < 0) {
      *error = "encoder refused frame " + std::to_string(i) + ": " + AvError(r);
      return nullptr;
    }
    if (!Drain(ctx.get(), pkt.get(), loop.get(), error)) return nullptr;
  }
  avcodec_send_frame(ctx.get(), nullptr);
  if (!Drain(ctx.get(), pkt.get(), loop.get(), error)) return nullptr;
  if (loop->frames.empty() || !loop->frames.front().key) {
    *error = "the encoder made no usable loop for " + format.Describe();
    return nullptr;
  }
  return loop;
}

}  // namespace vzsim
