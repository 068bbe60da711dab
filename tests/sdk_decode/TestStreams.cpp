#include "TestStreams.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <cstdlib>
#include <cstring>
#include <memory>

#include "AVFrameHead.h"

namespace vztest {

namespace {

struct TYuv {
  int Y, U, V;
};

// Quadrants top-left, top-right, bottom-left, bottom-right.
const TYuv kQuadrants[2][4] = {
    {{180, 60, 200}, {80, 200, 60}, {120, 128, 128}, {50, 160, 90}},
    {{60, 190, 80}, {200, 90, 170}, {100, 60, 60}, {150, 200, 200}},
};

constexpr int kCounterBase = 30;
constexpr int kCounterStep = 6;
constexpr int kTolerance = 14;

int Quadrant(int x, int y, int w, int h) { return (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0); }

bool InCounter(int x, int y, int w, int h) {
  return x >= w * 3 / 8 && x < w * 5 / 8 && y >= h * 3 / 8 && y < h * 5 / 8;
}

void Texture(AVFrame* f, int index) {
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      uint8_t& s = f->data[0][y * f->linesize[0] + x];
      s = static_cast<uint8_t>(s + (((x + index * 3) * (y + index)) >> 3 & 31));
    }
}

void Paint(AVFrame* f, int variant, int index, bool chroma422) {
  const int w = f->width;
  const int h = f->height;
  const int counter = kCounterBase + index * kCounterStep;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      f->data[0][y * f->linesize[0] + x] =
          static_cast<uint8_t>(InCounter(x, y, w, h) ? counter : kQuadrants[variant][Quadrant(x, y, w, h)].Y);
  const int ch = chroma422 ? h : h / 2;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < w / 2; ++x) {
      const int py = chroma422 ? y : y * 2;
      const bool centre = InCounter(x * 2, py, w, h);
      const TYuv& q = kQuadrants[variant][Quadrant(x * 2, py, w, h)];
      f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>(centre ? 128 : q.U);
      f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>(centre ? 128 : q.V);
    }
}

struct TCtxFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

std::vector<TEncodedFrame> EncodeStream(TTestCodec codec, int width, int height, int frames, int gop, int variant,
                                        int first_index, bool textured) {
  std::vector<TEncodedFrame> out;
  const AVCodec* enc = nullptr;
  AVPixelFormat format = AV_PIX_FMT_YUV420P;
  switch (codec) {
    case TTestCodec::H264:
      enc = avcodec_find_encoder_by_name("libx264");
      break;
    case TTestCodec::MPEG4:
      enc = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
      break;
    case TTestCodec::MJPEG420:
      enc = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
      format = AV_PIX_FMT_YUVJ420P;
      break;
    case TTestCodec::MJPEG422:
      enc = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
      format = AV_PIX_FMT_YUVJ422P;
      break;
  }
  if (enc == nullptr) return out;
  std::unique_ptr<AVCodecContext, TCtxFree> ctx(avcodec_alloc_context3(enc));
  ctx->width = width;
  ctx->height = height;
  ctx->pix_fmt = format;
  ctx->time_base = AVRational{1, 25};
  ctx->framerate = AVRational{25, 1};
  ctx->gop_size = gop;
  ctx->max_b_frames = 0;
  ctx->thread_count = 1;
  if (codec == TTestCodec::H264) {
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx->priv_data, "crf", "18", 0);
  } else {
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 3;
  }
  if (avcodec_open2(ctx.get(), enc, nullptr) < 0) return out;

  std::unique_ptr<AVFrame, TFrameFree> frame(av_frame_alloc());
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return out;
  std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());

  auto drain = [&] {
    while (avcodec_receive_packet(ctx.get(), packet.get()) == 0) {
      TEncodedFrame e;
      e.Bytes.assign(packet->data, packet->data + packet->size);
      e.Key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
      out.push_back(std::move(e));
      av_packet_unref(packet.get());
    }
  };
  for (int i = 0; i < frames; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) return {};
    Paint(frame.get(), variant, first_index + i, codec == TTestCodec::MJPEG422);
    if (textured) Texture(frame.get(), i);
    frame->pts = i;
    frame->pict_type = (i % gop == 0) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) return {};
    drain();
  }
  avcodec_send_frame(ctx.get(), nullptr);
  drain();
  return out;
}

std::string CheckPicture(const vz::TDecodedPicture& p, int variant, int& index) {
  if (p.Plane[0] == nullptr || p.Plane[1] == nullptr || p.Plane[2] == nullptr || p.Width <= 0 || p.Height <= 0)
    return "no picture";
  const int w = p.Width;
  const int h = p.Height;
  const int xs[4] = {w / 8, w * 7 / 8, w / 8, w * 7 / 8};
  const int ys[4] = {h / 8, h / 8, h * 7 / 8, h * 7 / 8};
  for (int q = 0; q < 4; ++q) {
    const TYuv& want = kQuadrants[variant][q];
    const int y = p.Plane[0][ys[q] * p.LineSize[0] + xs[q]];
    const int u = p.Plane[1][(ys[q] / 2) * p.LineSize[1] + xs[q] / 2];
    const int v = p.Plane[2][(ys[q] / 2) * p.LineSize[2] + xs[q] / 2];
    if (std::abs(y - want.Y) > kTolerance || std::abs(u - want.U) > kTolerance || std::abs(v - want.V) > kTolerance)
      return "quadrant " + std::to_string(q) + " is " + std::to_string(y) + "/" + std::to_string(u) + "/" +
             std::to_string(v);
  }
  const int c = p.Plane[0][(h / 2) * p.LineSize[0] + w / 2];
  index = (c - kCounterBase + kCounterStep / 2) / kCounterStep;
  return {};
}

std::vector<uint8_t> MakeFrame(const TEncodedFrame& encoded, uint64_t time_us, uint8_t channel,
                               int32_t stream_type) {
  vz::TAVFrameHead h{};
  h.Magic = vz::kMarkerVideo;
  h.Len = static_cast<uint32_t>(encoded.Bytes.size()) + vz::kFrameLenOverhead;
  h.TimeStamp = time_us;
  h.Chl = channel;
  h.IsIFrame = encoded.Key ? 1 : 0;
  h.StreamType = stream_type;
  std::vector<uint8_t> f(sizeof h + encoded.Bytes.size());
  std::memcpy(f.data(), &h, sizeof h);
  if (!encoded.Bytes.empty()) std::memcpy(f.data() + sizeof h, encoded.Bytes.data(), encoded.Bytes.size());
  return f;
}

std::vector<uint8_t> JpegWithFrameHeaderFirst(const std::vector<uint8_t>& jpeg) {
  std::vector<uint8_t> sof;
  std::vector<uint8_t> tables;
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xDA) break;  // the scan: the rest is copied as it is
    const size_t seg = 2 + ((static_cast<size_t>(jpeg[at + 2]) << 8) | jpeg[at + 3]);
    if (at + seg > jpeg.size()) return {};
    const auto begin = jpeg.begin() + static_cast<std::ptrdiff_t>(at);
    const auto end = begin + static_cast<std::ptrdiff_t>(seg);
    if (marker == 0xC0)
      sof.assign(begin, end);
    else if (!(marker >= 0xE0 && marker <= 0xEF) && marker != 0xFE)
      tables.insert(tables.end(), begin, end);
    at += seg;
  }
  if (sof.empty() || at >= jpeg.size()) return {};
  std::vector<uint8_t> out = {0xFF, 0xD8};
  out.insert(out.end(), sof.begin(), sof.end());
  out.insert(out.end(), tables.begin(), tables.end());
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
  return out;
}

}  // namespace vztest
