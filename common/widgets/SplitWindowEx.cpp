#include "SplitWindowEx.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <cstdlib>

#include "SplitFullScreen.h"

const char* const TSplitWindowEx::kPaneMimeType = "application/x-vz-split-pane";

namespace {

// Title strips never grow past this height; larger values are ignored.
constexpr int kTitleHeightLimit = 33;
// The message RefreshItem posts before it knows whether the pane is on the
// page: wParam carries the item index.
constexpr int kMsgRefreshRequest = TSplitWindowEx::kMsgPaneRedraw + 1;

// A window message posted to the control: number, first and second parameter.
class TSplitMsgEvent : public QEvent {
 public:
  static QEvent::Type EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  TSplitMsgEvent(int msg, int wParam, int lParam)
      : QEvent(EventType()), Msg(msg), WParam(wParam), LParam(lParam) {}
  int Msg;
  int WParam;
  int LParam;
};

// A font whose line (ascent + descent) is `height` pixels, the way title and
// message heights are meant: the whole text cell, not the em size.
QFont FontForCellHeight(const QFont& base, int height, bool bold) {
  QFont f(base);
  f.setBold(bold);
  f.setPixelSize(height);
  const int cell = QFontMetrics(f).height();
  if (cell > height) f.setPixelSize(std::max(1, height * height / cell));
  return f;
}

vz::TRect Inflate(const vz::TRect& r, int left, int top, int right, int bottom) {
  return vz::TRect{r.Left - left, r.Top - top, r.Right + right, r.Bottom + bottom};
}

}  // namespace

TSplitWindowEx::TSplitWindowEx(QWidget* parent)
    : QWidget(parent),
      FColorBrush(Qt::black),
      FColorBorder(ColorFromBgr(0x00FFFF)),
      FColorSelected(ColorFromBgr(0x0000FF)),
      FTitleFontColor(ColorFromBgr(0x00FFFF)),
      FTitlebgColor(ColorFromBgr(0xAF9176)) {
  for (int i = 0; i < kItemCount; ++i) FItems[static_cast<size_t>(i)] = std::make_unique<TDspItem>(i + 1);
  setFont(QFont(QStringLiteral("Arial")));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  setFocusPolicy(Qt::ClickFocus);
  resize(320, 240);
  FGrid = vz::SplitGridOf(FSplitNum, width(), height());
  FFullScreen = new TSplitFullScreen(this);
  FFullScreen->OnDblClick = [this] { ExitFullScreen(); };
  if (parent != nullptr) AttachItems();
}

TSplitWindowEx::~TSplitWindowEx() = default;

QColor TSplitWindowEx::ColorFromBgr(unsigned bgr) {
  return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                static_cast<int>((bgr >> 16) & 0xFFu));
}

// ---------------------------------------------------------------- properties

void TSplitWindowEx::SetFullScreenToDeskTop(bool value) {
  FFullScreenToDeskTop = value;
  Invalidate();
}

void TSplitWindowEx::SetMonitorNum(int value) {
  FMonitorNum = value;
  Invalidate();
}

void TSplitWindowEx::SetCanDblClick(bool value) {
  if (FFullScreenShowing) SetFullScreen(false);
  FCanDblClick = value;
}

QMenu* TSplitWindowEx::PopupMenu() const { return FPopupMenu.data(); }

void TSplitWindowEx::SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }

void TSplitWindowEx::SetSplitNum(int value) {
  if (vz::SplitKindOf(value) < 0 || value == FSplitNum) return;
  if (FFullScreenShowing) SetFullScreen(false);
  // Keep the selected item selected: move to the page that holds it.
  const int a = FPageOffset + FSelected;
  FSplitNum = value;
  FPageOffset = value * ((a - 1) / value);
  FSelected = a - FPageOffset;
  ComputeLayout();
  Invalidate();
  AttachItems();
}

void TSplitWindowEx::SetColorBrush(const QColor& value) {
  FColorBrush = value;
  Invalidate();
}

void TSplitWindowEx::SetColorBorder(const QColor& value) {
  FColorBorder = value;
  Invalidate();
}

void TSplitWindowEx::SetColorSelected(const QColor& value) {
  FColorSelected = value;
  Invalidate();
}

void TSplitWindowEx::SetLineWidth(int value) {
  // A negative width would turn every pane inside out.
  if (value < 0) return;
  FLineWidth = value;
  Invalidate();
}

