#include "class_FilePlay.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "FileUtils.h"
#include "LogWriter.h"
#include "WaveFormat.h"
#include "class_FileOverlay.h"
#include "FileWindow.h"
#include "class_FileVideo.h"

namespace vz {

namespace {

constexpr uint64_t kFirstFrame = kRecFirstFrameOffset;
constexpr int kMaxPaceMs = 10000;  // longer gaps are not waited for

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

double CropFactorForWidth(int32_t width) {
  return (width == 176 || width == 352 || width == 720) ? 0.04 : 0.0;
}

TFilePlay::TFilePlay(TParts parts) : parts_(std::move(parts)), sound_(parts_.sound) {}

TFilePlay::~TFilePlay() {
  // The owner closes; this only runs early when Open failed half-way, or on
  // the playback thread itself when it was let go and ends last.
  if (thread_.joinable()) {
    stop_.store(true);
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

std::shared_ptr<TFilePlay> TFilePlay::Open(const std::string& path, TParts parts) {
  if (!FileExists(path) || FileSizeOf(path) <= TRecFileReader::kHeaderBytes) return nullptr;
  std::shared_ptr<TFilePlay> player(new TFilePlay(std::move(parts)));
  if (!player->Init(path)) return nullptr;
  // The thread holds its own reference so that a thread let go at Close
  // never outlives the object it works on.
  std::shared_ptr<TFilePlay> self = player;
  player->thread_ = std::thread([self] { self->Run(); });
  return player;
}

bool TFilePlay::Init(const std::string& path) {
  TRecFileReader probe;
  if (!probe.Open(path)) return false;
  header_ = probe.Header();
  fileName_ = path;
  frameBuf_.assign(kFrameBufferBytes, 0);

  video_ = parts_.video ? parts_.video() : MakeFileVideo();
  if (!video_) return false;
  const int32_t width = header_.Video.Width;
  const int32_t height = header_.Video.Height;
  // A decoder that cannot open only leaves the picture dark; sound and
  // progress still play.
  video_->Configure(header_.Video.Codec, width, height, CropFactorForWidth(width), header_.Audio.Codec);
  video_->SetDrawHook([this](void* dc, int32_t channel) {
    TCallbacks cb;
    {
      std::lock_guard<std::mutex> lock(cbLock_);
      cb = callbacks_;
    }
    if (cb.draw == nullptr || StopRequested()) return;
    try {
      cb.draw(dc, channel, cb.user);
    } catch (...) {
    }
  });

  int32_t channels = header_.Audio.Channels;
  if (channels == 0) channels = 1;
  const int32_t rate = header_.Audio.SampleRate;
  const int32_t bits = header_.Audio.BitsPerSample;
  if (rate != 0 && bits != 0) {
    sound_.SetActive(false);
    sound_.SetFormat(PcmWaveFormat(static_cast<uint16_t>(channels), static_cast<uint32_t>(rate),
                                   static_cast<uint16_t>(bits)));
    sound_.SetActive(true);
  }
  overlay_ = std::make_unique<TFileOverlay>(header_);
  return true;
}

void TFilePlay::SetCallbacks(const TCallbacks& callbacks) {
  std::lock_guard<std::mutex> lock(cbLock_);
  callbacks_ = callbacks;
}

void TFilePlay::PlayCtrl(int32_t state, int32_t speed, uint32_t dragPos) {
  {
    std::lock_guard<std::mutex> lock(ctlLock_);
    state_ = state;
    speed_ = speed;
    dragPos_ = dragPos;
    ++ctlSerial_;
  }
  ctlWake_.notify_all();
}

int32_t TFilePlay::PlayState() const {
  std::lock_guard<std::mutex> lock(ctlLock_);
  return state_;
}

int32_t TFilePlay::Speed() const {
  std::lock_guard<std::mutex> lock(ctlLock_);
  return speed_;
}

bool TFilePlay::AddDspInfo(const void* dspInfo) { return dspInfo != nullptr && video_->AddDspInfo(dspInfo); }
bool TFilePlay::DelDspInfo(const void* dspInfo) { return dspInfo != nullptr && video_->DelDspInfo(dspInfo); }
void TFilePlay::SetEqualScaling(bool on) { video_->SetEqualScaling(on); }
void TFilePlay::SetAudioMute(bool on) { mute_.store(on); }
bool TFilePlay::Snapshot(QImage& picture) { return video_->Snapshot(picture); }

void TFilePlay::SetStateFrom(int32_t from, int32_t to) {
  std::lock_guard<std::mutex> lock(ctlLock_);
  // A play control given during this pass wins, even one that repeats the
  // state: it asked for that state's action once more.
  if (state_ == from && ctlSerial_ == passSerial_) state_ = to;
}

bool TFilePlay::Close() {
  waitForKey_.store(false);
  stop_.store(true);
  {
    std::lock_guard<std::mutex> lock(ctlLock_);
    state_ = PS_Stop;
  }
  ctlWake_.notify_all();
  {
    // No callback runs after Close returns, even from a thread let go.
    std::lock_guard<std::mutex> lock(cbLock_);
    callbacks_ = TCallbacks{};
  }
  bool ended = true;
  if (thread_.joinable()) {
    std::unique_lock<std::mutex> lock(endLock_);
    ended = endWake_.wait_for(lock, std::chrono::milliseconds(kCloseGraceMs), [this] { return ended_.load(); });
    lock.unlock();
    if (ended) {
      thread_.join();
    } else {
      WriteLogF("FilePlay: playback of %s still running after %d ms, left detached", fileName_.c_str(),
                kCloseGraceMs);
      thread_.detach();
    }
  }
  if (ended) sound_.SetActive(false);
  return ended;
}

void TFilePlay::Wait(int ms) {
  if (ms <= 0) return;
  std::unique_lock<std::mutex> lock(ctlLock_);
  const uint64_t serial = ctlSerial_;
  ctlWake_.wait_for(lock, std::chrono::milliseconds(ms),
                    [&] { return stop_.load() || ctlSerial_ != serial; });
}

void TFilePlay::SendMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) {
  uintptr_t window;
  {
    std::lock_guard<std::mutex> lock(cbLock_);
    window = callbacks_.msgWindow;
  }
  if (window == 0 || StopRequested()) return;
  const std::function<bool()> stop = [this] { return StopRequested(); };
  if (parts_.window) {
    parts_.window(window, msg, wParam, lParam, stop);
  } else {
    SendWindowMessage(window, msg, wParam, lParam, stop);
  }
}

bool TFilePlay::IsVideoKey() const { return rec_.IsVideoKey(); }

bool TFilePlay::ReadNext() {
  if (!reader_.ReadFrame(frameBuf_.data(), frameBuf_.size(), rec_, frame_)) return false;
  haveFrame_ = true;
  SendMessage(kMsgProgress, fileSize_, static_cast<uint32_t>(reader_.Position()));
  return true;
}

bool TFilePlay::ReadBackLink() {
  // Read frames link back (or to themselves at the start), so every move
  // backwards ends; a link to something that is no frame ends the move.
  const uint64_t link = haveFrame_ ? rec_.BackLink : kFirstFrame;
  return reader_.Seek(link) && ReadNext();
}

void TFilePlay::ProcessFrame() {
  TCallbacks cb;
  {
    std::lock_guard<std::mutex> lock(cbLock_);
    cb = callbacks_;
  }
  const TAVFrameHead& h = frame_.Head;
  const auto payloadLen = static_cast<int32_t>(frame_.PayloadBytes);
  if (frame_.Kind == TFrameKind::Audio) {
    if (mute_.load()) return;
    if (cb.audio != nullptr && !StopRequested()) {
      try {
        cb.audio(frame_.Payload, payloadLen, h.Chl, h.IsIFrame, h.StreamType, cb.user);
      } catch (...) {
      }
    }
    video_->PassAudio(frame_.Payload, frame_.PayloadBytes);
    sound_.Write(frame_.Payload, frame_.PayloadBytes);
    return;
  }
  if (cb.video != nullptr && !StopRequested()) {
    try {
      cb.video(frame_.Payload, payloadLen, h.Chl, h.IsIFrame, h.StreamType, cb.user);
    } catch (...) {
    }
  }
  if (h.IsIFrame != 0) {
    waitForKey_.store(false);
    started_ = true;  // a key frame shown by any move lets play go on from it
  }
  if (waitForKey_.load()) return;
  const uint64_t second = h.TimeStamp / kMicrosPerSecond;
  const int32_t speed = Speed();
  video_->Decode(frame_.Payload, frame_.PayloadBytes, second,
                 [this, second, speed](int32_t, int32_t height, const std::string& statusLine) -> const TFileTexts& {
                   overlay_->Refresh(second, statusLine, speed, height);
                   return overlay_->Texts();
                 });
}

bool TFilePlay::PlayStep() {
  const int64_t t0 = NowMs();
  if (!ReadNext()) {
    SetStateFrom(PS_Play, PS_Stop);
    return true;
  }
  if (frame_.Kind == TFrameKind::Audio) {
    ProcessFrame();
    return true;
  }
  if (!started_ && !IsVideoKey()) return true;
  const uint64_t ts = frame_.Head.TimeStamp;
  ProcessFrame();
  if (prevTimeStamp_ != 0 && ts > prevTimeStamp_) {
    const double gapMs = static_cast<double>(ts - prevTimeStamp_) / 1000.0;
    const auto waitMs = static_cast<int64_t>(std::llround(0.9 * (gapMs - static_cast<double>(NowMs() - t0))));
    if (waitMs > 0 && waitMs < kMaxPaceMs) Wait(static_cast<int>(waitMs));
  }
  prevTimeStamp_ = ts;
  return true;
}

void TFilePlay::StopStep() {
  SendMessage(kMsgStopped, 0, 0);
  reader_.Seek(kFirstFrame);
  SetStateFrom(PS_Stop, PS_Pause);
}

bool TFilePlay::FastBackwardStep(bool wait) {
  if (!ReadBackLink()) return false;
  const bool key = IsVideoKey();
  if (key) {
    prevTimeStamp_ = frame_.Head.TimeStamp;
    ProcessFrame();
  }
  // At the start of the file the same frame comes back on every pass.
  if (wait && (key || rec_.LinksToItself())) {
    int32_t speed = Speed();
    if (speed <= 0) speed = kDefaultSpeed;
    Wait(kFastStepMs / speed);
  }
  return true;
}

void TFilePlay::FastForwardStep() {
  if (!ReadNext()) {
    SetStateFrom(PS_FastForward, PS_Stop);
    return;
  }
  if (!IsVideoKey()) return;
  prevTimeStamp_ = frame_.Head.TimeStamp;
  ProcessFrame();
  int32_t speed = Speed();
  if (speed <= 0) speed = kDefaultSpeed;
  Wait(kFastStepMs / speed);
}

bool TFilePlay::PassToKey(uint64_t endAtLeast) {
  while (!StopRequested()) {
    TRecFrame head;
    if (!reader_.PeekHead(head)) return false;
    if (head.IsVideoKey() && head.End() >= endAtLeast) return ReadNext();
    // Frames passed over are never shown: their heads are enough.
    reader_.Skip(head);
    rec_ = head;
    haveFrame_ = true;
    SendMessage(kMsgProgress, fileSize_, static_cast<uint32_t>(head.End()));
  }
  return false;
}

void TFilePlay::StepForwardStep() {
  if (!PassToKey(0)) {
    if (!StopRequested()) SetStateFrom(PS_StepForward, PS_Stop);
    return;
  }
  prevTimeStamp_ = frame_.Head.TimeStamp;
  ProcessFrame();
  SetStateFrom(PS_StepForward, PS_Pause);
}

bool TFilePlay::DragBackward(uint32_t target) {
  // Offsets strictly fall along a sound chain, so this ends.
  while (!StopRequested()) {
    if (!ReadBackLink()) return false;
    if (rec_.LinksToItself()) break;  // the start
    if (IsVideoKey() && reader_.Position() <= target) break;
  }
  return true;
}

bool TFilePlay::DragStep() {
  uint32_t target;
  {
    std::lock_guard<std::mutex> lock(ctlLock_);
    target = dragPos_;
  }
  if (target >= fileSize_) {
    SetStateFrom(PS_DragPos, PS_Play);
    return true;
  }
  if (target < kFirstFrame) {
    reader_.Seek(kFirstFrame);
    SetStateFrom(PS_DragPos, PS_Play);
    return true;
  }
  if (target < reader_.Position()) {
    if (!DragBackward(target)) return false;
  } else {
    const bool found = PassToKey(target);
    // Past the last whole frame: the key frame before the end is the
    // nearest one (a file cut short may end before the drag position).
    if (!found && !StopRequested() && !DragBackward(target)) return false;
  }
  if (StopRequested()) return true;
  prevTimeStamp_ = frame_.Head.TimeStamp;
  ProcessFrame();
  SetStateFrom(PS_DragPos, PS_Play);
  return true;
}

void TFilePlay::Run() {
  struct TEnd {
    TFilePlay* p;
    ~TEnd() {
      p->reader_.Close();
      std::lock_guard<std::mutex> lock(p->endLock_);
      p->ended_.store(true);
      p->endWake_.notify_all();
    }
  } end{this};
  try {
    if (!FileExists(fileName_)) return;
    const uint64_t size = FileSizeOf(fileName_);
    fileSize_ = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
    SendMessage(kMsgProgress, fileSize_, 0);
    if (!reader_.Open(fileName_) || !reader_.Seek(kFirstFrame)) return;
    prevTimeStamp_ = 0;
    started_ = false;
    while (!StopRequested()) {
      int32_t state;
      {
        std::lock_guard<std::mutex> lock(ctlLock_);
        state = state_;
        passSerial_ = ctlSerial_;
      }
      bool alive = true;
      switch (state) {
        case PS_Play: alive = PlayStep(); break;
        case PS_Stop: StopStep(); break;
        case PS_FastBackward: alive = FastBackwardStep(true); break;
        case PS_FastForward: FastForwardStep(); break;
        case PS_StepBackward:
          alive = FastBackwardStep(false);
          if (alive) SetStateFrom(PS_StepBackward, PS_Pause);
          break;
        case PS_StepForward: StepForwardStep(); break;
        case PS_DragPos: alive = DragStep(); break;
        default:
          video_->Redraw();
          Wait(kPausedRedrawMs);
          break;
      }
      // A failed move backwards ends playback for good.
      if (!alive) return;
    }
  } catch (...) {
    WriteLogF("FilePlay: playback of %s ended by an exception", fileName_.c_str());
  }
}

}  // namespace vz
