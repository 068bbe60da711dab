#include "class_DspPresenter.h"

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <utility>

namespace vz {

bool TPresentSlot::Publish(int32_t channel, QImage& back, const QSize& picture,
                           const QRect& source, const void* list,
                           std::vector<TPresentTarget> targets, uint64_t list_seq) {
  std::lock_guard<std::mutex> hold(lock_);
  TChannelPicture& pic = pictures_[channel];
  pic.Image.swap(back);
  pic.Picture = picture;
  pic.Source = source;
  last_channel_ = channel;
  pending_[channel] = TPending{list, channel, list_seq, std::move(targets)};
  if (flush_posted_) return false;
  flush_posted_ = true;
  return true;
}

QImage TPresentSlot::Latest(int32_t channel, QRect* source) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = pictures_.find(channel);
  if (it == pictures_.end()) return QImage();
  if (source) *source = it->second.Source;
  return it->second.Image;
}

QImage TPresentSlot::LatestAny(QSize* picture, QRect* source) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = pictures_.find(last_channel_);
  if (it == pictures_.end()) return QImage();
  if (picture) *picture = it->second.Picture;
  if (source) *source = it->second.Source;
  return it->second.Image;
}

std::vector<TPresentSlot::TPending> TPresentSlot::TakePending() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<TPending> out;
  out.reserve(pending_.size());
  for (auto& [channel, p] : pending_) out.push_back(std::move(p));
  pending_.clear();
  flush_posted_ = false;
  return out;
}

namespace {

// Everything below lives on the GUI thread only.

struct TLayer {
  const void* List;
  const TDspInfo* Record;
  int32_t Channel;
  std::shared_ptr<TPresentSlot> Slot;
  QRect Target;
};

struct TWidgetLayers {
  QPointer<QWidget> Widget;
  std::vector<TLayer> Layers;
};

class TPaintFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

struct TGuiState {
  QPointer<TPaintFilter> Filter;
  std::map<QWidget*, TWidgetLayers> Widgets;
  // Records removed from their lists, with the list's removal count after
  // the removal: targets read before it are stale.
  std::map<std::pair<const void*, const TDspInfo*>, uint64_t> Removed;
  uint64_t Flushes = 0;
  bool InPaint = false;
};

TGuiState& Gui() {
  static TGuiState state;
  return state;
}

QApplication* App() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

TPaintFilter* Filter() {
  TGuiState& g = Gui();
  if (!g.Filter) g.Filter = new TPaintFilter(QCoreApplication::instance());
  return g.Filter;
}

TWidgetLayers& LayersOf(QWidget* w) {
  TGuiState& g = Gui();
  auto it = g.Widgets.find(w);
  if (it != g.Widgets.end()) return it->second;
  TWidgetLayers& entry = g.Widgets[w];
  entry.Widget = w;
  w->installEventFilter(Filter());
  QObject::connect(w, &QObject::destroyed, Filter(), [w] { Gui().Widgets.erase(w); });
  return entry;
}

// Removes the layers for which pred(widget, layer) holds and repaints where
// they were.
template <typename Pred>
void RemoveLayers(Pred pred) {
  for (auto& [w, entry] : Gui().Widgets) {
    auto& layers = entry.Layers;
    for (auto it = layers.begin(); it != layers.end();) {
      if (pred(w, *it)) {
        if (entry.Widget) entry.Widget->update(it->Target);
        it = layers.erase(it);
      } else {
        ++it;
      }
    }
  }
}

// The shortest time between two flushes of one slot: a refresh of the
// primary screen (60 Hz when it does not say).
int64_t RefreshNs() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const qreal hz = screen ? screen->refreshRate() : 0;
  return static_cast<int64_t>(1e9 / (hz >= 1 ? hz : 60));
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Flush(const std::shared_ptr<TPresentSlot>& slot);

// Flushes now, or once a refresh interval has passed since the slot's last
// flush; meanwhile the slot's flush stays posted, so the decoding thread
// only replaces its pictures.
void FlushPaced(const std::shared_ptr<TPresentSlot>& slot) {
  const int64_t wait = slot->LastFlushNs() + RefreshNs() - NowNs();
  if (wait > 0) {
    const int ms = static_cast<int>((wait + 999999) / 1000000);
    QTimer::singleShot(ms, Qt::PreciseTimer, Filter(), [slot] { Flush(slot); });
    return;
  }
  Flush(slot);
}

void Flush(const std::shared_ptr<TPresentSlot>& slot) {
  TGuiState& g = Gui();
  ++g.Flushes;
  slot->SetLastFlushNs(NowNs());
  for (TPresentSlot::TPending& p : slot->TakePending()) {
    const void* list = p.List;
    // Layers of this list and channel whose record is no longer among the
    // channel's targets go.
    RemoveLayers([&](QWidget*, const TLayer& l) {
      if (l.List != list || l.Channel != p.Channel) return false;
      return std::none_of(p.Targets.begin(), p.Targets.end(),
                          [&](const TPresentTarget& t) { return t.Record == l.Record; });
    });
    for (const TPresentTarget& t : p.Targets) {
      auto removed = g.Removed.find({list, t.Record});
      if (removed != g.Removed.end()) {
        if (p.ListSeq < removed->second) continue;  // read before its removal
        g.Removed.erase(removed);
      }
      QWidget* w = QWidget::find(static_cast<WId>(t.DspHandle));
      // A record moved to another widget leaves its old one.
      RemoveLayers([&](QWidget* owner, const TLayer& l) {
        return owner != w && l.List == list && l.Record == t.Record;
      });
      if (!w) continue;
      TWidgetLayers& entry = LayersOf(w);
      auto it = std::find_if(entry.Layers.begin(), entry.Layers.end(), [&](const TLayer& l) {
        return l.List == list && l.Record == t.Record;
      });
      if (it == entry.Layers.end()) {
        entry.Layers.push_back(TLayer{list, t.Record, p.Channel, slot, t.Target});
        w->update(t.Target);
      } else {
        if (it->Target != t.Target) w->update(it->Target);
        it->Channel = p.Channel;
        it->Slot = slot;
        it->Target = t.Target;
        w->update(t.Target);
      }
    }
    // Removals this flush has seen past are settled.
    for (auto it = g.Removed.begin(); it != g.Removed.end();) {
      const bool settled = it->first.first == list && it->second <= p.ListSeq;
      it = settled ? g.Removed.erase(it) : std::next(it);
    }
  }
}

bool TPaintFilter::eventFilter(QObject* watched, QEvent* event) {
  TGuiState& g = Gui();
  if (event->type() != QEvent::Paint || g.InPaint) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  auto found = g.Widgets.find(w);
  if (!w || found == g.Widgets.end() || found->second.Layers.empty()) return false;
  // The widget paints itself first; the pictures go on top, as a blit
  // into its window would.
  g.InPaint = true;
  static_cast<QObject*>(w)->event(event);
  g.InPaint = false;
  const QRegion region = static_cast<QPaintEvent*>(event)->region();
  QPainter painter(w);
  painter.setClipRegion(region);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  // The first listed target ends on top.
  const std::vector<TLayer> layers = found->second.Layers;
  for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
    if (!region.intersects(it->Target)) continue;
    QRect source;
    const QImage image = it->Slot->Latest(it->Channel, &source);
    if (image.isNull() || source.isEmpty() || it->Target.isEmpty()) continue;
    painter.drawImage(QRectF(it->Target), image, QRectF(source));
  }
  return true;
}

