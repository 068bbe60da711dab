#include "class_Recorder.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "AppPaths.h"
#include "LogWriter.h"
#include "PlayParts.h"
#include "class_AxPlay.h"
#include "class_avCache.h"

namespace vz {

namespace {

int64_t SpanMs(TDateTime from, TDateTime to) { return std::llround((to - from) * kMsPerDay); }

uint32_t HeaderSeconds(TDateTime t) {
  const int64_t s = DateTimeToSeconds(t);
  return s < 0 ? 0u : static_cast<uint32_t>(s);
}

DateTimeParts PartsOf(TDateTime t) {
  DateTimeParts p;
  if (!DecodeDateTime(t, p)) p = DateTimeParts{1970, 1, 1};
  return p;
}

// "yyyymmdd", the day folder.
std::string DayText(TDateTime t) {
  const DateTimeParts p = PartsOf(t);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", p.year, p.month, p.day);
  return text;
}

// "yyyymmdd_hhnnss", the file name's time.
std::string StampText(TDateTime t) {
  const DateTimeParts p = PartsOf(t);
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
  return text;
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  return folder;
}

// Events are the application's code: nothing they throw gets back into the
// recorder.
template <typename F>
void CallEvent(const char* what, F&& f) {
  try {
    f();
  } catch (...) {
    WriteLogF("Recorder except:%s", what);
  }
}

}  // namespace

// Holds a kind's lock and notes the holding thread, so an event running
// under it can be told from another thread.
class TRecorder::THeld {
 public:
  explicit THeld(TState& s) : s_(s), owns_(true) {
    s_.lock.lock();
    s_.holder.store(std::this_thread::get_id());
  }
  THeld(TState& s, std::try_to_lock_t) : s_(s), owns_(s.lock.try_lock()) {
    if (owns_) s_.holder.store(std::this_thread::get_id());
  }
  ~THeld() {
    if (!owns_) return;
    s_.holder.store(std::thread::id());
    s_.lock.unlock();
  }
  THeld(const THeld&) = delete;
  THeld& operator=(const THeld&) = delete;
  bool Owns() const { return owns_; }

