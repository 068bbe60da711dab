#include "ImageList.h"

#include <QPainter>
#include <algorithm>

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

int TImageList::Add(const QImage& image) {
  QImage icon = image.size() == QSize(FWidth, FHeight)
                    ? image
                    : image.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  FImages.push_back(icon.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  return Count() - 1;
}

int TImageList::AddStrip(const QImage& strip) {
  if (strip.height() < FHeight) return 0;
  const int n = strip.width() / FWidth;
  for (int i = 0; i < n; ++i) Add(strip.copy(i * FWidth, 0, FWidth, FHeight));
  return n;
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const {
  if (index < 0 || index >= Count()) return;
  painter.drawImage(x, y, FImages[index]);
}
