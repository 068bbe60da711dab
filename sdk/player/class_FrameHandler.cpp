#include "class_FrameHandler.h"

#include <utility>

namespace vz {

namespace {

// One failing unit must not keep the frame from the ones after it.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace

TFrameHandler::TFrameHandler(TFrameSeams seams) : seams_(std::move(seams)) {}

void TFrameHandler::SetOnAVData(TAVDataHook hook) {
  std::lock_guard<std::mutex> g(av_hook_lock_);
  av_hook_ = std::move(hook);
}

void TFrameHandler::SetOnAudioRaw(TAudioRawHook hook) {
  std::lock_guard<std::mutex> g(audio_hook_lock_);
  audio_hook_ = std::move(hook);
}

bool TFrameHandler::ForRecording(const TFrameView& f) const {
  switch (source_.load()) {
    case TStreamSource::Tunnel:
      return true;
    case TStreamSource::WithSubStream:
      return f.Head.StreamType == record_stream_.load();
    default:
      return f.Head.StreamType == 0;
  }
}

bool TFrameHandler::ForDisplay(const TFrameView& f) const {
  switch (source_.load()) {
    case TStreamSource::Tunnel:
      return true;
    case TStreamSource::WithSubStream:
      return f.Head.StreamType == display_stream_.load();
    default:
      return f.Head.StreamType == 0;
  }
}

void TFrameHandler::ReopenIfDisplayChanged() {
  const int32_t wanted = display_stream_.load();
  if (wanted == decoder_stream_.load()) return;
  decoder_stream_.store(wanted);
  if (seams_.Video == nullptr) return;
  Guarded([&] {
    if (seams_.DecoderLock != nullptr) {
      std::lock_guard<std::mutex> g(*seams_.DecoderLock);
      seams_.Video->ReopenForStream(wanted);
    } else {
      seams_.Video->ReopenForStream(wanted);
    }
  });
  // A freshly opened decoder starts at a key frame.
  gate_.WaitForKey();
}

void TFrameHandler::Handle(const uint8_t* frame, uint32_t total_bytes) {
  TFrameView f;
  if (!ParseFrameHead(frame, total_bytes, f)) return;

  const uint64_t second = f.Second();
  frame_second_.store(second);
  if (seams_.OnFrameTime) Guarded([&] { seams_.OnFrameTime(second); });

  {
    std::lock_guard<std::mutex> g(av_hook_lock_);
    if (av_hook_) Guarded([&] { av_hook_(f.Frame, f.FrameBytes); });
  }

  last_stream_.store(f.Head.StreamType);
  ReopenIfDisplayChanged();

  if (ForRecording(f)) {
    if (cache_.PreAlarmTime() > 0) cache_.Add(f.Frame, f.FrameBytes);
    if (seams_.AlarmRecorder != nullptr) Guarded([&] { seams_.AlarmRecorder->WriteFrame(f); });
    if (seams_.NormalRecorder != nullptr) Guarded([&] { seams_.NormalRecorder->WriteFrame(f); });
  }

  if (f.Kind == TFrameKind::Video) {
    if (ForDisplay(f) && gate_.Admit(f.Head.IsIFrame != 0) && seams_.Video != nullptr)
      Guarded([&] { seams_.Video->DecodeFrame(f); });
    return;
  }

  const uint64_t mask = audio_mask_.load();
  const bool played = f.Head.Chl < 64 && ((mask >> f.Head.Chl) & 1u) != 0;
  if (!played || f.PayloadBytes < kMinAudioPlayBytes) return;
  {
    std::lock_guard<std::mutex> g(audio_hook_lock_);
    if (audio_hook_) Guarded([&] { audio_hook_(f.Payload, f.PayloadBytes); });
  }
  if (seams_.Audio != nullptr) Guarded([&] { seams_.Audio->PlayAudio(f.Payload, f.PayloadBytes); });
}

}  // namespace vz