void TSplitWindowEx::SetTitleShow(bool value) {
  FTitleShow = value;
  Invalidate();
}

void TSplitWindowEx::SetTitleHeight(int value) {
  if (value < 0 || value >= kTitleHeightLimit) return;
  FTitleHeight = value;
  Invalidate();
}

void TSplitWindowEx::SetTitleFontColor(const QColor& value) {
  FTitleFontColor = value;
  Invalidate();
}

void TSplitWindowEx::SetTitlebgColor(const QColor& value) {
  FTitlebgColor = value;
  Invalidate();
}

void TSplitWindowEx::SetTitleGlyph(const QImage& value) {
  FTitleGlyph = value.copy();
  if (FTitleShow) Invalidate();
}

void TSplitWindowEx::SetText(const QString& value) {
  FText = value;
  for (auto& item : FItems) item->Text = value;
  Invalidate();
}

void TSplitWindowEx::SetTitleStateImgLst(TImageList* list) {
  FTitleStateImgLst = list;
  Invalidate();
}

void TSplitWindowEx::SetTitleStateDisImgLst(TImageList* list) {
  FTitleStateDisImgLst = list;
  Invalidate();
}

// ---------------------------------------------------------------- items

TDspItem* TSplitWindowEx::Items(int index) const {
  if (index < 1 || index > kItemCount) return nullptr;
  return FItems[static_cast<size_t>(index - 1)].get();
}

bool TSplitWindowEx::ItemHasData(int index) const {
  const TDspItem* item = Items(index);
  return item != nullptr && item->Data() != nullptr;
}

TDspItem* TSplitWindowEx::SelectedItem() const { return Items(FPageOffset + FSelected); }

int TSplitWindowEx::HitTest(int x, int y) const {
  const vz::TSplitGrid grid = vz::SplitGridOf(FSplitNum, width(), height());
  const int position = vz::SplitHitPosition(grid, width(), height(), x, y);
  if (position < 1 || position > FSplitNum || FPageOffset + position > FMaxIndex) return FSelected;
  return position;
}

vz::TRect TSplitWindowEx::PaneRectOf(int position) const {
  return vz::SplitPaneRect(vz::SplitGridOf(FSplitNum, width(), height()), FLineWidth, height(), position);
}

void TSplitWindowEx::ComputeLayout() {
  if (FFullScreenShowing) {
    if (FFullScreenItem != nullptr) FFullScreenItem->DisplayRect = vz::TRect{0, 0, FFullScreen->width(), FFullScreen->height()};
    return;
  }
  FGrid = vz::SplitGridOf(FSplitNum, width(), height());
  for (auto& item : FItems) {
    const int i = item->Index();
    if (i > FPageOffset && i <= FPageOffset + FSplitNum) {
      const vz::TRect p = vz::SplitPaneRect(FGrid, FLineWidth, height(), i - FPageOffset);
      const int t = std::min(p.Bottom, FTitleShow ? FTitleHeight : 0);
      item->PaneRect = p;
      item->TitleRect = vz::TRect{p.Left, p.Top, p.Right, p.Top + t};
      item->VideoRect = vz::TRect{p.Left + 1, p.Top + t + 1, p.Right - 1, p.Bottom - 1};
    } else {
      item->PaneRect = item->TitleRect = item->VideoRect = vz::TRect{};
    }
    item->DisplayRect = item->VideoRect;
  }
}

void TSplitWindowEx::AttachItems() {
  const WId handle = winId();
  for (auto& item : FItems) {
    item->VideoHandle = handle;
    item->DisplayRect = item->VideoRect;
  }
}

// ---------------------------------------------------------------- drawing

void TSplitWindowEx::Invalidate() {
  FBufferValid = false;
  update();
}

void TSplitWindowEx::paintEvent(QPaintEvent* event) {
  if (!FBufferValid || FBuffer.size() != size()) RenderBuffer();
  if (FBuffer.isNull()) return;
  QPainter painter(this);
  painter.drawImage(event->rect(), FBuffer, event->rect());
}

