#pragma once
// TFilePlay: the file player behind the vzFile_ exports. It owns a playback
// thread that reads the record file, paces the frames by their time stamps,
// hands video to the picture path and audio to the sound output and the
// callbacks, reports progress to a window, and obeys the play-control codes
// (TxPlayCtrl), moving backwards through the key-frame back-links.
//
// Threads: the exports run on API threads and only store values (play
// control, flags, callbacks, display targets); the playback thread does all
// reading, decoding, drawing, sound and callbacks. Close stops the thread
// within kCloseGraceMs: every wait of the thread checks the stop request, so
// only a callback or window that never returns can hold it longer; such a
// thread is let go and keeps the object alive (the thread holds a
// reference) until it ends, and calls no callback after Close.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "FilePlaySeams.h"
#include "WaveDevice.h"
#include "class_RecFileReader.h"
#include "class_WaveOut.h"
#include "vzSDK.h"

namespace vz {

class TFileOverlay;

class TFilePlay : public std::enable_shared_from_this<TFilePlay> {
 public:
  static constexpr std::size_t kFrameBufferBytes = 1000000;
  static constexpr int kCloseGraceMs = 5000;
  static constexpr uint32_t kMsgProgress = 11122;
  static constexpr uint32_t kMsgStopped = 11123;
  static constexpr int kPausedRedrawMs = 30;
  static constexpr int kFastStepMs = 300;  // divided by the speed
  static constexpr int32_t kDefaultSpeed = 2;

  struct TCallbacks {
    vzFileDataCallback video = nullptr;
    vzFileDataCallback audio = nullptr;
    vzFileDrawCallback draw = nullptr;
    void* user = nullptr;
    uintptr_t msgWindow = 0;
  };

  // What the player is built with; empty members take the product's own.
  struct TParts {
    TFileVideoFactory video;
    TWaveOutDeviceFactory sound;
    // Delivers the progress messages to the window set with the callbacks;
    // gets that window id in front of the message.
    std::function<void(uintptr_t window, uint32_t msg, uint32_t wParam, uint32_t lParam,
                       const std::function<bool()>& stopRequested)>
        window;
  };

  // Checks and opens the file, configures the parts from its header and
  // starts playing. Null when the file is missing, 256 bytes or shorter, or
  // cannot be opened.
  static std::shared_ptr<TFilePlay> Open(const std::string& path, TParts parts = {});
  ~TFilePlay();
  TFilePlay(const TFilePlay&) = delete;
  TFilePlay& operator=(const TFilePlay&) = delete;

  void SetCallbacks(const TCallbacks& callbacks);
  void PlayCtrl(int32_t state, int32_t speed, uint32_t dragPos);
  int32_t PlayState() const;
  bool AddDspInfo(const void* dspInfo);
  bool DelDspInfo(const void* dspInfo);
  void SetEqualScaling(bool on);
  void SetAudioMute(bool on);
  // Stops the thread (kCloseGraceMs at most) and closes the parts. True when
  // the thread ended in time. Called once, by the owner.
  bool Close();

  const std::string& FileName() const { return fileName_; }
  // The header as read at open (256 bytes).
  const uint8_t* Header() const { return reinterpret_cast<const uint8_t*>(&header_); }
  bool Snapshot(QImage& picture);
  // True once the thread has ended (end of a backward move that failed, or
  // Close).
  bool ThreadEnded() const { return ended_.load(); }
  // Reads the playback thread has made in the file so far.
  uint64_t ReadCalls() const { return reader_.ReadCalls(); }

 private:
  explicit TFilePlay(TParts parts);
  bool Init(const std::string& path);

  // The playback thread.
  void Run();
  bool PlayStep();
  void StopStep();
  bool FastBackwardStep(bool wait);
  void FastForwardStep();
  void StepForwardStep();
  bool DragStep();
  bool DragBackward(uint32_t target);

  bool ReadNext();  // the next frame into the frame buffer, progress sent
  bool ReadBackLink();  // the frame the last one links back to
  // Reads on to the next video key frame ending at or after endAtLeast,
  // passing the frames before it by their heads; false at the end.
  bool PassToKey(uint64_t endAtLeast);
  void ProcessFrame();
  void SendMessage(uint32_t msg, uint32_t wParam, uint32_t lParam);
  // Waits up to ms or until the stop request or a new play control.
  void Wait(int ms);
  // Sets the state unless a play control came after this pass began.
  void SetStateFrom(int32_t from, int32_t to);
  bool StopRequested() const { return stop_.load(); }
  int32_t Speed() const;
  bool IsVideoKey() const;

  TParts parts_;
  std::string fileName_;           // fixed at open
  TRecFileHeader header_{};        // fixed at open
  std::unique_ptr<IFileVideo> video_;  // created at open; its own threading rules
  TWaveOut sound_;                 // Write on the playback thread only

  // Play control, written by the exports and by the thread.
  mutable std::mutex ctlLock_;
  std::condition_variable ctlWake_;  // with ctlLock_: a new play control or the stop request
  int32_t state_ = PS_Play;        // guarded by ctlLock_
  int32_t speed_ = 0;              // guarded by ctlLock_
  uint32_t dragPos_ = 0;           // guarded by ctlLock_
  uint64_t ctlSerial_ = 0;         // guarded by ctlLock_: counts play controls
  uint64_t passSerial_ = 0;        // guarded by ctlLock_: ctlSerial_ when this pass began

  mutable std::mutex cbLock_;
  TCallbacks callbacks_;           // guarded by cbLock_

  std::atomic<bool> mute_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> waitForKey_{true};

  std::mutex endLock_;
  std::condition_variable endWake_;  // with endLock_: the thread ended
  std::thread thread_;             // owner's thread only

  // Owned by the playback thread.
  TRecFileReader reader_;
  std::vector<uint8_t> frameBuf_;  // kFrameBufferBytes, allocated at open
  TFrameView frame_{};             // the frame in frameBuf_
  TRecFrame rec_{};                // its place in the file and its back-link
  bool haveFrame_ = false;
  uint32_t fileSize_ = 0;
  uint64_t prevTimeStamp_ = 0;
  bool started_ = false;
  std::unique_ptr<TFileOverlay> overlay_;
};

// Crop factor of the shown picture: 4 % at each edge for the widths that
// carry a border.
double CropFactorForWidth(int32_t width);

}  // namespace vz
