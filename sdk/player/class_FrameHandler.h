#pragma once
// TFrameHandler: the fixed path of every received frame, run on the
// player's receiving thread (stream socket or tunnel), with no hand-over to
// another thread:
//   frame time -> OnAVData hook -> last stream type -> decoder reopen on a
//   display-stream change -> (frames for recording) pre-alarm cache, alarm
//   recorder, normal recorder -> (video for display) decode-style gate,
//   decoder -> (audio of a played channel, >= 1024 bytes) OnAudioRaw hook,
//   audio output.
// The player owns one handler and calls Handle per frame. The decoder,
// recorders and audio output plug in through FrameSeams.h and are fixed at
// construction; the two hooks and the settings may change from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "AVFrameHead.h"
#include "FrameSeams.h"
#include "class_DecodeGate.h"
#include "class_avCache.h"

namespace vz {

// Fixed for the handler's life; any member may be null.
struct TFrameSeams {
  // Told the second of every frame; the player resets its no-data
  // watchdog with it.
  std::function<void(uint64_t second)> OnFrameTime;
  IFrameRecorder* AlarmRecorder = nullptr;
  IFrameRecorder* NormalRecorder = nullptr;
  IFrameVideo* Video = nullptr;
  IFrameAudio* Audio = nullptr;
  std::mutex* DecoderLock = nullptr;  // process-wide; held around ReopenForStream
};

// How the recording and display filters pick frames: by stream type on a
// device with a sub stream, main stream only otherwise; a tunnel delivers
// one stream, all of which is recorded and shown.
enum class TStreamSource : uint8_t { SingleStream, WithSubStream, Tunnel };

class TFrameHandler {
 public:
  // Frame pointer (head and payload) and its total length.
  using TAVDataHook = std::function<void(const uint8_t* frame, uint32_t total_bytes)>;
  using TAudioRawHook = std::function<void(const uint8_t* pcm, uint32_t bytes)>;

  explicit TFrameHandler(TFrameSeams seams);
  TFrameHandler(const TFrameHandler&) = delete;
  TFrameHandler& operator=(const TFrameHandler&) = delete;

  // One frame of total_bytes. Anything that is not a whole video or audio
  // frame within those bytes (24 bytes or less, unknown marker, a length
  // the bytes do not hold) is ignored.
  void Handle(const uint8_t* frame, uint32_t total_bytes);

  // Hooks are called with their lock held, so once a setter returns the
  // old hook is no longer running. A hook must not install hooks.
  // Exceptions it throws are swallowed.
  void SetOnAVData(TAVDataHook hook);
  void SetOnAudioRaw(TAudioRawHook hook);

  void SetStreamSource(TStreamSource source) { source_.store(source); }
  void SetRecordStreamType(int32_t type) { record_stream_.store(type); }
  void SetDisplayStreamType(int32_t type) { display_stream_.store(type); }
  int32_t DisplayStreamType() const { return display_stream_.load(); }
  // The player opened the decoder for this stream type (at connect).
  void SetDecoderStreamType(int32_t type) { decoder_stream_.store(type); }
  void SetAudioPlayMask(uint64_t mask) { audio_mask_.store(mask); }
  uint64_t AudioPlayMask() const { return audio_mask_.load(); }

  uint64_t FrameSecond() const { return frame_second_.load(); }
  int32_t LastStreamType() const { return last_stream_.load(); }

  // The player lends it to its decoder (IPlayVideo::UseGate), so every
  // decoder open, wherever it happens, re-arms the wait for a key frame.
  TDecodeGate& Gate() { return gate_; }
  TavCache& Cache() { return cache_; }

 private:
  bool ForRecording(const TFrameView& f) const;
  bool ForDisplay(const TFrameView& f) const;
  void ReopenIfDisplayChanged();

  const TFrameSeams seams_;
  TDecodeGate gate_;
  TavCache cache_;

  std::mutex av_hook_lock_;
  TAVDataHook av_hook_;  // guarded by av_hook_lock_
  std::mutex audio_hook_lock_;
  TAudioRawHook audio_hook_;  // guarded by audio_hook_lock_

  std::atomic<TStreamSource> source_{TStreamSource::SingleStream};
  std::atomic<int32_t> record_stream_{0};
  std::atomic<int32_t> display_stream_{0};
  std::atomic<int32_t> decoder_stream_{0};
  std::atomic<uint64_t> audio_mask_{1};
  std::atomic<uint64_t> frame_second_{0};
  std::atomic<int32_t> last_stream_{0};
};

}  // namespace vz
