#pragma once
// Pictures made in the test: planar YUV 4:2:0 with painted blocks.
#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FrameSeams.h"

namespace rendertest {

struct TYuv {
  uint8_t Y, U, V;
};
// Studio-range colours and what the table converter makes of them.
constexpr TYuv kRed{81, 90, 240};     // 254, 0, 0
constexpr TYuv kGreen{145, 54, 34};   // about 0, 255, 0
constexpr TYuv kBlue{41, 240, 110};   // about 0, 0, 255
constexpr TYuv kGrey{126, 128, 128};  // about 128, 128, 128
constexpr TYuv kWhite{235, 128, 128};

// A picture owning its planes; stride padding filled with junk so reads
// past the width show.
class TPicture {
 public:
  TPicture(int w, int h, TYuv fill, int pad = 24) : w_(w), h_(h) {
    ls_[0] = w + pad;
    ls_[1] = ls_[2] = (w + 1) / 2 + pad / 2;
    for (int i = 0; i < 3; ++i)
      planes_[i].assign(static_cast<size_t>(ls_[i]) * static_cast<size_t>(i ? (h + 1) / 2 : h), 0xEE);
    Fill(0, 0, w, h, fill);
  }
  // Paints [x, x + w) x [y, y + h); even coordinates keep chroma exact.
  void Fill(int x, int y, int w, int h, TYuv c) {
    for (int r = y; r < y + h; ++r)
      for (int col = x; col < x + w; ++col) planes_[0][static_cast<size_t>(r * ls_[0] + col)] = c.Y;
    for (int r = y / 2; r < (y + h + 1) / 2; ++r)
      for (int col = x / 2; col < (x + w + 1) / 2; ++col) {
        planes_[1][static_cast<size_t>(r * ls_[1] + col)] = c.U;
        planes_[2][static_cast<size_t>(r * ls_[2] + col)] = c.V;
      }
  }
  vz::TDecodedPicture View() const {
    vz::TDecodedPicture p;
    for (int i = 0; i < 3; ++i) {
      p.Plane[i] = planes_[i].data();
      p.LineSize[i] = ls_[i];
    }
    p.Width = w_;
    p.Height = h_;
    return p;
  }

 private:
  int w_, h_;
  int ls_[3];
  std::vector<uint8_t> planes_[3];
};

inline bool Near(QRgb px, int r, int g, int b, int tol = 12) {
  return std::abs(qRed(px) - r) <= tol && std::abs(qGreen(px) - g) <= tol &&
         std::abs(qBlue(px) - b) <= tol;
}

}  // namespace rendertest
