#pragma once
// TDspInfoLst: a player's ordered list of display targets (DspInfo.h): the
// caller's records, not copies. The caller keeps each record alive, and may
// change its rectangle at any time, until it has been removed; the renderer
// reads window, channel and rectangle afresh for every picture, under the
// list's lock, so a record is never read after Remove has returned.
#include <cstdint>
#include <mutex>
#include <vector>

#include "DspInfo.h"

namespace vz {

// One target as read for one picture.
struct TDspTarget {
  const TDspInfo* Record;  // identity only; never dereferenced after the read
  uint64_t DspHandle;
  TDspRect DspRect;
};

// TDspInfoLst: the player's ordered list of display targets. Safe from any
// thread: the API threads add and remove while the decoding thread reads.
class TDspInfoLst {
 public:
  TDspInfoLst() = default;
  // Whatever was drawn for the listed targets is taken off the widgets.
  ~TDspInfoLst();
  TDspInfoLst(const TDspInfoLst&) = delete;
  TDspInfoLst& operator=(const TDspInfoLst&) = delete;

  // Appends the record unless it is already listed; false for null.
  bool Add(TDspInfo* info);
  // Removes the record; the picture drawn for it is taken off its widget,
  // and nothing more is drawn for it. True also when it was not listed.
  bool Remove(TDspInfo* info);

  int Count() const;
  // The listed pointers, oldest first.
  std::vector<TDspInfo*> Items() const;
  bool Contains(const TDspInfo* info) const;
  // The targets of one channel, last added first, read from the caller's
  // records at this moment; list_seq (optional) receives the number of
  // removals made so far, read together with the targets.
  std::vector<TDspTarget> ForChannel(int32_t channel, uint64_t* list_seq = nullptr) const;

 private:
  mutable std::mutex lock_;
  std::vector<TDspInfo*> items_;  // guarded by lock_
  uint64_t removals_ = 0;         // guarded by lock_
};

}  // namespace vz
