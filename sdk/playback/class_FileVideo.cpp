#include "class_FileVideo.h"

#include <QImage>
#include <algorithm>
#include <mutex>
#include <vector>

namespace vz {

namespace {

// Keeps the display targets and flags; pictures appear once the decoder and
// renderer are attached.
class TFileVideo final : public IFileVideo {
 public:
  bool Configure(int32_t, int32_t, int32_t, double, int32_t) override { return false; }
  void PassAudio(const uint8_t*, uint32_t) override {}
  bool Decode(const uint8_t*, uint32_t, uint64_t) override { return false; }
  void DecodedSize(int32_t& width, int32_t& height) const override { width = height = 0; }
  void SetPictureSize(int32_t, int32_t, double) override {}
  std::string StatusLine() const override { return {}; }
  void Render(const TFileTexts&) override {}
  void Redraw() override {}
  bool AddDspInfo(const void* info) override {
    std::lock_guard<std::mutex> lock(lock_);
    if (std::find(targets_.begin(), targets_.end(), info) == targets_.end()) targets_.push_back(info);
    return true;
  }
  bool DelDspInfo(const void* info) override {
    std::lock_guard<std::mutex> lock(lock_);
    targets_.erase(std::remove(targets_.begin(), targets_.end(), info), targets_.end());
    return true;
  }
  void SetEqualScaling(bool) override {}
  void SetDrawHook(TDrawHook) override {}
  bool Snapshot(QImage&) override { return false; }

 private:
  std::mutex lock_;
  std::vector<const void*> targets_;  // guarded by lock_
};

}  // namespace

std::unique_ptr<IFileVideo> MakeFileVideo() { return std::make_unique<TFileVideo>(); }

}  // namespace vz
