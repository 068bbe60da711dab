#pragma once
// A list of equally sized icons, drawn by index. Controls that show icons
// from a list hold it through a QPointer, so a list destroyed by its owner
// simply stops being drawn.
#include <QImage>
#include <QObject>
#include <QVector>

class QPainter;

class TImageList : public QObject {
  Q_OBJECT
 public:
  TImageList(int width, int height, QObject* parent = nullptr);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const { return static_cast<int>(FImages.size()); }

  // Adds an icon scaled to the list's size; returns its index.
  int Add(const QImage& image);
  // Cuts a horizontal strip of icons of the list's size, left to right; a
  // partial icon at the right end is dropped. Returns how many were added.
  int AddStrip(const QImage& strip);
  void Clear() { FImages.clear(); }

  // Draws icon index at (x, y); nothing for an index outside the list.
  void Draw(QPainter& painter, int x, int y, int index) const;

 private:
  int FWidth;
  int FHeight;
  QVector<QImage> FImages;
};
