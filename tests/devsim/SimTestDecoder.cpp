#include "SimTestDecoder.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace devsimtest {

SimTestDecoder::SimTestDecoder(int codec) {
  const AVCodecID id = codec == 0 ? AV_CODEC_ID_MPEG4 : codec == 1 ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_H264;
  const AVCodec* dec = avcodec_find_decoder(id);
  if (dec == nullptr) return;
  ctx_ = avcodec_alloc_context3(dec);
  frame_ = av_frame_alloc();
  pkt_ = av_packet_alloc();
  if (ctx_ == nullptr || frame_ == nullptr || pkt_ == nullptr || avcodec_open2(ctx_, dec, nullptr) < 0) {
    avcodec_free_context(&ctx_);
  }
}

SimTestDecoder::~SimTestDecoder() {
  avcodec_free_context(&ctx_);
  av_frame_free(&frame_);
  av_packet_free(&pkt_);
}

bool SimTestDecoder::Decode(const uint8_t* data, size_t size) {
  if (ctx_ == nullptr) return false;
  std::vector<uint8_t> padded(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::copy(data, data + size, padded.begin());
  pkt_->data = padded.data();
  pkt_->size = static_cast<int>(size);
  const int sent = avcodec_send_packet(ctx_, pkt_);
  pkt_->data = nullptr;
  pkt_->size = 0;
  if (sent < 0) return false;
  bool got = false;
  // Keep the newest picture in frame_.
  AVFrame* next = av_frame_alloc();
  while (next != nullptr && avcodec_receive_frame(ctx_, next) == 0) {
    got = true;
    ++pictures_;
    av_frame_unref(frame_);
    av_frame_move_ref(frame_, next);
  }
  av_frame_free(&next);
  return got;
}

int SimTestDecoder::Width() const { return frame_ ? frame_->width : 0; }
int SimTestDecoder::Height() const { return frame_ ? frame_->height : 0; }

Yuv SimTestDecoder::At(int x, int y) const {
  if (frame_ == nullptr || frame_->data[0] == nullptr || x < 0 || y < 0 || x >= frame_->width || y >= frame_->height) {
    return Yuv{-1, -1, -1};
  }
  return Yuv{frame_->data[0][y * frame_->linesize[0] + x], frame_->data[1][(y / 2) * frame_->linesize[1] + x / 2],
             frame_->data[2][(y / 2) * frame_->linesize[2] + x / 2]};
}

}  // namespace devsimtest
