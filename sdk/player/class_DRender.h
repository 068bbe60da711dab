#pragma once
// TRender: puts a player's decoded pictures on the screen.
//
// For every picture (on the owner's decoding thread): weave two-field
// pictures into frames, convert into the renderer's own RGB32 image (its
// off-screen surface, grown to the largest picture seen, never shrunk), draw
// the on-screen display and the owner's draw hook onto it, then hand the
// finished image to the GUI thread with the display targets of the picture's
// channel (TDspPresenter). The GUI thread scales the picture's shown part
// (the edge crop) into each target's rectangle, letter-boxed when equal
// scaling is on. The decoding thread never touches a widget and never waits
// for the GUI.
//
// Threads: Render runs on one thread at a time (the owner's decoding
// thread). The setters may be called from any thread; the draw hook is
// called with its lock held, so once SetDrawHook returns the old hook is no
// longer running. Capture may run on any thread.
#include <QImage>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "FrameSeams.h"
#include "class_ConvertPool.h"
#include "class_DspInfoLst.h"
#include "class_FieldWeaver.h"
#include "class_OsdPainter.h"
#include "class_PictureStage.h"
#include "class_YuvToRgb.h"

class QPainter;

namespace vz {

class TPresentSlot;

class TRender : public IPictureSink {
 public:
  // The hook draws on the finished picture: painter on the picture (its
  // origin the picture's top left), channel. It must not keep the painter.
  using TDrawHook = std::function<void(QPainter* dc, int32_t channel)>;
  // Refreshes the overlay items for the frame a picture came from, just
  // before the picture is drawn (the live player: UpdateLiveOsd).
  using TOsdUpdater = std::function<void(TRender& render, const TFrameView& frame)>;
  static constexpr int kTextItems = TOsdPainter::kTextItems;  // time, title, rates, file line
  static constexpr int kIndicatorItems = 2;                    // recording, alarm

  // list: the owner's display list used by ShowPicture (may be null).
  explicit TRender(const TDspInfoLst* list = nullptr,
                   TRgbPath studio_path = TRgbPath::Scaler);
  ~TRender() override;
  TRender(const TRender&) = delete;
  TRender& operator=(const TRender&) = delete;

  // Set by the owner when the picture size is known (connect, file header,
  // size change); also sets the edge crop for that width.
  void SetPictureSize(int32_t width, int32_t height);
  int32_t PictureWidth() const { return width_.load(); }
  int32_t PictureHeight() const { return height_.load(); }
  void SetCropFactor(double crop) { crop_.store(crop); }
  double CropFactor() const { return crop_.load(); }
  void SetEqualScaling(bool on) { equal_scaling_.store(on); }
  bool EqualScaling() const { return equal_scaling_.load(); }

  void SetDrawHook(TDrawHook hook);
  // Set before pictures arrive; called on the rendering thread.
  void SetOsdUpdater(TOsdUpdater updater);
  // Overlay items; an index out of range is ignored (reads give an empty item).
  void SetTextItem(int index, const TTextParam& item);
  TTextParam TextItem(int index) const;
  void SetIndicatorItem(int index, const TTextParam& item);
  TTextParam IndicatorItem(int index) const;

  // Draws one picture of channel into the targets of list that show that
  // channel. Pictures 176 or 352 pixels wide are two stacked fields and
  // are woven first; one the deinterlacer cannot take is dropped. Nothing
  // is drawn without a list or for an unreadable picture.
  void Render(const TDecodedPicture& picture, int32_t channel, const TDspInfoLst* list);
  // IPictureSink: the OSD updater for the frame, then Render of the frame's
  // channel with the list given at construction.
  void ShowPicture(const TDecodedPicture& picture, const TFrameView& frame) override;

  // While set, a large picture is copied (TPictureStage) and converted on
  // the conversion helper, and Render returns at once; the
  // picture is finished (overlays, draw hook, presentation) by the next
  // ShowPicture or Render, or by FinishPicture, all on this same thread. The
  // owner sets it only when it will call FinishPicture before it waits.
  void SetLateFinish(bool on) { late_finish_.store(on); }
  bool PicturePending() const { return pending_active_.load(); }
  void FinishPicture();

  // The picture drawn last (any channel) at its own size, with its overlays,
  // the crop margins removed: the shown part enlarged to the full size.
  // Null when nothing has been drawn yet.
  QImage Capture() const;

  // Pictures finished since creation.
  uint64_t RenderedCount() const { return rendered_.load(); }

 private:
  void DrawOverlays(QPainter& painter, int32_t channel);
  // Overlays, draw hook and presentation of the picture converted into back_.
  void Complete(int32_t width, int32_t height, int32_t channel, const TDspInfoLst* list);

  // A picture being converted on the helper, into back_.
  struct TPending {
    TDecodedPicture Picture;  // reads stage_
    int32_t Channel = 0;
    const TDspInfoLst* List = nullptr;
    bool Converted = false;  // written by the job, read after its Finish
    TConvertJob Job;
  };

  const TDspInfoLst* const list_;
  std::atomic<int32_t> width_{0};
  std::atomic<int32_t> height_{0};
  std::atomic<double> crop_{0.0};
  std::atomic<bool> equal_scaling_{false};
  std::atomic<uint64_t> rendered_{0};

  mutable std::mutex items_lock_;
  std::array<TTextParam, kTextItems> text_items_;            // guarded by items_lock_
  std::array<TTextParam, kIndicatorItems> indicator_items_;  // guarded by items_lock_

  std::mutex hook_lock_;
  TDrawHook hook_;  // guarded by hook_lock_
  std::mutex updater_lock_;
  TOsdUpdater updater_;  // guarded by updater_lock_

  // Owned by the rendering thread.
  TYuvToRgb converter_;
  TFieldWeaver weaver_;
  TOsdPainter osd_;
  TPictureStage stage_;  // the pending picture's planes
  QImage back_;  // the image the next picture is drawn into
  // Atomic: the owner's other reading thread (a tunnel's) asks too; only
  // the thread that sets late_finish_ ever leaves a picture pending.
  std::atomic<bool> late_finish_{false};
  std::atomic<bool> pending_active_{false};
  TPending pending_;

  const std::shared_ptr<TPresentSlot> slot_;
};

}  // namespace vz
