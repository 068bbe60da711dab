#include "class_DspInfoLst.h"

#include <algorithm>

#include "class_DspPresenter.h"

namespace vz {

TDspInfoLst::~TDspInfoLst() { TDspPresenter::ForgetList(this); }

bool TDspInfoLst::Add(TDspInfo* info) {
  if (!info) return false;
  std::lock_guard<std::mutex> hold(lock_);
  if (std::find(items_.begin(), items_.end(), info) == items_.end()) items_.push_back(info);
  return true;
}

bool TDspInfoLst::Remove(TDspInfo* info) {
  uint64_t seq;
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = std::find(items_.begin(), items_.end(), info);
    if (it == items_.end()) return true;
    items_.erase(it);
    seq = ++removals_;
  }
  TDspPresenter::Forget(this, info, seq);
  return true;
}

int TDspInfoLst::Count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(items_.size());
}

std::vector<TDspInfo*> TDspInfoLst::Items() const {
  std::lock_guard<std::mutex> hold(lock_);
  return items_;
}

bool TDspInfoLst::Contains(const TDspInfo* info) const {
  std::lock_guard<std::mutex> hold(lock_);
  return std::find(items_.begin(), items_.end(), info) != items_.end();
}

std::vector<TDspTarget> TDspInfoLst::ForChannel(int32_t channel, uint64_t* list_seq) const {
  std::vector<TDspTarget> out;
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    const TDspInfo* info = *it;
    if (info->Channel != channel) continue;
    out.push_back(TDspTarget{info, info->DspHandle, info->DspRect});
  }
  if (list_seq) *list_seq = removals_;
  return out;
}

}  // namespace vz
