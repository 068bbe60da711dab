#include "class_OsdPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vz {

namespace {

constexpr uint32_t kPalette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                   0x808000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF,
                                   0xFFFF00, 0x808080, 0xC0C0C0, 0xFFFFFF};

QColor ToColor(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

uint32_t Inverse(uint32_t bgr) { return ~bgr & 0xFFFFFF; }

bool HaveFonts() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

// "Arial" bold whose cell (ascent + descent) is `height` pixels, as a font
// asked for by cell height is sized.
QFont CellFont(int height) {
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  font.setPixelSize(height);
  const qreal cell = QFontMetricsF(font).ascent() + QFontMetricsF(font).descent();
  if (cell > 0) font.setPixelSize(std::max(1, static_cast<int>(std::lround(height * height / cell))));
  return font;
}

// The glyph shapes in a 40-pixel cell, origin at the cell's top left.
QPainterPath IndicatorShape(const std::string& glyph) {
  QPainterPath path;
  if (glyph == "=") {  // recording: a dot
    path.addEllipse(QRectF(8, 8, 24, 24));
  } else {  // alarm: a bell
    path.moveTo(20, 5);
    path.cubicTo(29, 5, 31, 12, 31, 20);
    path.lineTo(31, 26);
    path.lineTo(35, 31);
    path.lineTo(5, 31);
    path.lineTo(9, 26);
    path.lineTo(9, 20);
    path.cubicTo(9, 12, 11, 5, 20, 5);
    path.addEllipse(QRectF(16.5, 31, 7, 6));
  }
  return path;
}

}  // namespace

uint32_t OsdPaletteColour(int index) { return index >= 0 && index < 16 ? kPalette[index] : 0; }

QImage TOsdPainter::RenderText(const QString& text, uint32_t colour, int32_t size) {
  const QFont font = CellFont(size);
  const QFontMetricsF fm(font);
  // Room for the outline: offsets 0..2 around the text's own cell.
  const int w = static_cast<int>(std::ceil(fm.horizontalAdvance(text))) + 4;
  const int h = static_cast<int>(std::ceil(fm.ascent() + fm.descent())) + 4;
  QImage sprite(std::max(1, w), std::max(1, h), QImage::Format_ARGB32_Premultiplied);
  sprite.fill(Qt::transparent);
  QPainter p(&sprite);
  p.setFont(font);
  const qreal base = fm.ascent();
  p.setPen(ToColor(Inverse(colour)));
  for (const QPointF off : {QPointF(0, 0), QPointF(0, 2), QPointF(2, 2), QPointF(2, 0)})
    p.drawText(off + QPointF(0, base), text);
  p.setPen(ToColor(colour));
  p.drawText(QPointF(1, 1 + base), text);
  return sprite;
}

void TOsdPainter::DrawText(QPainter& painter, int slot, const TTextParam& item) {
  if (slot < 0 || slot >= kTextItems || item.Text.empty() || !HaveFonts()) return;
  const int32_t size = item.Size > 0 ? item.Size : 20;
  TSprite& s = sprites_[static_cast<size_t>(slot)];
  if (s.Image.isNull() || s.Text != item.Text || s.Colour != item.Colour || s.Size != size) {
    s.Text = item.Text;
    s.Colour = item.Colour;
    s.Size = size;
    s.Image = RenderText(QString::fromUtf8(item.Text.data(), static_cast<int>(item.Text.size())),
                         item.Colour, size);
  }
  // The outline copies start at (x + 15, y + 15), the text at (x + 16, y + 16).
  painter.drawImage(QPoint(item.X + 15, item.Y + 15), s.Image);
}

void TOsdPainter::DrawIndicator(QPainter& painter, const TTextParam& item) {
  const uint32_t c = item.Colour & 0xFFFFFF;
  const bool light = c == 0x008080 || c == 0x00FFFF || c == 0xC0C0C0 || c == 0xFFFFFF;
  const QPainterPath shape = IndicatorShape(item.Text);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  const QColor outline = light ? QColor(Qt::black) : QColor(Qt::white);
  for (const QPointF off : {QPointF(19, 19), QPointF(19, 21), QPointF(21, 21), QPointF(21, 19)})
    painter.fillPath(shape.translated(off + QPointF(item.X, item.Y)), outline);
  painter.fillPath(shape.translated(QPointF(item.X + 20, item.Y + 20)), ToColor(c));
  painter.restore();
}

}  // namespace vz
