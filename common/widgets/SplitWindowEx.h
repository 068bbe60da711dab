#pragma once
// The grid of video panes: 1 to 64 panes on a page, layouts with one or two
// large panes among small ones, title strips with state icons, a message for
// panes without video, a selection frame, drag-and-drop targets and a
// full-screen view of the selected pane.
//
// The control draws no video. Each item tells the host's renderer the window
// (VideoHandle) and the rectangle in it (DisplayRect) for that pane's video;
// the renderer puts its picture there on the GUI thread.
//
// Threads: everything runs on the GUI thread except RefreshItem, which other
// threads may call; it only posts an event and the decision is made on the
// GUI thread. The control paints into its own back buffer and blits it, so
// redrawing one pane's overlay does not repaint the others.
//
// Event properties are std::function members, called on the GUI thread with
// the control (or, when leaving full screen from there, the full-screen
// window) as sender. Colours are QColor; ColorFromBgr reads the 0x00BBGGRR
// values that skins and stored settings carry. Full screen covers the first
// screen Qt reports (the primary one), or the whole virtual desktop.
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "DspItem.h"
#include "ImageList.h"
#include "SplitGeometry.h"

class QMenu;
class QMimeData;
class TSplitFullScreen;

class TSplitWindowEx : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kItemCount = 64;
  // The window message the control posts to itself to redraw one pane, and
  // its two first parameters: overlay only, or clear the pane then overlay.
  static constexpr int kMsgPaneRedraw = 0x400 + 200;
  static constexpr int kRedrawOverlay = 30021;
  static constexpr int kRedrawPane = 30022;

  enum class TDragMode { Manual, Automatic };

  using TNotifyEvent = std::function<void(QObject* sender)>;
  using TOnSelectedNofity = std::function<void(QObject* sender, TDspItem* item, int index)>;
  using TMouseEvent =
      std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
  using TMouseMoveEvent = std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;
  using TKeyPressEvent = std::function<void(QObject* sender, QChar& key)>;
  // Source is the widget the drag came from (none for drags from other
  // programs); Data the dragged payload.
  using TDragOverEvent =
      std::function<void(QObject* sender, QObject* source, const QMimeData* data, int x, int y, bool& accept)>;
  using TDragDropEvent =
      std::function<void(QObject* sender, QObject* source, const QMimeData* data, int x, int y)>;
  using TEndDragEvent = std::function<void(QObject* sender, bool dropped)>;

  // The MIME type of a drag started from a pane (DragMode Automatic); the
  // payload is the 1-based item index as decimal text.
  static const char* const kPaneMimeType;

  explicit TSplitWindowEx(QWidget* parent = nullptr);
  ~TSplitWindowEx() override;

  // ---- published properties
  bool FullScreenToDeskTop() const { return FFullScreenToDeskTop; }
  void SetFullScreenToDeskTop(bool value);
  int MonitorNum() const { return FMonitorNum; }
  void SetMonitorNum(int value);
  bool CanDblClick() const { return FCanDblClick; }
  void SetCanDblClick(bool value);
  QMenu* PopupMenu() const;
  void SetPopupMenu(QMenu* menu);
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode mode) { FDragMode = mode; }
  int SplitNum() const { return FSplitNum; }
  void SetSplitNum(int value);
  QColor ColorBrush() const { return FColorBrush; }
  void SetColorBrush(const QColor& value);
  QColor ColorBorder() const { return FColorBorder; }
  void SetColorBorder(const QColor& value);
  QColor ColorSelected() const { return FColorSelected; }
  void SetColorSelected(const QColor& value);
  int LineWidth() const { return FLineWidth; }
  void SetLineWidth(int value);
  bool TitleShow() const { return FTitleShow; }
  void SetTitleShow(bool value);
  int TitleHeight() const { return FTitleHeight; }
  void SetTitleHeight(int value);
  QColor TitleFontColor() const { return FTitleFontColor; }
  void SetTitleFontColor(const QColor& value);
  QColor TitlebgColor() const { return FTitlebgColor; }
  void SetTitlebgColor(const QColor& value);
  const QImage& TitleGlyph() const { return FTitleGlyph; }
  void SetTitleGlyph(const QImage& value);
  QString Text() const { return FText; }
  void SetText(const QString& value);
  TImageList* TitleStateImgLst() const { return FTitleStateImgLst.data(); }
  void SetTitleStateImgLst(TImageList* list);
  TImageList* TitleStateDisImgLst() const { return FTitleStateDisImgLst.data(); }
  void SetTitleStateDisImgLst(TImageList* list);

  // ---- events
  TNotifyEvent OnPaint;
  TOnSelectedNofity OnSelected;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyPressEvent OnKeyPress;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TNotifyEvent OnStartDrag;
  TEndDragEvent OnEndDrag;

  // ---- items and panes
  // Item 1..64; none outside.
  TDspItem* Items(int index) const;
  bool ItemHasData(int index) const;
  TDspItem* SelectedItem() const;
  // Selected pane position on the page (1-based) and the page's first item
  // index minus one.
  int Selected() const { return FSelected; }
  int PageOffset() const { return FPageOffset; }
  int MaxIndex() const { return FMaxIndex; }
  int Cols() const { return FGrid.Cols; }
  int CellW() const { return FGrid.CellW; }
  int CellH() const { return FGrid.CellH; }

  // Pane position under a point in control coordinates; the current
  // selection when the pane there holds no usable item.
  int HitTest(int x, int y) const;
  // Rectangle of pane position 1..SplitNum on the current size; empty outside.
  vz::TRect PaneRectOf(int position) const;
  // Moves the selection frame to a pane position 1..SplitNum.
  void Select(int position);
  // Recomputes every item's rectangles for the current size and page. Runs
  // before each paint; hosts call it when they need the rectangles of a
  // control that has not been painted yet.
  void ComputeLayout();

  // Asks for one item's pane to be cleared and redrawn, or for the whole
  // control when index is 0 or the control is hidden. Safe from any thread.
  void RefreshItem(int index);

  void SetFullScreen(bool value);
  bool FullScreenShowing() const { return FFullScreenShowing; }
  // What a double-click on the full-screen window does.
  void ExitFullScreen();
  TSplitFullScreen* FullScreenWindow() const { return FFullScreen; }

  // Colours given as 0x00BBGGRR, the form skins and stored settings use.
  static QColor ColorFromBgr(unsigned bgr);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Invalidate();
  void AttachItems();
  void RenderBuffer();
  void DrawSeparators(QPainter& painter) const;
  void DrawFrame(QPainter& painter, int position, const QColor& color) const;
  void DrawOverlay(QPainter& painter, int position) const;
  void DrawCentredText(QPainter& painter, const vz::TRect& pane, const QString& text, int divisor,
                       bool bold) const;
  void HandlePaneMessage(int code, int position);
  void HandleRefreshRequest(int index);
  bool AcceptDrag(QDropEvent* event);
  void StartPaneDrag();
  QRect FullScreenBounds();

  bool FFullScreenToDeskTop = false;
  int FMonitorNum = 0;
  bool FCanDblClick = true;
  QPointer<QMenu> FPopupMenu;
  TDragMode FDragMode = TDragMode::Manual;
  int FSplitNum = 4;
  QColor FColorBrush;
  QColor FColorBorder;
  QColor FColorSelected;
  int FLineWidth = 4;
  bool FTitleShow = true;
  int FTitleHeight = 16;
  QColor FTitleFontColor;
  QColor FTitlebgColor;
  QImage FTitleGlyph;
  QString FText;
  QPointer<TImageList> FTitleStateImgLst;
  QPointer<TImageList> FTitleStateDisImgLst;

  std::array<std::unique_ptr<TDspItem>, kItemCount> FItems;
  vz::TSplitGrid FGrid;
  int FSelected = 1;
  int FPageOffset = 0;
  int FMaxIndex = kItemCount;

  TSplitFullScreen* FFullScreen = nullptr;  // child window, owned through Qt parenting
  bool FFullScreenShowing = false;
  TDspItem* FFullScreenItem = nullptr;  // the item whose video the full-screen window holds
  std::optional<QRect> FMonitorBounds;  // first monitor, read once

  QImage FBuffer;
  bool FBufferValid = false;
  QPoint FPressPos;
  bool FPressed = false;
};
