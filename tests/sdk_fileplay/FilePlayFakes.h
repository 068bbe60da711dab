#pragma once
// What the file player tests watch: a picture path that decodes every
// payload into a picture of the header's size, and a collector of the
// callbacks and progress messages.
#include <QImage>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FilePlaySeams.h"
#include "RecFileBytes.h"
#include "class_FilePlay.h"

namespace fptest {

struct TSeen {
  std::mutex lock;
  std::condition_variable wake;
  std::vector<uint32_t> video;  // frame indices, in callback order
  std::vector<uint32_t> videoKeys;
  std::vector<uint32_t> audio;
  std::vector<uint32_t> messages;  // message numbers
  std::vector<uint32_t> lparams;
  std::vector<std::string> speedTexts;  // overlay item 3 of each rendered picture
  std::function<void(uint32_t)> onVideo;  // called inside the video callback; guarded by lock

  void SetOnVideo(std::function<void(uint32_t)> fn) {
    std::lock_guard<std::mutex> g(lock);
    onVideo = std::move(fn);
  }

  void Clear() {
    std::lock_guard<std::mutex> g(lock);
    video.clear();
    videoKeys.clear();
    audio.clear();
    messages.clear();
    lparams.clear();
    speedTexts.clear();
  }
  // Waits (generously) until pred holds under the lock.
  bool WaitFor(const std::function<bool()>& pred, int ms = 10000) {
    std::unique_lock<std::mutex> g(lock);
    return wake.wait_for(g, std::chrono::milliseconds(ms), pred);
  }
};

inline void VideoCb(const uint8_t* buf, int32_t, int32_t, int32_t key, int32_t, void* user) {
  auto* s = static_cast<TSeen*>(user);
  const uint32_t index = FrameIndexOf(buf);
  std::function<void(uint32_t)> hook;
  {
    std::lock_guard<std::mutex> g(s->lock);
    s->video.push_back(index);
    if (key != 0) s->videoKeys.push_back(index);
    hook = s->onVideo;
  }
  s->wake.notify_all();
  if (hook) hook(index);
}

inline void AudioCb(const uint8_t* buf, int32_t, int32_t, int32_t, int32_t, void* user) {
  auto* s = static_cast<TSeen*>(user);
  {
    std::lock_guard<std::mutex> g(s->lock);
    s->audio.push_back(FrameIndexOf(buf));
  }
  s->wake.notify_all();
}

class TFakeVideo final : public vz::IFileVideo {
 public:
  explicit TFakeVideo(TSeen* seen) : seen_(seen) {}
  bool Configure(int32_t, int32_t width, int32_t height, double, int32_t) override {
    width_ = width;
    height_ = height;
    return true;
  }
  void PassAudio(const uint8_t*, uint32_t) override {}
  bool Decode(const uint8_t*, uint32_t, uint64_t, const TOverlayFn& overlays) override {
    const vz::TFileTexts& texts = overlays(width_, height_, "25 fps ,  100 Kbps");
    {
      std::lock_guard<std::mutex> g(seen_->lock);
      seen_->speedTexts.push_back(texts[3].Visible ? texts[3].Text : std::string());
    }
    std::lock_guard<std::mutex> g(pictureLock_);
    picture_ = QImage(width_, height_, QImage::Format_RGB32);
    picture_.fill(0xff204080u);
    return true;
  }
  void Redraw() override {}
  bool AddDspInfo(const void*) override { return true; }
  bool DelDspInfo(const void*) override { return true; }
  void SetEqualScaling(bool) override {}
  void SetDrawHook(TDrawHook) override {}
  bool Snapshot(QImage& out) override {
    std::lock_guard<std::mutex> g(pictureLock_);
    if (picture_.isNull()) return false;
    out = picture_.copy();
    return true;
  }

 private:
  TSeen* seen_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::mutex pictureLock_;
  QImage picture_;  // guarded by pictureLock_
};

// Closes the player when the test leaves, also after a failed assertion,
// so its thread never outlives what it reports to.
class TPlayer {
 public:
  explicit TPlayer(std::shared_ptr<vz::TFilePlay> p) : p_(std::move(p)) {}
  ~TPlayer() {
    if (p_) p_->Close();
  }
  TPlayer(const TPlayer&) = delete;
  TPlayer& operator=(const TPlayer&) = delete;
  explicit operator bool() const { return p_ != nullptr; }
  vz::TFilePlay* operator->() const { return p_.get(); }
  vz::TFilePlay& operator*() const { return *p_; }

 private:
  std::shared_ptr<vz::TFilePlay> p_;
};

// A file player on the fakes, with every callback going to seen.
inline std::shared_ptr<vz::TFilePlay> OpenWithFakes(const std::string& path, TSeen& seen) {
  vz::TFilePlay::TParts parts;
  parts.video = [&seen] { return std::make_unique<TFakeVideo>(&seen); };
  parts.window = [&seen](uintptr_t, uint32_t msg, uint32_t, uint32_t lParam, const std::function<bool()>&) {
    {
      std::lock_guard<std::mutex> g(seen.lock);
      seen.messages.push_back(msg);
      seen.lparams.push_back(lParam);
    }
    seen.wake.notify_all();
  };
  auto play = vz::TFilePlay::Open(path, parts);
  if (play) play->SetCallbacks({VideoCb, AudioCb, nullptr, &seen, 1});
  return play;
}

}  // namespace fptest
