#include "BenchPlayer.h"

#include <QEventLoop>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <mutex>

#include "class_PlayVideo.h"

namespace vzbench {
namespace {

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

TBenchPlayer::TBenchPlayer(QWidget* target, uint16_t port) {
  // Linked from the static library, the decoding unit's own start-up
  // registration may have been left out with its object file.
  static std::once_flag registered;
  std::call_once(registered, [] { vz::TPlayVideo::RegisterForPlayers(); });
  vzNet_Init(&handle_, devX1, 0, 0, 0, 0);
  if (handle_ == nullptr) return;
  vzNet_SetCallBack(handle_, OnVideo, nullptr, nullptr, OnDraw, this);
  vzNet_ShowOSDState(handle_, 1);
  dsp_.DspHandle = static_cast<uint64_t>(target->winId());
  dsp_.Channel = 0;
  dsp_.DspRect = {0, 0, target->width(), target->height()};
  ok_ = vzNet_Connect(handle_, "admin", "admin", "127.0.0.1", "127.0.0.1", port, 10000) != 0 &&
        vzNet_AddDspInfo(handle_, &dsp_) != 0 && vzNet_Play(handle_, 1, 0, 0) != 0;
}

TBenchPlayer::~TBenchPlayer() {
  if (handle_ != nullptr) vzNet_Free(handle_);
}

void TBenchPlayer::KeepFrames(size_t frames) {
  std::lock_guard<std::mutex> g(kept_lock_);
  keep_ = frames;
  kept_.clear();
  key_at_.clear();
}

std::vector<std::vector<uint8_t>> TBenchPlayer::KeptIntervals() {
  std::lock_guard<std::mutex> g(kept_lock_);
  std::vector<std::vector<uint8_t>> whole = kept_;
  // The last interval may be cut short; whole intervals replay seamlessly.
  if (key_at_.size() >= 2) whole.resize(key_at_.back());
  return whole;
}

void TBenchPlayer::OnVideo(const uint8_t* buf, int32_t len, int32_t, int32_t key, int32_t, void* user) {
  auto* self = static_cast<TBenchPlayer*>(user);
  self->received_.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> g(self->kept_lock_);
  if (self->kept_.size() >= self->keep_ || len <= 0) return;
  const bool is_key = (key & 0xFF) != 0;
  if (self->kept_.empty() && !is_key) return;
  if (is_key) self->key_at_.push_back(self->kept_.size());
  self->kept_.emplace_back(buf, buf + len);
}

void TBenchPlayer::OnDraw(void*, int32_t, void* user) {
  static_cast<TBenchPlayer*>(user)->drawn_.fetch_add(1, std::memory_order_relaxed);
}

void PumpEvents(int ms) {
  // A real event loop, so an idle GUI thread sleeps as the client's would.
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

namespace {
TBenchApp::TStats g_stats;  // GUI thread only
}  // namespace

bool TBenchApp::notify(QObject* receiver, QEvent* event) {
  if (event->type() == QEvent::Paint) ++g_stats.Paints;
  if (depth_ > 0) return QApplication::notify(receiver, event);
  ++depth_;
  QElapsedTimer wall;
  wall.start();
  const double cpu0 = ThreadCpuMs();
  const bool done = QApplication::notify(receiver, event);
  const double cpu = ThreadCpuMs() - cpu0;
  const double ms = static_cast<double>(wall.nsecsElapsed()) / 1e6;
  --depth_;
  ++g_stats.Events;
  g_stats.LongestMs = std::max(g_stats.LongestMs, ms);
  g_stats.LongestCpuMs = std::max(g_stats.LongestCpuMs, cpu);
  return done;
}

TBenchApp::TStats TBenchApp::TakeStats() {
  const TStats s = g_stats;
  g_stats = TStats{};
  return s;
}

TGuiWatch PumpEventsWatched(int ms, int tick_ms) {
  TGuiWatch w;
  QElapsedTimer since_tick;
  since_tick.start();
  bool first = true;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const double gap = static_cast<double>(since_tick.nsecsElapsed()) / 1e6;
    since_tick.restart();
    if (!first) w.LongestTickLateMs = std::max(w.LongestTickLateMs, gap - tick_ms);
    first = false;
  });
  tick.start(tick_ms);
  TBenchApp::TakeStats();
  PumpEvents(ms);
  w.Events = TBenchApp::TakeStats();
  w.LongestTickLateMs = std::max(0.0, w.LongestTickLateMs);
  return w;
}

}  // namespace vzbench
