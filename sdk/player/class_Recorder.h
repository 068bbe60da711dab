#pragma once
// TRecorder: the normal and the alarm recording of one live player.
//
// A normal recording runs until stopped and rolls over into a new file
// every normal time length; an alarm recording runs until the alarm time
// length after the latest alarm, may begin with the pre-alarm cache, and is
// closed once its extended end lies more than an hour after its start.
// Files are named <folder>/<SvrAddr>_<DataPort>/yyyymmdd_hhnnss_0.av; an
// empty folder of the other kind defaults to <storage root>/Rec/yyyymmdd/
// or <storage root>/Alm/yyyymmdd/. A full file name longer than 63
// characters does not fit the index and the events' name fields: the start
// is refused and logged, the name is never cut.
//
// Threads: start, stop and queries run on API threads; WriteFrame (through
// AlarmRecorder()/NormalRecorder()) on the player's receiving thread, which
// also runs the automatic roll-over and alarm-end stops. Each kind has one
// lock around its file state; holding it while a file is opened or closed
// is the "busy" state, and the receiving thread skips a kind whose lock it
// cannot take at once rather than wait. The events run on the thread that
// starts or stops, with that kind's lock held: an event that starts or
// stops a recording of the same kind gets false instead of a deadlock.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "FrameSeams.h"
#include "RecFileFormat.h"
#include "SdkTime.h"
#include "class_IPlay.h"
#include "class_RecFile.h"
#include "vz_records.h"

namespace vz {

class TavCache;

// The application's record events (vzNet_SetRecordEvent); empty ones are
// not called. Times are date-times.
struct TRecEvents {
  std::function<void(const char* addr, int32_t port, int32_t chl, int32_t kind, TDateTime start,
                     const char* file, int32_t* user_slot)>
      Start;
  std::function<void(const char* addr, int32_t port, int32_t chl, int32_t kind, int64_t bytes,
                     TDateTime start, TDateTime end, const char* file, int32_t user_slot)>
      Stop;
  // Fills a 40-byte buffer with a folder; a non-empty text replaces the
  // folder of the kind being started.
  std::function<void(char* folder40)> Path;
};

// What the player tells the recorder when a file starts.
struct TRecStartInfo {
  bool Connected = false;
  std::string SvrAddr;
  int32_t DataPort = 0;
  int32_t DevType = 0;
  TVideoCfg Video{};  // the channel's video record
  TAudioCfg Audio{};
  int32_t PictureWidth = 0;  // of the last decoded picture, 0 before the first
  int32_t PictureHeight = 0;
  bool Tunnel = false;
  int32_t LastStreamType = 0;  // of the last frame received
  uint32_t PlayedVideoMask = 0;  // bit c: video channel c is played
  int32_t ChannelCount = 0;  // the device's video channels
};

// The recorder's view of its player. Called with a kind's lock held, on
// the thread that starts, stops or writes.
class IRecorderHost {
 public:
  virtual ~IRecorderHost() = default;
  virtual TRecStartInfo StartInfo() = 0;
  virtual TRecordSettings Settings() = 0;
  virtual void SetFolders(const std::string& normal, const std::string& alarm) = 0;
  virtual TRecEvents Events() = 0;
  virtual TavCache* PreAlarmCache() = 0;
  virtual TDateTime Now() = 0;
  // The storage root of default folders, ending in "/".
  virtual std::string StorageRoot() = 0;
};

constexpr std::size_t kRecFileNameMax = 63;
constexpr std::size_t kRecPathEventBytes = 40;
constexpr int64_t kRecAlarmCapMs = 3600 * 1000;

class TRecorder : public IPlayRecording {
 public:
  explicit TRecorder(std::unique_ptr<IRecorderHost> host);
  // Closes open files (header completed, empty files deleted) without
  // events: the player is going away.
  ~TRecorder() override;
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  IFrameRecorder* AlarmRecorder() override { return &alarm_.seam; }
  IFrameRecorder* NormalRecorder() override { return &normal_.seam; }
  // channel -1 (all): the result still tells whether a file is open.
  bool StartNmlRec(int32_t channel) override;
  // channel -1 or a channel not above the device's channel count; -1
  // answers true.
  bool StopNmlRec(int32_t channel) override;
  // A played video channel; false also when the open file was extended.
  bool StartAlmRec(int32_t channel) override;
  bool StopAlmRec(int32_t channel) override;
  bool IsNmlRec(int32_t channel) const override;
  bool IsAlmRec(int32_t channel) const override;

  // Every live player gets a TRecorder whose host reads the player's
  // settings and state (done at library start; tests may call it again).
  static void RegisterForPlayers();
  // Where a live player's record events come from: the exports layer keeps
  // the callbacks of vzNet_SetRecordEvent per player and hands them out by
  // the player's address. Without a source no events are raised.
  using TEventSource = std::function<TRecEvents(const void* player)>;
  static void SetEventSource(TEventSource source);

 private:
  struct TState;
  // The frame handler's entry for one kind.
  class TSeam : public IFrameRecorder {
   public:
    TSeam(TRecorder& owner, TState& state) : owner_(owner), state_(state) {}
    void WriteFrame(const TFrameView& frame) override { owner_.WriteFrame(state_, frame); }

   private:
    TRecorder& owner_;
    TState& state_;
  };
  struct TState {
    TState(TRecorder& owner, TRecKind k) : kind(k), seam(owner, *this) {}
    const TRecKind kind;
    TSeam seam;
    std::mutex lock;  // the busy state: held while the file is opened, written or closed
    std::atomic<std::thread::id> holder{};  // thread holding lock, for re-entry from events
    std::atomic<bool> open{false};
    // Guarded by lock:
    TRecFile file;
    TRecFileHeader header{};
    TDateTime start = 0;
    TDateTime end = 0;  // alarm: the planned end
    bool started = false;  // the first key frame reached the file (or pre-alarm data began it)
    int32_t user_slot = 0;
    std::string addr;
    int32_t port = 0;
  };
  class THeld;

  void WriteFrame(TState& s, const TFrameView& frame);
  bool Start(TState& s, int32_t channel);
  bool StartLocked(TState& s, TDateTime now);
  void StopLocked(TState& s, bool with_event);
  bool Stop(TState& s, int32_t channel);
  // The folder for s (path event, defaults), "" when none.
  std::string FolderFor(TState& s, TDateTime now);

  std::unique_ptr<IRecorderHost> host_;
  TState normal_{*this, TRecKind::Normal};
  TState alarm_{*this, TRecKind::Alarm};
};

}  // namespace vz