 private:
  TState& s_;
  const bool owns_;
};

TRecorder::TRecorder(std::unique_ptr<IRecorderHost> host) : host_(std::move(host)) {}

TRecorder::~TRecorder() {
  for (TState* s : {&alarm_, &normal_}) {
    THeld held(*s);
    StopLocked(*s, /*with_event=*/false);
  }
}

std::string TRecorder::FolderFor(TState& s, TDateTime now) {
  TRecordSettings settings = host_->Settings();
  std::string& own = s.kind == TRecKind::Normal ? settings.NmlRecPath : settings.AlmRecPath;
  const TRecEvents events = host_->Events();
  if (events.Path) {
    // Room beyond the 40 bytes the event may use: a callback that writes
    // past them hits our spare bytes, not the stack.
    char buffer[256] = {};
    CallEvent("RecPath", [&] { events.Path(buffer); });
    const std::size_t n = strnlen(buffer, kRecPathEventBytes);
    if (n == kRecPathEventBytes) {
      WriteLog("Recorder: record folder from the path event does not fit 40 bytes");
    } else if (n > 0) {
      own.assign(buffer, n);
    }
  }
  if (own.empty()) {
    host_->SetFolders(settings.NmlRecPath, settings.AlmRecPath);
    return std::string();
  }
  // Only the other kind can still be empty here.
  std::string root = host_->StorageRoot();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  const std::string day = DayText(now);
  if (settings.NmlRecPath.empty()) settings.NmlRecPath = root + "/Rec/" + day + "/";
  if (settings.AlmRecPath.empty()) settings.AlmRecPath = root + "/Alm/" + day + "/";
  host_->SetFolders(settings.NmlRecPath, settings.AlmRecPath);
  return WithSlash(s.kind == TRecKind::Normal ? settings.NmlRecPath : settings.AlmRecPath);
}

bool TRecorder::StartLocked(TState& s, TDateTime now) {
  const TRecStartInfo info = host_->StartInfo();
  if (!info.Connected) return false;
  const std::string folder = FolderFor(s, now);
  if (folder.empty()) return false;
  if (s.file.IsOpen()) return false;

  TRecFileHeader header = MakeRecHeader();
  if (!SetRecSvrAddr(header, info.SvrAddr)) {
    WriteLogF("Recorder: device address of %zu bytes does not fit the record header", info.SvrAddr.size());
    return false;
  }
  const std::string dir = folder + info.SvrAddr + "_" + std::to_string(info.DataPort) + "/";
  const std::string name = dir + StampText(now) + "_0." + kRecFileExt;
  if (name.size() > kRecFileNameMax) {
    WriteLogF("Recorder: file name of %zu characters exceeds %zu: %s", name.size(), kRecFileNameMax,
              name.c_str());
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!s.file.Create(name)) return false;
  s.open.store(true);

  header.DevType = info.DevType;
  SetRecVideoPart(header, info.Video);
  SetRecAudioPart(header, info.Audio);
  // Before the first decoded picture the configured size is the best guess.
  if (info.PictureWidth > 0 && info.PictureHeight > 0) {
    header.Video.Width = info.PictureWidth;
    header.Video.Height = info.PictureHeight;
  }
  if (info.Tunnel) header.Video.Codec = kRecCodecH264;
  if (info.LastStreamType == 1) {
    auto* raw = reinterpret_cast<uint8_t*>(&header);
    raw[kRecSubStreamByte] = raw[kRecSubStreamByte + 1];
  }
  s.start = now;
  header.StartTime = HeaderSeconds(now);
  if (s.kind == TRecKind::Normal) {
    s.end = 0;
  } else {
    header.EndTime = HeaderSeconds(s.end);
  }
  s.header = header;
  s.addr = info.SvrAddr;
  s.port = info.DataPort;
  s.user_slot = 0;
  s.file.WriteHeader(s.header);

  if (s.kind == TRecKind::Alarm) {
    TavCache* cache = host_->PreAlarmCache();
    if (cache != nullptr && cache->PreAlarmTime() > 0) {
      int64_t last_key = kRecFirstFrameOffset;
      cache->WriteTo(s.file.Fd(), last_key);
      s.file.AdoptAppended(last_key);
    }
  }
  const TRecEvents events = host_->Events();
  if (events.Start) {
    CallEvent("RecStart", [&] {
      events.Start(s.addr.c_str(), s.port, 0, static_cast<int32_t>(s.kind), s.start, s.file.Path().c_str(),
                   &s.user_slot);
    });
  }
  s.started = false;
  return true;
}

void TRecorder::StopLocked(TState& s, bool with_event) {
  if (!s.file.IsOpen()) return;
  const TDateTime now = with_event ? host_->Now() : SdkNow();
  s.end = now;
  s.header.EndTime = HeaderSeconds(now);
  const uint64_t bytes = s.file.Close(s.header);
  s.open.store(false);
  s.started = false;
  if (bytes <= kRecHeaderSize) {
    s.file.RemoveClosed();
    return;
  }
  if (!with_event) return;
  const TRecEvents events = host_->Events();
  if (events.Stop) {
    CallEvent("RecStop", [&] {
      events.Stop(s.addr.c_str(), s.port, 0, static_cast<int32_t>(s.kind), static_cast<int64_t>(bytes), s.start,
                  s.end, s.file.Path().c_str(), s.user_slot);
    });
  }
}

bool TRecorder::Start(TState& s, int32_t channel) {
  if (s.holder.load() == std::this_thread::get_id()) return false;  // from inside an event
  THeld held(s);
  try {
    const TDateTime now = host_->Now();
    if (s.kind == TRecKind::Alarm) {
      const TRecStartInfo info = host_->StartInfo();
      if (!info.Connected || channel < 0 || channel > 31) return false;
      if ((info.PlayedVideoMask & (1u << channel)) == 0) return false;
      s.end = now + static_cast<double>(host_->Settings().AlmTimeLen) / kSecondsPerDay;
      s.header.EndTime = HeaderSeconds(s.end);
      if (s.file.IsOpen()) {  // extended; the file's header tells the new planned end
        s.file.WriteHeader(s.header);
        return false;
      }
    }
    return StartLocked(s, now);
  } catch (...) {
    WriteLog("Recorder except:Start");
    StopLocked(s, /*with_event=*/false);
    s.file.RemoveClosed();
    return false;
  }
}

bool TRecorder::Stop(TState& s, int32_t channel) {
  if (s.holder.load() == std::this_thread::get_id()) return false;
  THeld held(s);
  if (channel != -1 && channel > host_->StartInfo().ChannelCount) return false;
  const bool was_open = s.file.IsOpen();
  StopLocked(s, /*with_event=*/true);
  return channel == -1 || was_open;
}

bool TRecorder::StartNmlRec(int32_t channel) {
  const bool ok = Start(normal_, channel);
  return channel == -1 ? normal_.open.load() : ok;
}

bool TRecorder::StopNmlRec(int32_t channel) { return Stop(normal_, channel); }
bool TRecorder::StartAlmRec(int32_t channel) { return Start(alarm_, channel); }
bool TRecorder::StopAlmRec(int32_t channel) { return Stop(alarm_, channel); }
bool TRecorder::IsNmlRec(int32_t) const { return normal_.open.load(); }
bool TRecorder::IsAlmRec(int32_t) const { return alarm_.open.load(); }

void TRecorder::WriteFrame(TState& s, const TFrameView& frame) {
  if (!s.open.load()) return;
  THeld held(s, std::try_to_lock);
  if (!held.Owns() || !s.file.IsOpen()) return;  // busy, or closed meanwhile
  try {
    TavCache* cache = host_->PreAlarmCache();
    const bool every_frame = s.kind == TRecKind::Alarm && cache != nullptr && cache->PreAlarmTime() > 0;
    if (!every_frame && !s.started) {
      if (frame.Kind != TFrameKind::Video || frame.Head.IsIFrame == 0) return;
      s.started = true;
    }
    s.file.WriteFrame(frame);  // a failed write loses this frame only
    const TDateTime now = host_->Now();
    if (s.kind == TRecKind::Alarm) {
      if (now >= s.end || SpanMs(s.start, s.end) > kRecAlarmCapMs) StopLocked(s, /*with_event=*/true);
      return;
    }
    const int64_t length_s = host_->Settings().NmlTimeLen;
    if (length_s > 0 && SpanMs(s.start, now) >= length_s * 1000) {
      StopLocked(s, /*with_event=*/true);
      StartLocked(s, now);
    }
  } catch (...) {
    WriteLog("Recorder except:WriteFrame");
  }
}

// ---- the live player as host ---------------------------------------------

namespace {

std::mutex& EventSourceLock() {
  static std::mutex lock;
  return lock;
}
TRecorder::TEventSource& EventSource() {
  static TRecorder::TEventSource source;  // guarded by EventSourceLock()
  return source;
}

class TPlayerHost : public IRecorderHost {
 public:
  explicit TPlayerHost(TAxPlay& player) : player_(player) {}

