#pragma once
// Decodes the simulator's video payloads with libavcodec, one elementary
// frame at a time, and keeps the last picture for size and colour checks.
#include <cstddef>
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace devsimtest {

struct Yuv {
  int y, u, v;
};

class SimTestDecoder {
 public:
  explicit SimTestDecoder(int codec);  // 0 MPEG-4, 1 MJPEG, 2 H.264
  ~SimTestDecoder();
  SimTestDecoder(const SimTestDecoder&) = delete;
  SimTestDecoder& operator=(const SimTestDecoder&) = delete;

  bool Ok() const { return ctx_ != nullptr; }
  // True when the payload gave a picture.
  bool Decode(const uint8_t* data, size_t size);
  int Width() const;
  int Height() const;
  int Pictures() const { return pictures_; }
  // The picture's values at (x, y) of the last picture.
  Yuv At(int x, int y) const;

 private:
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* pkt_ = nullptr;
  int pictures_ = 0;
};

}  // namespace devsimtest
