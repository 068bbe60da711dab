#include "class_AxPlay.h"

#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <vector>

#include "DecoderLock.h"
#include "LogWriter.h"
#include "NetUtils.h"
#include "PlayParts.h"
#include "SdkTime.h"
#include "Timers.h"
#include "VzMessageEvent.h"
#include "WaveFormat.h"
#include "class_AxConn.h"
#include "class_FrameHandler.h"
#include "class_WaveOut.h"
#include "class_avCache.h"
#include "vz_protocol.h"
#include "vz_values.h"

using vz::TDevCfg;

namespace {

constexpr uint32_t kReadTimeoutMs = 5000;
constexpr uint32_t kRawTimeoutMs = 3000;
constexpr int kIdleSleepMs = 10;
constexpr int kStreamReadAhead = 128 * 1024;
// The reader is behind its camera when at least this much more has come
// (a frame of a large picture; an audio or status unit is far smaller). A
// paced camera whose audio unit follows its frame closely is not behind.
constexpr int kBehindBytes = 4096;
constexpr int64_t kAlarmHoldSeconds = 10;

// The process-wide player lock: construction and destruction of players.
TSyncLock& PlayerLock() {
  static TSyncLock lock;
  return lock;
}

// A connect step failed and has written its own log line.
struct TStepFailed {};

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string FixedText(const char* s, std::size_t n) {
  std::size_t len = 0;
  while (len < n && s[len] != '\0') ++len;
  return std::string(s, len);
}

// The audio output behind the frame handler.
class TWaveAudio : public vz::IFrameAudio {
 public:
  explicit TWaveAudio(TWaveOut* out) : out_(out) {}
  void PlayAudio(const uint8_t* pcm, uint32_t bytes) override {
    if (out_ != nullptr) out_->Write(pcm, bytes);
  }

 private:
  TWaveOut* out_;
};

}  // namespace

struct TAxPlay::TImpl {
  std::unique_ptr<TAxConn> cmd;  // guarded by cmd_lock
  std::unique_ptr<TAxConn> stream;  // guarded by link_lock
  std::unique_ptr<TTimers> timer;
  std::unique_ptr<TWaveOut> wave;  // control calls on API threads, Write on the frame path
  std::unique_ptr<TWaveAudio> audio;
  std::unique_ptr<vz::TFrameHandler> handler;

  // The stream connection and every change of the connect state: Connect,
  // DisConn, Play, raw sends on it, and the reading step's read of one unit.
  std::mutex link_lock;
  // Threads waiting for link_lock; the reading step steps aside for them.
  std::atomic<int> link_waiters{0};
  // While reading is true the reading thread holds link_lock inside a read
  // on the stream socket, so the socket's descriptor cannot change.
  std::mutex kick_lock;
  bool reading = false;  // guarded by kick_lock

  std::mutex cmd_lock;

  mutable std::mutex cfg_lock;
  TDevCfg cfg{};  // guarded by cfg_lock
  vz::TRfCfg rf{};  // guarded by cfg_lock
  std::atomic<int32_t> audio_codec{-1};  // last applied audio codec when no decoder is plugged in

  mutable std::mutex status_lock;
  uint8_t history[kStatusHistoryEntries][4] = {};  // guarded by status_lock

  std::mutex alarm_hook_lock;
  TAlarmHook on_alarm;  // guarded by alarm_hook_lock
  std::mutex av_hook_lock;
  TAVDataHook on_av;  // guarded by av_hook_lock
  std::mutex render_hook_lock;
  TRenderAfterHook on_render;  // guarded by render_hook_lock
  std::mutex status_hook_lock;
  TStatusHook on_status;  // guarded by status_hook_lock
  std::mutex audio_hook_lock;
  TAudioRawHook on_audio;  // guarded by audio_hook_lock

  // Reading thread only: head and the largest accepted body.
  std::vector<uint8_t> rx = std::vector<uint8_t>(vz::kUnitHeadSize + vz::kMaxUnitLength);
  std::atomic<std::thread::id> reader_id{};
  // A connect was asked for at least once: the watchdog has a target.
  std::atomic<bool> has_target{false};
};

namespace {

// Takes the link lock ahead of the reading step. The waiter is counted
// first: a reading step that has not begun its read steps aside, one in
// the middle of a unit finishes it. cut runs after the count; only what
// ends the stream anyway passes one that cuts the read in flight short,
// since a cut read loses the connection.
class TLinkGuard {
 public:
  template <typename Cut>
  TLinkGuard(std::mutex& lock, std::atomic<int>& waiters, Cut&& cut) {
    TCounted counted(waiters);
    cut();
    lock_ = std::unique_lock<std::mutex>(lock);
  }
  TLinkGuard(std::mutex& lock, std::atomic<int>& waiters) : TLinkGuard(lock, waiters, [] {}) {}

