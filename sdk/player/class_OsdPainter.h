#pragma once
// TOsdPainter: the on-screen display drawn onto each picture: outlined text
// items (time, title, frame and bit rate, the file player's extra line) and
// the recording and alarm indicators.
//
// Text: "Arial" bold with a cell height of the item's size (20 when 0),
// drawn four times in the inverse colour around the spot, then once in the
// colour. A text item is rendered once into a small transparent image and
// reused for every picture until its text, colour or size changes.
// Indicators: the recording dot and the alarm bell, drawn as shapes of a
// 40-pixel glyph cell with a one-pixel outline, black around light colours
// and white otherwise.
//
// Text needs the GUI application's fonts: without a QGuiApplication only the
// indicators are drawn. One object per decoding thread.
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <string>

class QPainter;

namespace vz {

// One overlay item. Colours are 0x00BBGGRR.
struct TTextParam {
  uint8_t Visible = 0;  // drawn only when nonzero
  int16_t X = 0;        // position in picture pixels
  int16_t Y = 0;
  uint32_t Colour = 0;
  int32_t Size = 0;  // font height of text items; 0 = 20
  std::string Text;  // UTF-8
};

// The 16 overlay colours by index (0x00BBGGRR); index outside 0..15 gives 0.
uint32_t OsdPaletteColour(int index);

class TOsdPainter {
 public:
  static constexpr int kTextItems = 4;

  // Text item `slot` (0..3) at (x, y) of the picture.
  void DrawText(QPainter& painter, int slot, const TTextParam& item);
  // One indicator glyph ("=" recording, "U" alarm) at (x, y).
  void DrawIndicator(QPainter& painter, const TTextParam& item);

 private:
  struct TSprite {
    std::string Text;
    uint32_t Colour = 0;
    int32_t Size = -1;
    QImage Image;
  };
  static QImage RenderText(const QString& text, uint32_t colour, int32_t size);

  std::array<TSprite, kTextItems> sprites_;
};

}  // namespace vz
