#include "PlayParts.h"

#include <mutex>
#include <utility>

namespace vz {

namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}
// All guarded by FactoryLock().
TPlayVideoFactory& VideoFactory() {
  static TPlayVideoFactory f;
  return f;
}
TPlayRecordingFactory& RecordingFactory() {
  static TPlayRecordingFactory f;
  return f;
}
TPlayTunnelFactory& TunnelFactory() {
  static TPlayTunnelFactory f;
  return f;
}

template <typename Factory>
auto Make(Factory& slot, TAxPlay& player) -> decltype(slot(player)) {
  Factory copy;
  {
    std::lock_guard<std::mutex> g(FactoryLock());
    copy = slot;
  }
  if (!copy) return nullptr;
  try {
    return copy(player);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void RegisterPlayVideo(TPlayVideoFactory factory) {
  std::lock_guard<std::mutex> g(FactoryLock());
  VideoFactory() = std::move(factory);
}
void RegisterPlayRecording(TPlayRecordingFactory factory) {
  std::lock_guard<std::mutex> g(FactoryLock());
  RecordingFactory() = std::move(factory);
}
void RegisterPlayTunnel(TPlayTunnelFactory factory) {
  std::lock_guard<std::mutex> g(FactoryLock());
  TunnelFactory() = std::move(factory);
}

std::unique_ptr<IPlayVideo> MakePlayVideo(TAxPlay& player) { return Make(VideoFactory(), player); }
std::unique_ptr<IPlayRecording> MakePlayRecording(TAxPlay& player) {
  return Make(RecordingFactory(), player);
}
std::unique_ptr<IPlayTunnel> MakePlayTunnel(TAxPlay& player) { return Make(TunnelFactory(), player); }

}  // namespace vz