  TRecStartInfo StartInfo() override {
    TRecStartInfo info;
    info.Connected = player_.IsConnect();
    const TConnectArgs args = player_.ConnectArgs();
    info.SvrAddr = args.SvrAddr;
    info.DataPort = args.DataPort;
    info.DevType = player_.DevType();
    const TDevCfg cfg = player_.Cfg();
    info.Video = cfg.Video;
    info.Audio = cfg.Audio;
    info.ChannelCount = cfg.DevInfo.VideoChannels;
    if (IPlayVideo* video = player_.Video()) {
      info.PictureWidth = video->PictureWidth();
      info.PictureHeight = video->PictureHeight();
    }
    info.Tunnel = player_.P2PMode();
    info.LastStreamType = player_.LastStreamType();
    info.PlayedVideoMask = player_.MainMask();
    return info;
  }
  TRecordSettings Settings() override { return player_.RecordSettings(); }
  void SetFolders(const std::string& normal, const std::string& alarm) override {
    TRecordSettings s = player_.RecordSettings();
    s.NmlRecPath = normal;
    s.AlmRecPath = alarm;
    player_.SetRecordSettings(s);
  }
  TRecEvents Events() override {
    TRecorder::TEventSource source;
    {
      std::lock_guard<std::mutex> g(EventSourceLock());
      source = EventSource();
    }
    return source ? source(&player_) : TRecEvents{};
  }
  TavCache* PreAlarmCache() override { return &player_.PreAlarmCache(); }
  TDateTime Now() override { return SdkNow(); }
  std::string StorageRoot() override { return AppFolder(); }

 private:
  TAxPlay& player_;
};

}  // namespace

void TRecorder::SetEventSource(TEventSource source) {
  std::lock_guard<std::mutex> g(EventSourceLock());
  EventSource() = std::move(source);
}

void TRecorder::RegisterForPlayers() {
  RegisterPlayRecording([](TAxPlay& player) -> std::unique_ptr<IPlayRecording> {
    return std::make_unique<TRecorder>(std::make_unique<TPlayerHost>(player));
  });
}

namespace {
// Every live player records through TRecorder unless a test installs another.
const bool kRegistered = (TRecorder::RegisterForPlayers(), true);
}  // namespace

}  // namespace vz