 private:
  struct TCounted {
    explicit TCounted(std::atomic<int>& n) : n_(n) { n_.fetch_add(1); }
    ~TCounted() { n_.fetch_sub(1); }
    TCounted(const TCounted&) = delete;
    TCounted& operator=(const TCounted&) = delete;
    std::atomic<int>& n_;
  };
  std::unique_lock<std::mutex> lock_;
};

template <typename F>
void Swallow(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace

// ---- process-wide ----------------------------------------------------------

TSyncLock& TAxPlay::P2PLock() {
  static TSyncLock lock;
  return lock;
}

std::mutex& TAxPlay::DecoderLock() { return vz::DecoderLock(); }

std::atomic<bool>& TAxPlay::P2PInitialised() {
  static std::atomic<bool> flag{false};
  return flag;
}

// ---- life ------------------------------------------------------------------

TAxPlay::TAxPlay() : impl_(std::make_unique<TImpl>()) {}

TAxPlay* TAxPlay::New(int32_t devType, int32_t threadMode) {
  auto* p = new TAxPlay();
  p->Create(devType, threadMode);
  return p;
}

void TAxPlay::Free(TAxPlay* player) {
  if (player == nullptr) return;
  Swallow([&] { player->DisConn(); });
  if (player->OnReadingThread()) {
    // Inside a hook: the step in flight deletes the player when it returns.
    player->free_pending_.store(true);
    return;
  }
  delete player;
}

void TAxPlay::Create(int32_t devType, int32_t threadMode) {
  (void)threadMode;  // decoding always runs on the reading thread
  std::lock_guard<TSyncLock> g(PlayerLock());
  TImpl& m = *impl_;
  try {
    video_ = vz::MakePlayVideo(*this);
  } catch (...) {
    vz::WriteLog("Create except:Render");
  }
  try {
    m.cmd = std::make_unique<TAxConn>();
  } catch (...) {
    vz::WriteLog("Create except:skt_cmd");
  }
  try {
    m.stream = std::make_unique<TAxConn>();
    // A camera's units come in bursts; one recv takes many of them.
    m.stream->SetReadAhead(kStreamReadAhead);
  } catch (...) {
    vz::WriteLog("Create except:skt_av");
  }
  SetConnTimeOut(5000);
  SetAudioPlayMask(1);
  SetDevTypeValue(devType);
  is_connect_.store(false);
  is_play_.store(false);
  SetStreamMasks(1, 1, 1);
  try {
    recording_ = vz::MakePlayRecording(*this);
    tunnel_ = vz::MakePlayTunnel(*this);
  } catch (...) {
    vz::WriteLog("Create except:AVDecode");
  }
  try {
    m.wave = std::make_unique<TWaveOut>();
    m.audio = std::make_unique<TWaveAudio>(m.wave.get());
  } catch (...) {
    vz::WriteLog("Create except:WaveOut");
  }
  try {
    vz::TFrameSeams seams;
    seams.OnFrameTime = [this](uint64_t) { ResetWatchdog(); };
    if (recording_) {
      seams.AlarmRecorder = recording_->AlarmRecorder();
      seams.NormalRecorder = recording_->NormalRecorder();
    }
    seams.Video = video_.get();
    seams.Audio = m.audio.get();
    seams.DecoderLock = &DecoderLock();
    m.handler = std::make_unique<vz::TFrameHandler>(std::move(seams));
    // One gate for handler and decoder: a reopen the handler does not do
    // itself (connect, tunnel, codec switch) must still hold P-frames back.
    if (video_) video_->UseGate(&m.handler->Gate());
    m.handler->SetAudioPlayMask(AudioPlayMask());
    m.handler->SetOnAVData([this](const uint8_t* frame, uint32_t total) { OnFrame(frame, total); });
    m.handler->SetOnAudioRaw([this](const uint8_t* pcm, uint32_t bytes) {
      std::lock_guard<std::mutex> hg(impl_->audio_hook_lock);
      if (impl_->on_audio) Swallow([&] { impl_->on_audio(*this, pcm, bytes); });
    });
  } catch (...) {
    vz::WriteLog("Create except:avCache");
  }
  try {
    m.timer = std::make_unique<TTimers>("vzSDK read");
    m.timer->SetInterval(0);
    m.timer->SetOnTimer([this] { ReadStep(); });
    m.timer->SetEnabled(true);
  } catch (...) {
    vz::WriteLog("Create except:recvThread");
  }
}

TAxPlay::~TAxPlay() {
  TImpl& m = *impl_;
  // The reading thread ends before the player lock is taken: a hook in its
  // last step may create or free another player, which takes that lock.
  if (m.timer) {
    m.timer->SetEnabled(false);
    m.timer->SetOnTimer({});
    m.timer.reset();
  }
  std::lock_guard<TSyncLock> g(PlayerLock());
  Swallow([&] {
    if (tunnel_) tunnel_->DisConn();
  });
  tunnel_.reset();
  if (m.stream) Swallow([&] { m.stream->CloseConn(); });
  if (video_) Swallow([&] { video_->UseGate(nullptr); });
  m.handler.reset();
  recording_.reset();
  video_.reset();
  m.audio.reset();
  m.wave.reset();
  m.stream.reset();
  m.cmd.reset();
}

int64_t TAxPlay::Now() const {
  TClock c = clock_.load();
  return c != nullptr ? c() : static_cast<int64_t>(std::time(nullptr));
}

bool TAxPlay::OnReadingThread() const { return impl_->reader_id.load() == std::this_thread::get_id(); }

// ---- connect -----------------------------------------------------------------

namespace {

void ConfigureConn(TAxConn& c, const vz::TConnectArgs& a, bool stream) {
  c.SetHost(a.DevAddr);
  c.SvrAddr = a.SvrAddr;
  c.SetPort(a.DataPort);
  c.UserName = a.UserName;
  c.Password = a.Password;
  c.SetConnTimeOut(static_cast<uint32_t>(a.ConnTimeOutMs > 0 ? a.ConnTimeOutMs : 0));
  c.SetClientType(TClientType::ctBlocking);
  c.SetSocketStyles(stream ? TSocketStyles{ssClose} : TSocketStyles{ssRead | ssClose});
  c.StreamFlag = stream ? 1 : 0;
}

}  // namespace

bool TAxPlay::Connect() {
  impl_->has_target.store(true);
  TLinkGuard g(impl_->link_lock, impl_->link_waiters, [this] { KickReader(); });
  last_recv_time_.store(Now());
  const vz::TConnectArgs args = ConnectArgs();
  const bool p2p = !(vz::IsIP(args.DevAddr) || vz::IsHostName(args.DevAddr));
  p2p_mode_.store(p2p);
  if (p2p) {
    ResetWatchdog();
    ApplyStreamSource();
    if (!tunnel_) return false;
    bool ok = false;
    Swallow([&] { ok = tunnel_->Connect(); });
    return ok;
  }
  // A second connect starts over on a fresh stream connection: the old one
  // is streaming and cannot carry the configuration exchange.
  if (impl_->stream && impl_->stream->Logged()) DisConnLocked();
  return ConnectTcp();
}

bool TAxPlay::ConnectTcp() {
  TImpl& m = *impl_;
  const vz::TConnectArgs args = ConnectArgs();
  const char* addr = args.DevAddr.c_str();
  vz::PostAppMessage(vz::kMsgConnecting, reinterpret_cast<uintptr_t>(this), 0);
  is_conning_.store(true);
  is_connect_.store(false);
  bool ok = false;
  try {
    if (!m.stream) throw std::logic_error("no stream connection");
    TAxConn& s = *m.stream;
    ConfigureConn(s, args, true);
    if (m.cmd) {
      std::lock_guard<std::mutex> cg(m.cmd_lock);
      ConfigureConn(*m.cmd, args, false);
    }
    if (!s.OpenLogin()) {
      s.CloseConn();
      is_conning_.store(false);
      return false;
    }
    is_connect_.store(true);
    SetUserLevel(s.UserLevel());

    auto cfg = std::make_unique<TDevCfg>();
    bool got = false;
    try {
      got = s.GetAllCfg(cfg.get());
    } catch (...) {
      vz::WriteLogF("%s Connect except:Get_AllCfg", addr);
    }
    if (!got) throw TStepFailed{};  // a short or missing block has no line of its own
    {
      std::lock_guard<std::mutex> lg(m.cfg_lock);
      m.cfg = *cfg;
    }
    SetDevTypeValue(cfg->DevInfo.DevType);
    SetDevModel(FixedText(cfg->DevInfo.Model, sizeof(cfg->DevInfo.Model)));
    const int32_t w = cfg->Video.Width;
    const int32_t h = cfg->Video.Height;
    width_.store(w);
    height_.store(h);
    int sw = 0;
    int sh = 0;
    vz::StandardExToSize(cfg->Video.SubResolution, sw, sh);
    sub_width_.store(sw);
    sub_height_.store(sh);
    if (w < 1 || h < 1) {
      vz::WriteLogF("%s Connect ImgWidth<0", addr);
      throw TStepFailed{};
    }
    ApplyStreamSource();

    if (video_) {
      video_->SetCropFraction((w == 176 || w == 352 || w == 720) ? 0.04 : 0.0);
      bool opened = false;
      try {
        video_->SetRenderSize(w, h);
        opened = video_->OpenVideo(cfg->Video.Codec);
        if (!opened) {
          vz::WriteLogF("%s Connect FreeVideoDecode", addr);
          video_->CloseVideo();
        }
      } catch (...) {
        vz::WriteLogF("%s Connect except:InitVideoDecode", addr);
      }
      if (!opened) throw TStepFailed{};
      if (video_->AudioCodecKind() != cfg->Audio.Codec) {
        bool audio_ok = false;
        try {
          audio_ok = video_->OpenAudio(cfg->Audio.Codec);
          if (!audio_ok) vz::WriteLogF("%s Connect FreeAudioDecode", addr);
        } catch (...) {
          vz::WriteLogF("%s Connect except:InitAudioDecode", addr);
        }
        if (!audio_ok) throw TStepFailed{};
      }
    }
    m.audio_codec.store(cfg->Audio.Codec);

    if (m.wave) {
      try {
        m.wave->SetActive(false);
        m.wave->SetFormat(vz::WaveFormatOfDevice(cfg->Audio));
        m.wave->SetActive(true);
      } catch (...) {
        vz::WriteLogF("%s Connect except:WaveOut.Active", addr);
      }
    }
    if (m.handler) {
      m.handler->Cache().Clear();
      const int32_t prev = RecordSettings().AlmPrevTimeLen;
      m.handler->Cache().SetPreAlarmTime(prev > 0 ? static_cast<uint32_t>(prev) : 0u);
      m.handler->SetDecoderStreamType(DisplayStreamType());
      m.handler->Gate().WaitForKey();
    }
    s.SetPktHeads({vz::kMarkerVideo, vz::kMarkerAudio, vz::kMarkerOther88, vz::kMarkerPacket,
                   vz::kMarkerStatus, vz::kMarkerCfgBlock, vz::kMarkerFirmware, vz::kMarkerOtherFF,
                   vz::kMarkerOtherDD});
    // A fresh connection gets the full watchdog time before it counts as silent.
    ResetWatchdog();
    vz::PostAppMessage(vz::kMsgConnected, reinterpret_cast<uintptr_t>(this), 0);
    ok = true;
  } catch (const TStepFailed&) {
  } catch (...) {
    vz::WriteLogF("%s Connect except", addr);
  }
  if (!ok) {
    if (m.stream) Swallow([&] { m.stream->CloseConn(); });
    is_connect_.store(false);
    is_play_.store(false);
  }
  is_conning_.store(false);
  return ok;
}

void TAxPlay::ApplyStreamSource() {
  if (!impl_->handler) return;
  if (p2p_mode_.load()) {
    impl_->handler->SetStreamSource(vz::TStreamSource::Tunnel);
    return;
  }
  bool sub = false;
  {
    std::lock_guard<std::mutex> lg(impl_->cfg_lock);
    sub = impl_->cfg.DevInfo.SubStream != 0;
  }
  impl_->handler->SetStreamSource(sub ? vz::TStreamSource::WithSubStream
                                      : vz::TStreamSource::SingleStream);
}

void TAxPlay::KickReader() {
  std::lock_guard<std::mutex> kg(impl_->kick_lock);
  if (impl_->reading && impl_->stream) {
    const int fd = impl_->stream->Handle();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  }
}

bool TAxPlay::DisConn() {
  TLinkGuard g(impl_->link_lock, impl_->link_waiters, [this] { KickReader(); });
  return DisConnLocked();
}

bool TAxPlay::DisConnLocked() {
  if (p2p_mode_.load()) {
    StopLocked();
    bool ok = false;
    if (tunnel_) Swallow([&] { ok = tunnel_->DisConn(); });
    is_connect_.store(false);
    is_play_.store(false);
    return ok;
  }
  StopLocked();
  if (impl_->stream) Swallow([&] { impl_->stream->CloseConn(); });
  is_connect_.store(false);
  is_play_.store(false);
  return true;
}

bool TAxPlay::Play() {
  TLinkGuard g(impl_->link_lock, impl_->link_waiters);
  return PlayLocked();
}

bool TAxPlay::PlayLocked() {
  bool ok = false;
  if (p2p_mode_.load()) {
    if (tunnel_) Swallow([&] { ok = tunnel_->Play(); });
  } else if (impl_->stream) {
    Swallow([&] { ok = impl_->stream->StartStream(MainMask(), AudioMask(), SubMask()); });
  }
  is_play_.store(ok);
  return ok;
}

bool TAxPlay::Stop() { return StopLocked(); }

bool TAxPlay::StopLocked() {
  if (recording_) {
    Swallow([&] { recording_->StopNmlRec(-1); });
    Swallow([&] { recording_->StopAlmRec(-1); });
  }
  is_play_.store(false);
  return true;
}

void TAxPlay::SetConnState(bool conning, bool connect, bool play) {
  is_conning_.store(conning);
  is_connect_.store(connect);
  is_play_.store(play);
}

void TAxPlay::SetPictureSize(int32_t width, int32_t height) {
  width_.store(width);
  height_.store(height);
}

// ---- reading -------------------------------------------------------------------

bool TAxPlay::Watchdog() {
  const int64_t sec = Now();
  if (sec == watchdog_second_.load()) return false;
  watchdog_second_.store(sec);
  const int32_t count = watchdog_count_.fetch_add(1) + 1;
  const int32_t limit = p2p_mode_.load() ? kWatchdogTunnelSeconds : kWatchdogTcpSeconds;
  if (count <= limit) return false;
  if (is_connect_.load()) {
    Swallow([&] { DisConn(); });
    watchdog_count_.fetch_sub(kWatchdogBackOff);
    return true;
  }
  if (AutoReConn() && impl_->has_target.load()) {
    Swallow([&] {
      if (Connect()) Play();
    });
  }
  watchdog_count_.store(0);
  return false;
}

void TAxPlay::ReadStep() {
  TImpl& m = *impl_;
  m.reader_id.store(std::this_thread::get_id());
  const bool ended = Watchdog();
  if (!ended) ReadUnit();
  if (free_pending_.load()) delete this;  // last touch of the player in this step
}

bool TAxPlay::UnitWaiting() {
  TImpl& m = *impl_;
  std::lock_guard<std::mutex> lk(m.link_lock);
  return m.stream && m.stream->Readable(0);
}

void TAxPlay::ReadUnit() {
  TImpl& m = *impl_;
  // A picture left to finish while the next unit was read is finished before
  // this thread waits for anything.
  if (video_ && video_->PicturePending() && !UnitWaiting()) Swallow([&] { video_->FinishPicture(); });
  if (m.link_waiters.load() > 0 || !m.stream) {
    SleepMs(1);
    return;
  }
  std::unique_lock<std::mutex> lk(m.link_lock);
  TAxConn& s = *m.stream;
  const int fd = s.Handle();
  if (!s.Active() || fd < 0) {
    lk.unlock();
    SleepMs(kIdleSleepMs);
    return;
  }
  if (!s.Readable(kIdleSleepMs)) return;  // the 10 ms idle wait

  {
    std::lock_guard<std::mutex> kg(m.kick_lock);
    // Waiters are counted before they cut: one that came during the poll
    // found reading false and is let in here instead.
    if (m.link_waiters.load() > 0) return;
    m.reading = true;
  }
  uint8_t* buf = m.rx.data();
  bool got = false;
  uint32_t marker = 0;
  uint32_t len = 0;
  if (s.RecvExact(buf, static_cast<int>(vz::kUnitHeadSize), kReadTimeoutMs)) {
    vz::TUnitHead head{};
    vz::ParseUnitHead(buf, vz::kUnitHeadSize, head);
    marker = head.Marker;
    len = head.Length;
    if (vz::ClassifyUnit(head) != vz::TUnitKind::Drop && len <= vz::kMaxUnitLength)
      got = s.RecvExact(buf + vz::kUnitHeadSize, static_cast<int>(len), kReadTimeoutMs);
  }
  {
    std::lock_guard<std::mutex> kg(m.kick_lock);
    m.reading = false;
  }
  const bool logged = s.Logged();
  // With the next frame already here, this video frame's picture may be
  // finished after the next frame is decoded, its conversion running meanwhile.
  const bool waiting = got && video_ && marker == vz::kMarkerVideo && s.HasWaiting(kBehindBytes);
  lk.unlock();
  if (!got) return;
  last_recv_time_.store(Now());
  if (video_) video_->SetUnitWaiting(waiting);
  DispatchUnit(buf, static_cast<uint32_t>(vz::kUnitHeadSize) + len, logged);
  // Only this thread finishes late pictures: a tunnel's reading thread
  // must never leave one.
  if (video_) video_->SetUnitWaiting(false);
}

void TAxPlay::DispatchUnit(const uint8_t* unit, uint32_t unit_bytes, bool logged) {
  vz::TUnitHead head{};
  if (unit == nullptr || !vz::ParseUnitHead(unit, unit_bytes, head)) return;
  if (head.Length > unit_bytes - vz::kUnitHeadSize) return;
  const uint8_t* body = unit + vz::kUnitHeadSize;
  if (!p2p_mode_.load()) {
    is_connect_.store(logged);
    is_play_.store(logged);
  }
  switch (head.Marker) {
    case vz::kMarkerPacket:
      HandleEventPacket(unit, static_cast<uint32_t>(vz::kUnitHeadSize) + head.Length);
      break;
    case vz::kMarkerVideo:
    case vz::kMarkerAudio:
      HandleFrame(unit, static_cast<uint32_t>(vz::kUnitHeadSize) + head.Length);
      break;
    case vz::kMarkerStatus:
      HandleStatus(body, head.Length);
      break;
    default:
      break;
  }
}

void TAxPlay::HandleFrame(const uint8_t* frame, uint32_t total) {
  if (impl_->handler) impl_->handler->Handle(frame, total);
}

void TAxPlay::OnFrame(const uint8_t* frame, uint32_t total) {
  vz::TFrameView f;
  if (!vz::ParseFrameHead(frame, total, f)) return;
  if (f.Kind == vz::TFrameKind::Video) {
    const int64_t second = static_cast<int64_t>(f.Second());
    alarm_active_.store(second < alarm_time_.load() + kAlarmHoldSeconds);
  }
  std::lock_guard<std::mutex> hg(impl_->av_hook_lock);
  if (impl_->on_av) Swallow([&] { impl_->on_av(*this, frame, 0, total); });
}

void TAxPlay::HandleEventPacket(const uint8_t* unit, uint32_t unit_bytes) {
  vz::TCmdPkt pkt{};
  std::memcpy(&pkt, unit, std::min<std::size_t>(unit_bytes, sizeof(pkt)));
  vz::TAlarmEvent ev;
  if (!vz::ParseAlarmEvent(pkt, ev)) return;  // other codes, negative channels
  int32_t type = 0;
  if (ev.Cmd == vz::kCmdAlarmRaised) {
    alarm_time_.store(static_cast<int64_t>(ev.Time));
    alarm_active_.store(true);
    type = ev.Type;
  } else {
    alarm_active_.store(false);
  }
  std::lock_guard<std::mutex> hg(impl_->alarm_hook_lock);
  if (impl_->on_alarm)
    Swallow([&] { impl_->on_alarm(*this, type, ev.Channel, ev.Flag, vz::SecondsToDateTime(ev.Time)); });
}

void TAxPlay::HandleStatus(const uint8_t* body, uint32_t body_len) {
  int channel = 0;
  int value = 0;
  if (!vz::ParseStatusSample(body, body_len, channel, value) || channel != 0) return;
  {
    std::lock_guard<std::mutex> sg(impl_->status_lock);
    std::memmove(impl_->history[0], impl_->history[1], sizeof(impl_->history) - sizeof(impl_->history[0]));
    std::memset(impl_->history[kStatusHistoryEntries - 1], 0, 4);
    impl_->history[kStatusHistoryEntries - 1][1] = static_cast<uint8_t>(value);
  }
  std::lock_guard<std::mutex> hg(impl_->status_hook_lock);
  if (impl_->on_status) Swallow([&] { impl_->on_status(*this, body, body_len); });
}

// ---- state -------------------------------------------------------------------

double TAxPlay::AlarmTime() const { return static_cast<double>(alarm_time_.load()); }

TDevCfg TAxPlay::Cfg() const {
  std::lock_guard<std::mutex> lg(impl_->cfg_lock);
  return impl_->cfg;
}

void TAxPlay::SetCfg(const TDevCfg& cfg) {
  {
    std::lock_guard<std::mutex> lg(impl_->cfg_lock);
    impl_->cfg = cfg;
  }
  ApplyStreamSource();
}

vz::TRfCfg TAxPlay::RfCfg() const {
  std::lock_guard<std::mutex> lg(impl_->cfg_lock);
  return impl_->rf;
}

void TAxPlay::StatusHistory(uint8_t (&out)[kStatusHistoryEntries][4]) const {
  std::lock_guard<std::mutex> sg(impl_->status_lock);
  std::memcpy(out, impl_->history, sizeof(out));
}

vz::TavCache& TAxPlay::PreAlarmCache() { return impl_->handler->Cache(); }
int32_t TAxPlay::LastStreamType() const { return impl_->handler ? impl_->handler->LastStreamType() : 0; }

TWaveOut* TAxPlay::WaveOut() const { return impl_ ? impl_->wave.get() : nullptr; }

// ---- hooks -------------------------------------------------------------------

void TAxPlay::SetOnAlarm(TAlarmHook hook) {
  std::lock_guard<std::mutex> hg(impl_->alarm_hook_lock);
  impl_->on_alarm = std::move(hook);
}
void TAxPlay::SetOnAVData(TAVDataHook hook) {
  std::lock_guard<std::mutex> hg(impl_->av_hook_lock);
  impl_->on_av = std::move(hook);
}
void TAxPlay::SetOnRenderAfter(TRenderAfterHook hook) {
  std::lock_guard<std::mutex> hg(impl_->render_hook_lock);
  impl_->on_render = std::move(hook);
}
void TAxPlay::SetOnStatus(TStatusHook hook) {
  std::lock_guard<std::mutex> hg(impl_->status_hook_lock);
  impl_->on_status = std::move(hook);
}
void TAxPlay::SetOnAudioRaw(TAudioRawHook hook) {
  std::lock_guard<std::mutex> hg(impl_->audio_hook_lock);
  impl_->on_audio = std::move(hook);
}
void TAxPlay::RaiseRenderAfter(uintptr_t dc, int32_t chl) {
  std::lock_guard<std::mutex> hg(impl_->render_hook_lock);
  if (impl_->on_render) Swallow([&] { impl_->on_render(*this, dc, chl); });
}

// ---- settings that reach the units -------------------------------------------

void TAxPlay::WndProc(const vz::TWinMessage& message) {
  if (message.Msg != vz::kWmDisplayChange || !video_) return;
  Swallow([&] { video_->RecreateRender(); });
}

void TAxPlay::SetDecodeStyle(uint8_t style) {
  TPlay::SetDecodeStyle(style);
  if (impl_->handler) impl_->handler->Gate().SetDecodeStyle(style);
  if (video_) Swallow([&] { video_->SetDecodeStyle(style); });
}

void TAxPlay::SetShowOSD(bool show) {
  TPlay::SetShowOSD(show);
  if (video_) Swallow([&] { video_->SetShowOSD(show); });
}

void TAxPlay::SetImgEqualScaling(bool flag) {
  TPlay::SetImgEqualScaling(flag);
  if (video_) Swallow([&] { video_->SetEqualScaling(flag); });
}

void TAxPlay::SetRecordStreamType(int32_t type) {
  TPlay::SetRecordStreamType(type);
  if (impl_->handler) impl_->handler->SetRecordStreamType(type);
}

void TAxPlay::SetDisplayStreamType(int32_t type) {
  TPlay::SetDisplayStreamType(type);
  if (impl_->handler) impl_->handler->SetDisplayStreamType(type);
}

void TAxPlay::SetAudioPlayMask(uint64_t mask) {
  TPlay::SetAudioPlayMask(mask);
  if (impl_ && impl_->handler) impl_->handler->SetAudioPlayMask(mask);
}

// ---- recording and snapshots ---------------------------------------------------

bool TAxPlay::SaveToJpg(int32_t chl, const std::string& file) {
  bool ok = false;
  if (video_) Swallow([&] { ok = video_->SaveToJpg(chl, file); });
  return ok;
}

bool TAxPlay::StartNmlRec(int32_t chl) {
  if (!is_connect_.load() || !recording_) return false;
  bool ok = false;
  Swallow([&] { ok = recording_->StartNmlRec(chl); });
  return ok;
}
bool TAxPlay::StopNmlRec(int32_t chl) {
  bool ok = false;
  if (recording_) Swallow([&] { ok = recording_->StopNmlRec(chl); });
  return ok;
}
bool TAxPlay::StartAlmRec(int32_t chl) {
  if (!is_connect_.load() || !recording_) return false;
  bool ok = false;
  Swallow([&] { ok = recording_->StartAlmRec(chl); });
  return ok;
}
bool TAxPlay::StopAlmRec(int32_t chl) {
  bool ok = false;
  if (recording_) Swallow([&] { ok = recording_->StopAlmRec(chl); });
  return ok;
}
bool TAxPlay::IsNmlRec(int32_t chl) {
  bool ok = false;
  if (recording_) Swallow([&] { ok = recording_->IsNmlRec(chl); });
  return ok;
}
bool TAxPlay::IsAlmRec(int32_t chl) {
  bool ok = false;
  if (recording_) Swallow([&] { ok = recording_->IsAlmRec(chl); });
  return ok;
}

// ---- configuration over the command connection ----------------------------------

bool TAxPlay::WithCmdConn(const std::function<bool(TAxConn&)>& op, std::optional<vz::TRecordKind> copy) {
  if (!is_connect_.load() || !impl_->cmd) return false;
  TImpl& m = *impl_;
  std::lock_guard<std::mutex> cg(m.cmd_lock);
  TAxConn& c = *m.cmd;
  bool ok = false;
  try {
    if (!c.OpenLogin()) {
      c.CloseConn();
      return false;
    }
    ok = op(c);
    c.CloseConn();
    // Only the record this exchange moved is fresh in the short
    // connection's copy; the rest of it never saw the device.
    if (ok && copy) {
      const vz::TDevCfg& fresh = c.Cfg();
      const uint8_t* src = vz::RecordInCfg(fresh, *copy);
      std::lock_guard<std::mutex> lg(m.cfg_lock);
      uint8_t* dst = vz::RecordInCfg(m.cfg, *copy);
      if (src != nullptr && dst != nullptr) std::memcpy(dst, src, vz::RecordInfo(*copy).Size);
    }
  } catch (...) {
    Swallow([&] { c.CloseConn(); });
    ok = false;
  }
  if (ok && copy) ApplyStreamSource();
  return ok;
}

namespace {

// Copies a record from the player's copy (fromCache reads).
template <typename T>
bool FromCopy(const TDevCfg& cfg, vz::TRecordKind kind, T* buf) {
  if (buf == nullptr) return false;
  const uint8_t* src = vz::RecordInCfg(cfg, kind);
  if (src == nullptr) return false;
  std::memcpy(buf, src, sizeof(T));
  return true;
}

}  // namespace

#define VZ_RECORD_OPS(Name, Kind, Type)                                                      \
  bool TAxPlay::Get##Name(vz::Type* buf, bool fromCache) {                                   \
    if (fromCache) return is_connect_.load() && FromCopy(Cfg(), vz::TRecordKind::Kind, buf); \
    return WithCmdConn([&](TAxConn& c) { return c.Get##Name(buf, false); },                  \
                       vz::TRecordKind::Kind);                                               \
  }                                                                                          \
  bool TAxPlay::Set##Name(vz::Type* buf) {                                                   \
    return WithCmdConn([&](TAxConn& c) { return c.Set##Name(buf); }, vz::TRecordKind::Kind); \
  }

VZ_RECORD_OPS(NetCfg, Net, TNetCfg)
VZ_RECORD_OPS(WiFiCfg, WiFi, TWiFiCfg)
VZ_RECORD_OPS(DevInfo, DevInfo, TDevInfo)
VZ_RECORD_OPS(UserCfg, User, TUserCfg)
VZ_RECORD_OPS(MDCfg, MD, TMDCfg)
VZ_RECORD_OPS(HideAreaCfg, HideArea, THideAreaCfg)
VZ_RECORD_OPS(Rs485Cfg, Rs485, TRs485Cfg)
VZ_RECORD_OPS(AlmCfg, Alm, TAlmCfg)
VZ_RECORD_OPS(DiDoCfg, DiDo, TDiDoCfg)
VZ_RECORD_OPS(FTPCfg, FTP, TFTPCfg)
VZ_RECORD_OPS(EmailCfg, Email, TEmailCfg)
VZ_RECORD_OPS(DiskCfg, Disk, TDiskCfg)
#undef VZ_RECORD_OPS

bool TAxPlay::GetRecCfg(vz::TRecCfg* buf, bool fromCache) {
  if (fromCache) return is_connect_.load() && FromCopy(Cfg(), vz::TRecordKind::Rec, buf);
  return WithCmdConn([&](TAxConn& c) { return c.GetRecCfg(buf, false); }, vz::TRecordKind::Rec);
}
bool TAxPlay::SetRecCfg(vz::TRecCfg* buf, int32_t chl) {
  return WithCmdConn([&](TAxConn& c) { return c.SetRecCfg(buf, chl); }, vz::TRecordKind::Rec);
}

bool TAxPlay::GetVideoCfg(vz::TVideoCfg* buf, int32_t chl, bool fromCache) {
  // The cached record answers also while disconnected.
  if (fromCache) return FromCopy(Cfg(), vz::TRecordKind::Video, buf);
  return WithCmdConn([&](TAxConn& c) { return c.GetVideoCfg(buf, chl, false); },
                     vz::TRecordKind::Video);
}
bool TAxPlay::SetVideoCfg(vz::TVideoCfg* buf, int32_t chl) {
  return WithCmdConn([&](TAxConn& c) { return c.SetVideoCfg(buf, chl); }, vz::TRecordKind::Video);
}

bool TAxPlay::GetAudioCfg(vz::TAudioCfg* buf, int32_t chl, bool fromCache) {
  if (fromCache) return is_connect_.load() && FromCopy(Cfg(), vz::TRecordKind::Audio, buf);
  return WithCmdConn([&](TAxConn& c) { return c.GetAudioCfg(buf, chl, false); },
                     vz::TRecordKind::Audio);
}

bool TAxPlay::SetAudioCfg(vz::TAudioCfg* buf, int32_t chl) {
  if (!WithCmdConn([&](TAxConn& c) { return c.SetAudioCfg(buf, chl); }, vz::TRecordKind::Audio))
    return false;
  RebuildWaveOut(*buf);
  return true;
}

void TAxPlay::RebuildWaveOut(const vz::TAudioCfg& cfg) {
  TImpl& m = *impl_;
  const int32_t current = video_ ? video_->AudioCodecKind() : m.audio_codec.load();
  if (cfg.Active == 1 && cfg.Codec != current && m.wave) {
    Swallow([&] {
      m.wave->SetActive(false);
      m.wave->SetFormat(vz::WaveFormatOfDevice(cfg));
      m.wave->SetActive(true);
    });
  }
  m.audio_codec.store(cfg.Codec);
  if (video_) Swallow([&] { video_->OpenAudio(cfg.Codec); });
}

bool TAxPlay::UploadImage(const std::string& file, uint32_t imageType,
                          const vz::TUploadProgress& progress) {
  return WithCmdConn(
      [&](TAxConn& c) {
        TAxConn::TProgress p;
        if (progress) p = [&progress](uint64_t pos, uint64_t total) { progress(pos, total); };
        return c.UploadImage(file, imageType, p);
      },
      std::nullopt);
}

bool TAxPlay::ClearAlarm(int32_t chl) {
  const bool ok = WithCmdConn([&](TAxConn& c) { return c.ClearAlarm(chl); }, std::nullopt);
  if (ok) alarm_active_.store(false);
  return ok;
}

bool TAxPlay::SetDevTime(double dateTime) {
  if (!is_connect_.load() || p2p_mode_.load()) return false;
  const int64_t secs = vz::DateTimeToSeconds(dateTime);
  vz::TCmdPkt pkt{};
  vz::BuildSetTime(static_cast<uint32_t>(secs), pkt);
  TLinkGuard g(impl_->link_lock, impl_->link_waiters);
  if (!impl_->stream) return false;
  bool ok = false;
  Swallow([&] { ok = impl_->stream->SendCmd(&pkt, static_cast<int>(sizeof(pkt)), kRawTimeoutMs); });
  return ok;
}

double TAxPlay::GetDevTime() {
  double t = 0;
  WithCmdConn(
      [&](TAxConn& c) {
        t = c.GetDevTime();
        return t != 0;
      },
      std::nullopt);
  return t;
}

bool TAxPlay::Reboot() {
  return WithCmdConn([](TAxConn& c) { return c.Reboot(); }, std::nullopt);
}

bool TAxPlay::SetDefault() {
  return WithCmdConn([](TAxConn& c) { return c.SetDefault(); }, std::nullopt);
}

bool TAxPlay::PTZControl(int32_t cmd, int32_t chl, int32_t speed, int32_t point, int32_t extra) {
  if (p2p_mode_.load()) {
    bool ok = false;
    if (tunnel_) Swallow([&] { ok = tunnel_->PTZControl(cmd, chl, speed, point, extra); });
    return ok;
  }
  if (chl < 0 || chl >= vz::kPtzEntries) return false;
  vz::TPtzEntry entry{};
  {
    std::lock_guard<std::mutex> lg(impl_->cfg_lock);
    entry = impl_->cfg.Rs485.Ptz[chl];
  }
  return WithCmdConn(
      [&](TAxConn& c) { return c.PTZControl(cmd, entry.Addr, speed, point, entry.Protocol, extra); },
      std::nullopt);
}

bool TAxPlay::GetColors(int32_t chl, uint8_t* brightness, uint8_t* contrast, uint8_t* hue,
                        uint8_t* saturation, uint8_t* sharpness) {
  (void)chl;  // one cached video record serves every channel
  const TDevCfg cfg = Cfg();
  if (brightness) *brightness = cfg.Video.Brightness;
  if (contrast) *contrast = cfg.Video.Contrast;
  if (hue) *hue = cfg.Video.Hue;
  if (saturation) *saturation = cfg.Video.Saturation;
  if (sharpness) *sharpness = cfg.Video.Sharpness;
  return true;
}

bool TAxPlay::SetColors(int32_t chl, uint8_t brightness, uint8_t contrast, uint8_t hue,
                        uint8_t saturation, uint8_t sharpness) {
  const bool ok = WithCmdConn(
      [&](TAxConn& c) { return c.SetColors(chl, brightness, contrast, hue, saturation, sharpness); },
      std::nullopt);
  if (ok) {
    std::lock_guard<std::mutex> lg(impl_->cfg_lock);
    impl_->cfg.Video.Brightness = brightness;
    impl_->cfg.Video.Contrast = contrast;
    impl_->cfg.Video.Hue = hue;
    impl_->cfg.Video.Saturation = saturation;
    impl_->cfg.Video.Sharpness = sharpness;
  }
  return ok;
}

bool TAxPlay::SerialSend(const void* data, int32_t length) {
  if (data == nullptr || length < 0 || static_cast<std::size_t>(length) > vz::kSerialMaxBytes)
    return false;
  return WithCmdConn([&](TAxConn& c) { return c.SerialSend(data, length); }, std::nullopt);
}

namespace {

bool IsCommandPacket(const void* packet, int32_t length) {
  if (packet == nullptr || length < 8) return false;
  uint32_t marker = 0;
  uint32_t len = 0;
  std::memcpy(&marker, packet, 4);
  std::memcpy(&len, static_cast<const uint8_t*>(packet) + 4, 4);
  return marker == vz::kMarkerPacket && len == vz::kPktLength;
}

vz::TCmdPkt PacketOf(const void* packet, int32_t length) {
  vz::TCmdPkt pkt{};
  std::memcpy(&pkt, packet, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof(pkt)));
  return pkt;
}

}  // namespace

bool TAxPlay::SendRaw(const void* packet, int32_t length) {
  if (packet == nullptr || length <= 0) return false;
  if (!IsCommandPacket(packet, length)) {
    TLinkGuard g(impl_->link_lock, impl_->link_waiters);
    if (!impl_->stream) return false;
    bool ok = false;
    Swallow([&] { ok = impl_->stream->SendExact(packet, length, kRawTimeoutMs); });
    return ok;
  }
  vz::TCmdPkt pkt = PacketOf(packet, length);
  return WithCmdConn(
      [&](TAxConn& c) { return c.SendCmd(&pkt, static_cast<int>(sizeof(pkt)), kRawTimeoutMs); },
      std::nullopt);
}

bool TAxPlay::RequestRaw(const void* packet, int32_t length, uint32_t timeoutMs, int32_t replyLength,
                         void* reply) {
  if (!IsCommandPacket(packet, length) || reply == nullptr || replyLength <= 0) return false;
  vz::TCmdPkt pkt = PacketOf(packet, length);
  return WithCmdConn(
      [&](TAxConn& c) {
        return c.SendCmd(&pkt, static_cast<int>(sizeof(pkt)), timeoutMs) &&
               c.RecvExact(reply, replyLength, timeoutMs);
      },
      std::nullopt);
}
