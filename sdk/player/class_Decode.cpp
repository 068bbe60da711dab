#include "class_Decode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <utility>

namespace vz {

namespace {

// Serialises every decoder open in the process: the library's codec set-up
// was never meant to run twice at once.
std::mutex& OpenLock() {
  static std::mutex lock;
  return lock;
}

// A corrupt frame from a device is an everyday event here, not something to
// print to the terminal once per frame.
void QuietLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

AVCodecID LibraryCodec(int32_t kind) {
  switch (kind) {
    case Codec_MPEG4:
      return AV_CODEC_ID_MPEG4;
    case Codec_MJPEG:
      return AV_CODEC_ID_MJPEG;
    case Codec_H264:
      return AV_CODEC_ID_H264;
    default:
      return AV_CODEC_ID_NONE;
  }
}

// The JPEG layouts are the plain ones with full-range samples; the scaler
// takes the plain names and leaves the samples as they are.
AVPixelFormat PlainLayout(int format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
      return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
      return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
      return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
      return AV_PIX_FMT_YUV411P;
    default:
      return static_cast<AVPixelFormat>(format);
  }
}

bool IsJpegLayout(int format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
         format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

}  // namespace

TAVDecode::TAVDecode() = default;

TAVDecode::~TAVDecode() {
  Close();
  std::lock_guard<std::mutex> g(state_lock_);
  sws_freeContext(layout_ctx_);
  layout_ctx_ = nullptr;
  av_frame_free(&layout_frame_);
}

void TAVDecode::UseGate(TDecodeGate* gate) { gate_.store(gate != nullptr ? gate : &own_gate_); }

void TAVDecode::SetCodec(int32_t kind) { codec_kind_.store(kind); }

bool TAVDecode::Open() {
  Gate().WaitForKey();
  QuietLibraryOnce();
  std::lock_guard<std::mutex> g(state_lock_);
  std::lock_guard<std::mutex> open_guard(OpenLock());
  if (picture_ == nullptr) picture_ = av_frame_alloc();
  if (scratch_ == nullptr) scratch_ = av_frame_alloc();
  if (packet_ == nullptr) packet_ = av_packet_alloc();
  if (picture_ == nullptr || scratch_ == nullptr || packet_ == nullptr) return false;
  // An open context cannot take another codec: start from a fresh one.
  if (context_ != nullptr && avcodec_is_open(context_)) {
    avcodec_free_context(&context_);
    codec_ = nullptr;
  }
  if (context_ == nullptr) context_ = avcodec_alloc_context3(nullptr);
  if (context_ == nullptr) return false;

  const AVCodecID id = LibraryCodec(codec_kind_.load());
  if (id == AV_CODEC_ID_NONE) return false;
  const AVCodec* codec = avcodec_find_decoder(id);
  if (codec == nullptr) return false;
  // A picture split over payloads: the H.264 decoder takes the pieces as
  // they come and still finishes a picture as soon as its last macroblock is
  // in, so whole pictures are not delayed. The MPEG-4 decoder's joining mode
  // instead holds every picture back until the next one begins (a frame
  // late, a whole key-frame interval late when only key frames are decoded,
  // and lost at every reopen); devices send whole pictures, so it stays off.
  if (id == AV_CODEC_ID_H264) context_->flags2 |= AV_CODEC_FLAG2_CHUNKS;
  // One thread per decoder: a player decodes on its reading thread, and
  // frame threads would hold every picture back by a frame per thread.
  context_->thread_count = 1;
  if (avcodec_open2(context_, codec, nullptr) < 0) {
    avcodec_free_context(&context_);
    return false;
  }
  codec_ = codec;
  fresh_picture_ = false;
  return true;
}

void TAVDecode::CloseLocked() {
  av_frame_free(&picture_);
  av_frame_free(&scratch_);
  av_packet_free(&packet_);
  avcodec_free_context(&context_);
  codec_ = nullptr;
  fresh_picture_ = false;
}

bool TAVDecode::Close() {
  std::lock_guard<std::mutex> g(state_lock_);
  CloseLocked();
  return true;
}

bool TAVDecode::IsOpen() {
  std::lock_guard<std::mutex> g(state_lock_);
  return picture_ != nullptr && codec_ != nullptr && context_ != nullptr;
}

bool TAVDecode::Reopen(int32_t kind, std::mutex& decoder_lock) {
  std::lock_guard<std::mutex> g(decoder_lock);
  Close();
  SetCodec(kind);
  return Open();
}

bool TAVDecode::Decode(const uint8_t* payload, int32_t length, uint64_t second) {
  std::lock_guard<std::mutex> g(state_lock_);
  payloads_.fetch_add(1);
  stats_.Count(length > 0 ? static_cast<uint32_t>(length) : 0u, second);
  if (picture_ == nullptr || codec_ == nullptr || context_ == nullptr || packet_ == nullptr) return false;
  if (payload == nullptr || length <= 0) return false;

  AVPacket* packet = packet_;
  // Not reference counted: the library copies the bytes (with its padding)
  // before it reads them, so the caller's buffer needs no padding.
  packet->data = const_cast<uint8_t*>(payload);
  packet->size = length;

  bool success = false;
  bool failed = false;
  bool sent = false;
  for (int attempt = 0; attempt < 2 && !sent && !failed; ++attempt) {
    const int sent_result = avcodec_send_packet(context_, packet);
    if (sent_result >= 0) {
      sent = true;
    } else if (sent_result != AVERROR(EAGAIN)) {
      failed = true;
      break;
    }
    // Collect what the decoder has ready; after EAGAIN that makes room for
    // the packet on the second attempt.
    for (;;) {
      const int got = avcodec_receive_frame(context_, scratch_);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
      if (got < 0) {
        failed = true;
        break;
      }
      if (scratch_->width <= 0 || scratch_->height <= 0) {
        av_frame_unref(scratch_);
        failed = true;
        break;
      }
      std::swap(picture_, scratch_);
      av_frame_unref(scratch_);
      if (picture_->width != width_.load() || picture_->height != height_.load()) {
        width_.store(picture_->width);
        height_.store(picture_->height);
      }
      fresh_picture_ = true;
      success = true;
    }
  }
  // The library copied what it keeps; drop the borrowed pointer.
  av_packet_unref(packet);
  if (failed) return success;
  // Taken in whole; a picture held back by the decoder follows later.
  return sent || success;
}

bool TAVDecode::DescribePicture(TDecodedPicture& picture) {
  const AVFrame* src = picture_;
  if (src == nullptr || src->width <= 0 || src->height <= 0) return false;
  const int format = src->format;
  picture.Width = src->width;
  picture.Height = src->height;
  picture.FullRange = IsJpegLayout(format) || src->color_range == AVCOL_RANGE_JPEG;
  picture.Interlaced = src->interlaced_frame != 0;
  picture.TopFieldFirst = src->top_field_first != 0;
  if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) {
    for (int i = 0; i < 3; ++i) {
      picture.Plane[i] = src->data[i];
      picture.LineSize[i] = src->linesize[i];
    }
    return true;
  }
  // Motion JPEG may come as 4:2:2, 4:4:4 or grey: bring it to 4:2:0.
  const AVPixelFormat from = PlainLayout(format);
  if (av_pix_fmt_desc_get(from) == nullptr) return false;
  // A picture handed out earlier may still be read from the old planes.
  if (layout_frame_ != nullptr && av_frame_is_writable(layout_frame_) == 0) av_frame_free(&layout_frame_);
  if (layout_frame_ == nullptr || layout_frame_->width != src->width || layout_frame_->height != src->height) {
    av_frame_free(&layout_frame_);
    layout_frame_ = av_frame_alloc();
    if (layout_frame_ == nullptr) return false;
    layout_frame_->format = AV_PIX_FMT_YUV420P;
    layout_frame_->width = src->width;
    layout_frame_->height = src->height;
    if (av_frame_get_buffer(layout_frame_, 0) < 0) {
      av_frame_free(&layout_frame_);
      return false;
    }
  }
  layout_ctx_ = sws_getCachedContext(layout_ctx_, src->width, src->height, from, src->width, src->height,
                                     AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (layout_ctx_ == nullptr) return false;
  if (sws_scale(layout_ctx_, src->data, src->linesize, 0, src->height, layout_frame_->data,
                layout_frame_->linesize) <= 0)
    return false;
  for (int i = 0; i < 3; ++i) {
    picture.Plane[i] = layout_frame_->data[i];
    picture.LineSize[i] = layout_frame_->linesize[i];
  }
  return true;
}

bool TAVDecode::HoldFreshPicture(TDecodedPicture& picture) {
  std::lock_guard<std::mutex> g(state_lock_);
  if (!fresh_picture_) return false;
  fresh_picture_ = false;
  if (!DescribePicture(picture)) return false;
  // The planes belong to the decoded picture or to its 4:2:0 copy.
  const bool copied = layout_frame_ != nullptr && picture.Plane[0] == layout_frame_->data[0];
  const AVFrame* owner = copied ? layout_frame_ : picture_;
  AVFrame* held = av_frame_alloc();
  if (held == nullptr) return false;
  const std::shared_ptr<AVFrame> keep(held, [](AVFrame* f) { av_frame_free(&f); });
  if (av_frame_ref(held, owner) < 0) return false;
  // A picture without shared buffers was copied: point at the copy.
  for (int i = 0; i < 3; ++i) {
    picture.Plane[i] = held->data[i];
    picture.LineSize[i] = held->linesize[i];
  }
  picture.Keep = keep;
  return true;
}

bool TAVDecode::PassAudio(const uint8_t* data, int32_t length) {
  audio_data_ = data;
  audio_length_ = length;
  return true;
}

}  // namespace vz