void TSplitWindowEx::RenderBuffer() {
  ComputeLayout();
  if (width() <= 0 || height() <= 0) {
    FBuffer = QImage();
    FBufferValid = false;
    return;
  }
  if (FBuffer.size() != size()) FBuffer = QImage(size(), QImage::Format_RGB32);
  FBuffer.fill(FColorBrush);
  {
    QPainter painter(&FBuffer);
    DrawSeparators(painter);
    DrawFrame(painter, FSelected, FColorSelected);
    for (int p = 1; p <= FSplitNum; ++p) DrawOverlay(painter, p);
  }
  FBufferValid = true;
  if (OnPaint) OnPaint(this);
}

void TSplitWindowEx::DrawSeparators(QPainter& painter) const {
  const int w = width();
  const int h = height();
  const int lw = FLineWidth;
  const int c = FGrid.CellW;
  const int r = FGrid.CellH;
  painter.setPen(QPen(FColorBorder, lw, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  if (FGrid.Kind == 0) {
    for (int a = 0; a <= FGrid.Cols; ++a) {
      painter.drawLine(a * c, 0, a * c, FGrid.Cols * r);
      const int y = std::min(a * r, h - 2 * lw);
      painter.drawLine(0, y, FGrid.Cols * c, y);
    }
    return;
  }
  painter.drawRect(0, 0, w, h);
  switch (FGrid.Kind) {
    case 1:
      painter.drawLine(c, 0, c, h - 2 * lw);
      break;
    case 2:
      painter.drawLine(2 * c, 0, 2 * c, h);
      painter.drawLine(0, 2 * r, w, 2 * r);
      painter.drawLine(2 * c, r, w, r);
      painter.drawLine(c, 2 * r, c, h - 2 * lw);
      break;
    case 3:
      painter.drawLine(3 * c, 0, 3 * c, 3 * r);
      painter.drawLine(0, 3 * r, w, 3 * r);
      for (int a = 1; a <= 3; ++a) painter.drawLine(3 * c, a * r, w, a * r);
      for (int a = 1; a <= 3; ++a) painter.drawLine(a * c, 3 * r, a * c, h);
      break;
    case 4:
      painter.drawLine(2 * c, 0, 2 * c, 2 * r);
      for (int a = 2; a <= 3; ++a) painter.drawLine(0, a * r, w, a * r);
      for (int a = 1; a <= 3; ++a) painter.drawLine(a * c, 2 * r, a * c, h);
      break;
    case 5:
      painter.drawLine(2 * c, r, w, r);
      for (int a = 2; a <= 3; ++a) {
        painter.drawLine(0, a * r, w, a * r);
        painter.drawLine(a * c, 0, a * c, 2 * r);
      }
      for (int a = 1; a <= 3; ++a) painter.drawLine(a * c, 2 * r, a * c, h);
      break;
    default:
      break;
  }
}

void TSplitWindowEx::DrawFrame(QPainter& painter, int position, const QColor& color) const {
  const vz::TRect p = PaneRectOf(position);
  if (p.IsEmpty()) return;
  const int half = FLineWidth / 2;
  const vz::TRect f = Inflate(p, half / 2, half / 2, half, half);
  painter.setPen(QPen(color, half, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(f.ToQRect());
}

void TSplitWindowEx::DrawCentredText(QPainter& painter, const vz::TRect& pane, const QString& text,
                                     int divisor, bool bold) const {
  const int fontHeight = (pane.Bottom - pane.Top) / divisor;
  if (fontHeight <= 0 || text.isEmpty()) return;
  const QFont f = FontForCellHeight(font(), fontHeight, bold);
  const QFontMetrics metrics(f);
  const int textWidth = metrics.horizontalAdvance(text);
  const int x = (pane.Left + pane.Right - textWidth) / 2;
  const int y = (pane.Top + pane.Bottom - fontHeight) / 2;
  painter.setFont(f);
  painter.setPen(FTitleFontColor);
  painter.drawText(x, y + metrics.ascent(), text);
}

void TSplitWindowEx::DrawOverlay(QPainter& painter, int position) const {
  const int index = FPageOffset + position;
  if (index < 1 || index > FMaxIndex) return;
  const TDspItem* item = Items(index);
  const vz::TRect p = PaneRectOf(position);
  if (item == nullptr || p.IsEmpty()) return;
  painter.save();
  painter.setClipRect(p.ToQRect());
  if (FTitleShow) {
    const vz::TRect strip{p.Left, p.Top, p.Right, p.Top + std::min(std::abs(p.Bottom), FTitleHeight)};
    if (!FTitleGlyph.isNull())
      painter.drawImage(strip.ToQRect(), FTitleGlyph);
    else
      painter.fillRect(strip.ToQRect(), FTitlebgColor);
    if (FTitleHeight > 0 && !item->Title.isEmpty()) {
      const QFont f = FontForCellHeight(font(), FTitleHeight, false);
      painter.setFont(f);
      painter.setPen(FTitleFontColor);
      painter.drawText(p.Left + 4, p.Top + QFontMetrics(f).ascent(), item->Title);
    }
    if (!item->GetState(1)) DrawCentredText(painter, p, item->Text, 8, false);
    for (int s = 1; s <= TDspItem::kStateCount; ++s) {
      const TImageList* list = item->GetState(s) ? FTitleStateImgLst.data() : FTitleStateDisImgLst.data();
      if (list == nullptr || list->Count() < s) continue;
      list->Draw(painter, p.Right - FLineWidth - s * (list->Width() + 2), p.Top, s - 1);
    }
  } else if (item->Data() == nullptr || !item->GetState(1)) {
    DrawCentredText(painter, p, item->Text, 12, true);
  }
  painter.restore();
}

void TSplitWindowEx::Select(int position) {
  if (position == FSelected || position < 1 || position > FSplitNum) return;
  const int old = FSelected;
  FSelected = position;
  if (!FBufferValid) {
    update();
    return;
  }
  {
    QPainter painter(&FBuffer);
    DrawFrame(painter, old, FColorBorder);
    DrawFrame(painter, position, FColorSelected);
  }
  const int margin = FLineWidth + 1;
  update(Inflate(PaneRectOf(old), margin, margin, margin, margin).ToQRect());
  update(Inflate(PaneRectOf(position), margin, margin, margin, margin).ToQRect());
}

// ---------------------------------------------------------------- messages

void TSplitWindowEx::RefreshItem(int index) {
  QCoreApplication::postEvent(this, new TSplitMsgEvent(kMsgRefreshRequest, index, 0));
}

void TSplitWindowEx::HandleRefreshRequest(int index) {
  if (!isVisible() || index == 0) {
    Invalidate();
    return;
  }
  if (index > FPageOffset && index <= FPageOffset + FSplitNum)
    QCoreApplication::postEvent(this, new TSplitMsgEvent(kMsgPaneRedraw, kRedrawPane, index - FPageOffset));
}

void TSplitWindowEx::HandlePaneMessage(int code, int position) {
  if (position < 1 || position > FSplitNum) return;
  if (code != kRedrawOverlay && code != kRedrawPane) return;
  if (!FBufferValid) {
    update();
    return;
  }
  const vz::TRect p = PaneRectOf(position);
  {
    QPainter painter(&FBuffer);
    if (code == kRedrawPane) painter.fillRect(Inflate(p, -1, -1, -1, -1).ToQRect(), FColorBrush);
    DrawOverlay(painter, position);
  }
  update(p.ToQRect());
}

bool TSplitWindowEx::event(QEvent* e) {
  if (e->type() == TSplitMsgEvent::EventType()) {
    const auto* msg = static_cast<TSplitMsgEvent*>(e);
    if (msg->Msg == kMsgRefreshRequest)
      HandleRefreshRequest(msg->WParam);
    else if (msg->Msg == kMsgPaneRedraw)
      HandlePaneMessage(msg->WParam, msg->LParam);
    return true;
  }
  const bool handled = QWidget::event(e);
  if (e->type() == QEvent::ParentChange && parentWidget() != nullptr) AttachItems();
  return handled;
}

// ---------------------------------------------------------------- input

void TSplitWindowEx::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  Select(HitTest(pos.x(), pos.y()));
  if (OnSelected) OnSelected(this, SelectedItem(), FPageOffset + FSelected);
  FPressed = event->button() == Qt::LeftButton;
  FPressPos = pos;
  if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
  QWidget::mousePressEvent(event);
}

void TSplitWindowEx::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(this, event->modifiers(), pos.x(), pos.y());
  if (FPressed && FDragMode == TDragMode::Automatic && (event->buttons() & Qt::LeftButton) &&
      (pos - FPressPos).manhattanLength() >= QApplication::startDragDistance()) {
    FPressed = false;
    StartPaneDrag();
  }
  QWidget::mouseMoveEvent(event);
}

void TSplitWindowEx::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(pos);
  FPressed = false;
  if (OnMouseUp) OnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
  if (click && OnClick) OnClick(this);
  QWidget::mouseReleaseEvent(event);
}

void TSplitWindowEx::mouseDoubleClickEvent(QMouseEvent* event) {
  const TDspItem* item = SelectedItem();
  if (FCanDblClick && item != nullptr && item->Data() != nullptr) SetFullScreen(true);
  if (OnDblClick) OnDblClick(this);
  QWidget::mouseDoubleClickEvent(event);
}

void TSplitWindowEx::keyPressEvent(QKeyEvent* event) {
  if (OnKeyPress && !event->text().isEmpty()) {
    QChar key = event->text().at(0);
    OnKeyPress(this, key);
    return;
  }
  QWidget::keyPressEvent(event);
}

void TSplitWindowEx::contextMenuEvent(QContextMenuEvent* event) {
  if (FPopupMenu.isNull()) {
    QWidget::contextMenuEvent(event);
    return;
  }
  FPopupMenu->popup(event->globalPos());
  event->accept();
}

void TSplitWindowEx::StartPaneDrag() {
  if (OnStartDrag) OnStartDrag(this);
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kPaneMimeType), QByteArray::number(FPageOffset + FSelected));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  const Qt::DropAction result = drag->exec(Qt::MoveAction);
  if (OnEndDrag) OnEndDrag(this, result != Qt::IgnoreAction);
}

