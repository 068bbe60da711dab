#pragma once
// One SDK player showing its simulated camera in a widget, as the client's
// live view does (display target by native window id, OSD on), counting the
// frames it receives and the pictures it draws. Optionally keeps the
// payloads of the first frames from a key frame on, so a reference decoder
// can be fed the very stream the player was sent.
#include <QApplication>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "vzSDK.h"

namespace vzbench {

class TBenchPlayer {
 public:
  // Connects to 127.0.0.1:port and plays channel 0's main stream into
  // target (which must live longer than this object).
  TBenchPlayer(QWidget* target, uint16_t port);
  ~TBenchPlayer();  // frees the player; its reading thread has ended then
  TBenchPlayer(const TBenchPlayer&) = delete;
  TBenchPlayer& operator=(const TBenchPlayer&) = delete;

  bool Ok() const { return ok_; }
  uint64_t Received() const { return received_.load(std::memory_order_relaxed); }
  uint64_t Drawn() const { return drawn_.load(std::memory_order_relaxed); }

  // Keeps the payloads of up to `frames` video frames, from the next key
  // frame on.
  void KeepFrames(size_t frames);
  // The kept payloads, cut back to whole key-frame intervals.
  std::vector<std::vector<uint8_t>> KeptIntervals();

 private:
  static void OnVideo(const uint8_t* buf, int32_t len, int32_t chl, int32_t key, int32_t stream, void* user);
  static void OnDraw(void* dc, int32_t chl, void* user);

  vzNetHandle handle_ = nullptr;
  vzDspInfo dsp_{};
  bool ok_ = false;
  std::atomic<uint64_t> received_{0};
  std::atomic<uint64_t> drawn_{0};
  std::mutex kept_lock_;
  size_t keep_ = 0;                          // guarded by kept_lock_
  std::vector<std::vector<uint8_t>> kept_;   // guarded by kept_lock_
  std::vector<size_t> key_at_;               // guarded by kept_lock_: indexes of key frames in kept_
};

// Runs the GUI thread's event loop for `ms` milliseconds.
void PumpEvents(int ms);

// The application object of the live benchmarks: times the handling of
// every event the GUI thread dispatches (outermost only; what a handler
// dispatches inside itself counts as part of it).
class TBenchApp : public QApplication {
 public:
  TBenchApp(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;

  struct TStats {
    double LongestMs = 0;     // wall time of the longest event handling
    double LongestCpuMs = 0;  // the GUI thread's processor time in it
    uint64_t Events = 0;
    uint64_t Paints = 0;
  };
  static TStats TakeStats();  // since the last call

 private:
  int depth_ = 0;
};

// Runs the event loop for `ms` milliseconds, watching how long the GUI
// thread was kept from its events.
struct TGuiWatch {
  // The longest time between two ticks of a timer on the GUI thread, less
  // its interval: what a user would feel, the machine's other load included.
  double LongestTickLateMs = 0;
  TBenchApp::TStats Events;
};
TGuiWatch PumpEventsWatched(int ms, int tick_ms);

}  // namespace vzbench
