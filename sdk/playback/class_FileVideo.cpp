#include "class_FileVideo.h"

#include <QImage>
#include <algorithm>
#include <mutex>
#include <vector>

#include "DecoderLock.h"
#include "class_Decode.h"

namespace vz {

namespace {

class TFileVideo final : public IFileVideo {
 public:
  bool Configure(int32_t codec, int32_t width, int32_t height, double, int32_t audioCodec) override {
    decode_.SetCodec(codec);
    decode_.SetWidth(width);
    decode_.SetHeight(height);
    decode_.SetAudioCodec(audioCodec);
    std::lock_guard<std::mutex> g(DecoderLock());
    return decode_.Open();
  }
  void PassAudio(const uint8_t* data, uint32_t length) override {
    decode_.PassAudio(data, static_cast<int32_t>(length));
  }
  bool Decode(const uint8_t* payload, uint32_t length, uint64_t second, const TOverlayFn& overlays) override {
    if (!decode_.Decode(payload, static_cast<int32_t>(length), second)) return false;
    const std::string status = decode_.Stats().StatusLine();
    decode_.TakePicture([&](const TDecodedPicture& picture) {
      overlays(picture.Width, picture.Height, status);
    });
    return true;
  }
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
  TAVDecode decode_;
  std::mutex lock_;
  std::vector<const void*> targets_;  // guarded by lock_
};

}  // namespace

std::unique_ptr<IFileVideo> MakeFileVideo() { return std::make_unique<TFileVideo>(); }

}  // namespace vz