bool TSplitWindowEx::AcceptDrag(QDropEvent* event) {
  // Without a handler nothing is accepted; with one, accepted unless it says no.
  bool accept = false;
  if (OnDragOver) {
    accept = true;
    const QPoint pos = event->position().toPoint();
    OnDragOver(this, event->source(), event->mimeData(), pos.x(), pos.y(), accept);
  }
  if (accept)
    event->acceptProposedAction();
  else
    event->ignore();
  return accept;
}

void TSplitWindowEx::dragEnterEvent(QDragEnterEvent* event) { AcceptDrag(event); }

void TSplitWindowEx::dragMoveEvent(QDragMoveEvent* event) { AcceptDrag(event); }

void TSplitWindowEx::dropEvent(QDropEvent* event) {
  const QPoint pos = event->position().toPoint();
  // A failing host handler must not take the drop, or the event loop, with it.
  try {
    if (OnDragDrop) OnDragDrop(this, event->source(), event->mimeData(), pos.x(), pos.y());
    Select(HitTest(pos.x(), pos.y()));
  } catch (...) {
  }
  event->acceptProposedAction();
}

// ---------------------------------------------------------------- size and full screen

void TSplitWindowEx::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (OnResize) OnResize(this);
  FBufferValid = false;
  if (isVisible() && !FFullScreenShowing) repaint();
}

