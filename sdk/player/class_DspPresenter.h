#pragma once
// TDspPresenter: puts the renderers' finished pictures into the target
// widgets, on the GUI thread only.
//
// A decoding thread never touches a widget. It publishes its latest picture
// per channel into its TPresentSlot (a swap under the slot's lock) together
// with the targets of that channel, and posts one flush to the application
// object; further pictures published before that flush runs only replace
// the slot's contents, so a slow GUI never queues pictures. The flush finds
// each target widget by its native window id and keeps one layer per
// display target on it: an event filter paints the widget as usual and then
// draws every layer's latest picture, scaled into the layer's rectangle.
// A layer stays until its target is removed from its list, its record no
// longer names this channel, or its list goes away.
//
// A slot is flushed at most once per refresh of the screen: a flush that
// comes sooner waits for the rest of that interval, while its pictures go on
// being replaced, so a stream faster than the screen costs the GUI thread
// only the paints the screen can show (a camera at 25 or 30 frames a second
// never waits).
//
// Without a QApplication there is nothing to present into; publishing then
// only keeps the latest picture (for snapshots).
#include <QImage>
#include <QRect>
#include <QSize>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace vz {

struct TDspInfo;

// Where one picture goes: a display target, its widget and the rectangle
// inside the widget (already letter-boxed when asked for).
struct TPresentTarget {
  const TDspInfo* Record = nullptr;  // the caller's record, identity only
  uint64_t DspHandle = 0;
  QRect Target;
};

// The pictures and targets one renderer hands the GUI thread.
class TPresentSlot {
 public:
  // Decoding thread. back holds the finished picture of channel (size
  // picture at the top left, shown part source); it is swapped with that
  // channel's previous picture, which comes back in back for reuse. The
  // targets are those of list that show the channel, read when the list's
  // removal count was list_seq. True when the caller must post a flush
  // (none is pending yet).
  bool Publish(int32_t channel, QImage& back, const QSize& picture, const QRect& source,
               const void* list, std::vector<TPresentTarget> targets, uint64_t list_seq);

  // Any thread: the latest picture of a channel (shared, not copied) and
  // its source rectangle; null when the channel has none yet.
  QImage Latest(int32_t channel, QRect* source) const;
  // Any thread: the picture published last, whatever its channel, with its
  // size and shown part.
  QImage LatestAny(QSize* picture, QRect* source) const;

  // GUI thread: takes the channels published since the last flush.
  struct TPending {
    const void* List;
    int32_t Channel;
    uint64_t ListSeq;
    std::vector<TPresentTarget> Targets;
  };
  std::vector<TPending> TakePending();

  // GUI thread only: when this slot was last flushed (steady clock, ns).
  int64_t LastFlushNs() const { return last_flush_ns_; }
  void SetLastFlushNs(int64_t ns) { last_flush_ns_ = ns; }

 private:
  struct TChannelPicture {
    QImage Image;
    QSize Picture;
    QRect Source;
  };
  mutable std::mutex lock_;
  std::map<int32_t, TChannelPicture> pictures_;  // guarded by lock_
  int32_t last_channel_ = -1;                    // guarded by lock_
  std::map<int32_t, TPending> pending_;          // guarded by lock_
  bool flush_posted_ = false;                    // guarded by lock_
  int64_t last_flush_ns_ = 0;                     // GUI thread only
};

class TDspPresenter {
 public:
  // Any thread: asks the GUI thread to present what the slot holds.
  static void Post(const std::shared_ptr<TPresentSlot>& slot);
  // Any thread: the record was removed from its list (whose removal count
  // is now list_seq); its layer goes and later flushes of targets read
  // before the removal do not bring it back.
  static void Forget(const void* list, const TDspInfo* record, uint64_t list_seq);
  // Any thread: the list is gone; every layer of it goes.
  static void ForgetList(const void* list);

  // GUI thread, for tests: how many layers the widget with this id carries.
  static int LayerCount(uint64_t dsp_handle);
  // GUI thread, for tests: how many flushes ran.
  static uint64_t FlushCount();
};

}  // namespace vz