template <typename F>
void OnGui(F&& f) {
  QCoreApplication* app = App();
  if (!app) return;
  QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::QueuedConnection);
}

}  // namespace

void TDspPresenter::Post(const std::shared_ptr<TPresentSlot>& slot) {
  if (!App()) {
    slot->TakePending();  // nothing to present into; keep only the pictures
    return;
  }
  OnGui([slot] { FlushPaced(slot); });
}

void TDspPresenter::Forget(const void* list, const TDspInfo* record, uint64_t list_seq) {
  OnGui([list, record, list_seq] {
    Gui().Removed[{list, record}] = list_seq;
    RemoveLayers([&](QWidget*, const TLayer& l) { return l.List == list && l.Record == record; });
  });
}

void TDspPresenter::ForgetList(const void* list) {
  OnGui([list] {
    TGuiState& g = Gui();
    for (auto it = g.Removed.begin(); it != g.Removed.end();)
      it = it->first.first == list ? g.Removed.erase(it) : std::next(it);
    RemoveLayers([&](QWidget*, const TLayer& l) { return l.List == list; });
  });
}

int TDspPresenter::LayerCount(uint64_t dsp_handle) {
  QWidget* w = QWidget::find(static_cast<WId>(dsp_handle));
  auto it = Gui().Widgets.find(w);
  return it == Gui().Widgets.end() ? 0 : static_cast<int>(it->second.Layers.size());
}

uint64_t TDspPresenter::FlushCount() { return Gui().Flushes; }

}  // namespace vz