QRect TSplitWindowEx::FullScreenBounds() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return QRect(QPoint(0, 0), size());
  if (FFullScreenToDeskTop) return screens.first()->virtualGeometry();
  if (!FMonitorBounds) FMonitorBounds = screens.first()->geometry();
  return *FMonitorBounds;
}

void TSplitWindowEx::SetFullScreen(bool value) {
  if (value == FFullScreenShowing) return;
  if (value) {
    const QRect bounds = FullScreenBounds();
    FFullScreen->setGeometry(bounds);
    FFullScreen->show();
    FFullScreen->raise();
    FFullScreen->activateWindow();
    FFullScreenShowing = true;
    FFullScreenItem = SelectedItem();
    if (FFullScreenItem != nullptr) {
      FFullScreenItem->VideoHandle = FFullScreen->winId();
      FFullScreenItem->DisplayRect = vz::TRect{0, 0, bounds.width(), bounds.height()};
    }
  } else {
    FFullScreen->hide();
    FFullScreenShowing = false;
    // The control may have been resized meanwhile; hand back current rectangles.
    ComputeLayout();
    TDspItem* item = FFullScreenItem != nullptr ? FFullScreenItem : SelectedItem();
    FFullScreenItem = nullptr;
    if (item != nullptr) {
      item->VideoHandle = winId();
      item->DisplayRect = item->VideoRect;
    }
    Invalidate();
    if (OnDblClick) OnDblClick(this);
  }
  if (OnResize) OnResize(this);
}

void TSplitWindowEx::ExitFullScreen() {
  SetFullScreen(false);
  if (OnDblClick) OnDblClick(FFullScreen);
}
