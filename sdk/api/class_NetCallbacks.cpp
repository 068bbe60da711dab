#include "class_NetCallbacks.h"

#include <cstring>
#include <unordered_map>

#include "AVFrameHead.h"
#include "LogWriter.h"
#include "SdkTime.h"

namespace vz {

namespace {

// The player whose callback this thread is running, if any.
thread_local const void* t_in_callback_of = nullptr;

class TCallbackScope {
 public:
  explicit TCallbackScope(const void* owner) : saved_(t_in_callback_of) { t_in_callback_of = owner; }
  ~TCallbackScope() { t_in_callback_of = saved_; }
  TCallbackScope(const TCallbackScope&) = delete;
  TCallbackScope& operator=(const TCallbackScope&) = delete;

 private:
  const void* saved_;
};

std::mutex g_players_lock;
// Guarded by g_players_lock.
std::unordered_map<const void*, std::shared_ptr<TNetCallbacks>>& Players() {
  static auto* players = new std::unordered_map<const void*, std::shared_ptr<TNetCallbacks>>();
  return *players;
}

}  // namespace

std::shared_ptr<TNetCallbacks> TNetCallbacks::Attach(const void* owner) {
  auto cb = std::make_shared<TNetCallbacks>(owner);
  std::lock_guard<std::mutex> g(g_players_lock);
  Players()[owner] = cb;
  return cb;
}

std::shared_ptr<TNetCallbacks> TNetCallbacks::Of(const void* owner) {
  std::lock_guard<std::mutex> g(g_players_lock);
  const auto it = Players().find(owner);
  return it == Players().end() ? nullptr : it->second;
}

void TNetCallbacks::Detach(const void* owner) {
  std::shared_ptr<TNetCallbacks> gone;  // released outside the lock
  std::lock_guard<std::mutex> g(g_players_lock);
  const auto it = Players().find(owner);
  if (it == Players().end()) return;
  gone = std::move(it->second);
  Players().erase(it);
}

bool TNetCallbacks::InCallbackOf(const void* owner) { return owner != nullptr && t_in_callback_of == owner; }

void TNetCallbacks::SetLive(const TLive& live) {
  std::unique_lock<std::mutex> quiet(call_lock_, std::defer_lock);
  if (!InCallbackOf(owner_)) quiet.lock();
  std::lock_guard<std::mutex> g(data_lock_);
  live_ = live;
}

TNetCallbacks::TLive TNetCallbacks::Live() const {
  std::lock_guard<std::mutex> g(data_lock_);
  return live_;
}

void TNetCallbacks::SetRecord(const TRecord& record) {
  std::lock_guard<std::mutex> g(data_lock_);
  record_ = record;
}

TNetCallbacks::TRecord TNetCallbacks::Record() const {
  std::lock_guard<std::mutex> g(data_lock_);
  return record_;
}

template <typename F>
void TNetCallbacks::Call(const char* kind, F&& f) {
  // A callback of this player already running on this thread (one callback
  // leading to another) holds the lock itself.
  std::unique_lock<std::mutex> g(call_lock_, std::defer_lock);
  if (!InCallbackOf(owner_)) g.lock();
  TCallbackScope scope(owner_);
  try {
    f(Live());
  } catch (...) {
    Failed(kind);
  }
}

void TNetCallbacks::Failed(const char* kind) {
  const uint64_t n = failures_.fetch_add(1) + 1;
  if (n == 1 || n % 1000 == 0) WriteLogF("vzNet callback except:%s (%llu)", kind, static_cast<unsigned long long>(n));
}

void TNetCallbacks::AVData(const uint8_t* frame, uint32_t total_bytes) {
  if (frame == nullptr || total_bytes < kFrameHeadSize) return;
  TAVFrameHead head;
  std::memcpy(&head, frame, sizeof head);
  const bool video = head.Magic == kMarkerVideo;
  if (!video && head.Magic != kMarkerAudio) return;
  const auto* payload = frame + kFrameHeadSize;
  const auto len = static_cast<int32_t>(total_bytes - kFrameHeadSize);
  Call(video ? "Video" : "Audio", [&](const TLive& cb) {
    vzNetDataCallback fn = video ? cb.Video : cb.Audio;
    if (fn != nullptr) fn(payload, len, head.Chl, head.IsIFrame, head.StreamType, cb.UserData);
  });
}

void TNetCallbacks::Alarm(int32_t type, int32_t chl, double time) {
  const int64_t seconds = DateTimeToSeconds(time);
  Call("Alarm", [&](const TLive& cb) {
    if (cb.Alarm != nullptr) cb.Alarm(type, seconds, chl, cb.UserData);
  });
}

void TNetCallbacks::Draw(void* dc, int32_t chl) {
  Call("Draw", [&](const TLive& cb) {
    if (cb.Draw != nullptr) cb.Draw(dc, chl, cb.UserData);
  });
}

bool TNetCallbacks::RecStart(const char* addr, int32_t port, int32_t chl, int32_t kind, double start,
                             const char* file, int32_t* slot) {
  const TRecord cb = Record();
  if (cb.Start == nullptr) return false;
  try {
    cb.Start(addr, port, chl, kind, start, file, slot);
  } catch (...) {
    Failed("RecStart");
  }
  return true;
}

bool TNetCallbacks::RecStop(const char* addr, int32_t port, int32_t chl, int32_t kind, int64_t bytes, double start,
                            double stop, const char* file, int32_t slot) {
  const TRecord cb = Record();
  if (cb.Stop == nullptr) return false;
  try {
    cb.Stop(addr, port, chl, kind, bytes, start, stop, file, slot);
  } catch (...) {
    Failed("RecStop");
  }
  return true;
}

bool TNetCallbacks::RecPath(char* folder40) {
  const TRecord cb = Record();
  if (cb.Path == nullptr) return false;
  try {
    cb.Path(folder40);
  } catch (...) {
    Failed("RecPath");
  }
  return true;
}

}  // namespace vz
