#include "class_DRender.h"

#include <QPainter>

#include <algorithm>
#include <utility>

#include "DspGeometry.h"
#include "class_DspPresenter.h"

namespace vz {

TRender::TRender(const TDspInfoLst* list, TRgbPath studio_path)
    : list_(list), converter_(studio_path), slot_(std::make_shared<TPresentSlot>()) {}

TRender::~TRender() {
  // The helper may still be writing into back_ with converter_.
  pending_.Job.Finish();
}

void TRender::SetPictureSize(int32_t width, int32_t height) {
  width_.store(width);
  height_.store(height);
  crop_.store(EdgeCropForWidth(width));
}

void TRender::SetDrawHook(TDrawHook hook) {
  std::lock_guard<std::mutex> hold(hook_lock_);
  hook_ = std::move(hook);
}

void TRender::SetTextItem(int index, const TTextParam& item) {
  if (index < 0 || index >= kTextItems) return;
  std::lock_guard<std::mutex> hold(items_lock_);
  text_items_[static_cast<size_t>(index)] = item;
}

TTextParam TRender::TextItem(int index) const {
  if (index < 0 || index >= kTextItems) return {};
  std::lock_guard<std::mutex> hold(items_lock_);
  return text_items_[static_cast<size_t>(index)];
}

void TRender::SetIndicatorItem(int index, const TTextParam& item) {
  if (index < 0 || index >= kIndicatorItems) return;
  std::lock_guard<std::mutex> hold(items_lock_);
  indicator_items_[static_cast<size_t>(index)] = item;
}

TTextParam TRender::IndicatorItem(int index) const {
  if (index < 0 || index >= kIndicatorItems) return {};
  std::lock_guard<std::mutex> hold(items_lock_);
  return indicator_items_[static_cast<size_t>(index)];
}

void TRender::SetOsdUpdater(TOsdUpdater updater) {
  std::lock_guard<std::mutex> hold(updater_lock_);
  updater_ = std::move(updater);
}

void TRender::ShowPicture(const TDecodedPicture& picture, const TFrameView& frame) {
  // The updater sets the overlays of this frame: the one before is drawn
  // with its own first.
  FinishPicture();
  {
    std::lock_guard<std::mutex> hold(updater_lock_);
    if (updater_) {
      try {
        updater_(*this, frame);
      } catch (...) {
        // The overlays stay as they were; the picture is still shown.
      }
    }
  }
  Render(picture, frame.Head.Chl, list_);
}

void TRender::DrawOverlays(QPainter& painter, int32_t channel) {
  std::array<TTextParam, kTextItems> texts;
  std::array<TTextParam, kIndicatorItems> indicators;
  {
    std::lock_guard<std::mutex> hold(items_lock_);
    texts = text_items_;
    indicators = indicator_items_;
  }
  for (int i = 0; i < kTextItems; ++i)
    if (texts[static_cast<size_t>(i)].Visible) osd_.DrawText(painter, i, texts[static_cast<size_t>(i)]);
  for (const TTextParam& item : indicators)
    if (item.Visible) osd_.DrawIndicator(painter, item);
  std::lock_guard<std::mutex> hold(hook_lock_);
  if (!hook_) return;
  painter.save();
  try {
    hook_(&painter, channel);
  } catch (...) {
    // The owner's drawing must not end the decoding thread.
  }
  painter.restore();
}

void TRender::FinishPicture() {
  if (!pending_active_.load()) return;
  pending_.Job.Finish();
  pending_active_.store(false);
  const int32_t w = pending_.Picture.Width;
  const int32_t h = pending_.Picture.Height;
  if (pending_.Converted) Complete(w, h, pending_.Channel, pending_.List);
}

void TRender::Render(const TDecodedPicture& picture, int32_t channel, const TDspInfoLst* list) {
  FinishPicture();  // pictures are shown in the order they came
  if (!list || picture.Width <= 0 || picture.Height <= 0) return;
  const TDecodedPicture* source = &picture;
  TDecodedPicture woven;
  if (IsTwoFieldWidth(picture.Width)) {
    if (!weaver_.Weave(picture, woven)) return;
    source = &woven;
  }
  const int w = source->Width;
  const int h = source->Height;
  // The surface grows to the largest picture and is reused.
  if (back_.isNull() || back_.width() < w || back_.height() < h) {
    back_ = QImage(std::max(w, back_.width()), std::max(h, back_.height()), QImage::Format_RGB32);
    if (back_.isNull()) return;
  }
  uint8_t* const bits = back_.bits();  // detaches here, not on the helper
  const int stride = static_cast<int>(back_.bytesPerLine());
  if (late_finish_.load() && TYuvToRgb::Large(w, h) && stage_.Stage(*source, pending_.Picture)) {
    pending_.Channel = channel;
    pending_.List = list;
    pending_.Converted = false;
    pending_.Job = TConvertPool::Start([this, bits, stride] {
      pending_.Converted = converter_.ConvertWhole(pending_.Picture, bits, stride);
    });
    pending_active_.store(true);
    return;
  }
  if (!converter_.Convert(*source, bits, stride)) return;
  Complete(w, h, channel, list);
}

void TRender::Complete(int32_t w, int32_t h, int32_t channel, const TDspInfoLst* list) {
  {
    QPainter painter(&back_);
    painter.setClipRect(QRect(0, 0, w, h));
    DrawOverlays(painter, channel);
  }
  const QRect shown = CropSourceRect(w, h, crop_.load());
  const bool equal = equal_scaling_.load();
  uint64_t list_seq = 0;
  std::vector<TPresentTarget> targets;
  for (const TDspTarget& t : list->ForChannel(channel, &list_seq))
    targets.push_back(TPresentTarget{t.Record, t.DspHandle, FitTargetRect(t.DspRect, w, h, equal)});
  rendered_.fetch_add(1);
  if (slot_->Publish(channel, back_, QSize(w, h), shown, list, std::move(targets), list_seq))
    TDspPresenter::Post(slot_);
}

QImage TRender::Capture() const {
  QSize size;
  QRect shown;
  const QImage latest = slot_->LatestAny(&size, &shown);
  if (latest.isNull() || size.isEmpty()) return QImage();
  if (shown == QRect(QPoint(0, 0), size)) return latest.copy(QRect(QPoint(0, 0), size));
  QImage out(size, QImage::Format_RGB32);
  if (out.isNull()) return QImage();
  QPainter painter(&out);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), latest, QRectF(shown));
  return out;
}

}  // namespace vz
