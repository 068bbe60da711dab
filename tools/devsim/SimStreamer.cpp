#include "SimStreamer.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "SimBytes.h"
#include "SimDevice.h"
#include "SimEncodeCache.h"
#include "SimLayout.h"
#include "SimLink.h"

namespace vzsim {
namespace {

using namespace layout;

constexpr auto kSecond = std::chrono::seconds(1);
constexpr auto kMaxSleep = std::chrono::milliseconds(20);
// A sender that fell this far behind (a slow reader) starts afresh from now
// instead of bursting the backlog out.
constexpr auto kMaxLag = std::chrono::seconds(1);
constexpr int kDefaultGarbage = 64;
constexpr int64_t kDefaultClockBack_s = 3600;
constexpr uint32_t kOverLongLength = kMaxUnit + 8;

constexpr uint32_t kAcceptedMarkers[] = {kMarkPacket, kMarkVideo, kMarkAudio, kMarkStatus, kMarkOther88,
                                         kMarkConfig, kMarkChunk, kMarkOtherFF, kMarkTalk};

bool IsAccepted(uint32_t word) {
  return std::find(std::begin(kAcceptedMarkers), std::end(kAcceptedMarkers), word) != std::end(kAcceptedMarkers);
}

uint32_t Field(const uint8_t* record, size_t size, size_t off) { return GetU32(record, size, off); }

}  // namespace

SimStreamer::SimStreamer(SimDevice& device, SimLink& link, uint32_t loginId, uint64_t connection)
    : device_(device), link_(link), loginId_(loginId), connection_(connection) {}

SimStreamer::~SimStreamer() { Stop(); }

void SimStreamer::Start(const SimStreamMasks& masks) {
  Stop();
  stop_.store(false);
  // Alarms raised from here on reach this connection, even those raised
  // before the sender has its loops ready.
  alarmSeen_ = device_.Alarms().Latest();
  thread_ = std::thread([this, masks] { Run(masks); });
}

void SimStreamer::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void SimStreamer::Prepare(const SimStreamMasks& masks) {
  videos_.clear();
  audios_.clear();
  SimState state;
  device_.Read([&](const SimState& s) { state = s; });
  channels_ = state.Channels();
  const bool hasSub = state.cfg[kInfoAt + kInfoSubStream] != 0;
  // Each channel of a multi-channel device shows a picture of its own, so a
  // pane showing the wrong channel is seen at once; a camera's one channel
  // keeps the plain picture.
  const bool marked = channels_ > 1;
  struct Wanted {
    int channel;
    uint32_t type;
    SimVideoFormat format;
    SimEncodeCache::Pending pending;
  };
  // Every loop is asked for before any is waited for: a DVR's channels are
  // encoded side by side, not one after the other.
  std::vector<Wanted> requests;
  for (int c = 0; c < channels_; ++c) {
    const auto& rec = state.video[static_cast<size_t>(c)];
    const uint8_t* v = rec.data();
    const size_t n = rec.size();
    SimVideoFormat main;
    main.codec = static_cast<int32_t>(Field(v, n, kVideoCodec));
    main.width = static_cast<int32_t>(Field(v, n, kVideoWidth));
    main.height = static_cast<int32_t>(Field(v, n, kVideoHeight));
    main.fps = static_cast<int32_t>(Field(v, n, kVideoRate));
    main.keyInterval = static_cast<int32_t>(Field(v, n, kVideoKeyInterval));
    main.bitRate = static_cast<int32_t>(Field(v, n, kVideoBitRate));
    if (main.fps <= 0) main.fps = 25;
    if (main.keyInterval <= 0) main.keyInterval = main.fps;
    main.channel = marked ? c : -1;
    main.busy = device_.BusyScene();
    SimVideoFormat sub = main;
    sub.codec = v[kVideoSubCodec];
    const int code = v[kVideoSubResolution];
    sub.width = code < kResolutionCount ? kResolutions[code].width : 0;
    sub.height = code < kResolutionCount ? kResolutions[code].height : 0;
    if (v[kVideoSubRate] != 0) sub.fps = v[kVideoSubRate];
    const int32_t subRate = static_cast<int32_t>(Field(v, n, kVideoSubBitRate));
    sub.bitRate = subRate > 0 ? subRate : main.bitRate / 4;

    const struct {
      bool wanted;
      uint32_t type;
      const SimVideoFormat& format;
    } streams[] = {{(masks.main >> c & 1u) != 0, kMainStream, main},
                   {hasSub && (masks.sub >> c & 1u) != 0, kSubStream, sub}};
    for (const auto& s : streams) {
      if (!s.wanted || stop_.load()) continue;
      requests.push_back(Wanted{c, s.type, s.format, SimEncodeCache::Instance().Request(s.format)});
    }

    const auto& arec = state.audio[static_cast<size_t>(c)];
    const uint8_t* a = arec.data();
    if ((masks.audio >> c & 1u) != 0 && Field(a, arec.size(), kAudioActive) == 1) {
      const SimAudioFormat format =
          SimAudio::FormatFrom(static_cast<int32_t>(Field(a, arec.size(), kAudioChannels)),
                               static_cast<int32_t>(Field(a, arec.size(), kAudioRate)),
                               static_cast<int32_t>(Field(a, arec.size(), kAudioBits)));
      Audio audio;
      audio.channel = c;
      audio.tone = std::make_unique<SimAudio>(format, c);
      audio.period = std::chrono::microseconds(audio.tone->BlockUs());
      audios_.push_back(std::move(audio));
    }
  }
  sentThisSecond_.assign(static_cast<size_t>(channels_), 0);
  for (const Wanted& w : requests) {
    // The first stream of a loop waits for its encoding; a stop request does not.
    while (!stop_.load() && w.pending.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    }
    if (stop_.load()) return;
    std::shared_ptr<const SimLoop> loop = w.pending.get();
    if (!loop) {
      device_.Log("channel %d stream %u sends no video: %s", w.channel, w.type,
                  SimEncodeCache::Instance().Error(w.format).c_str());
      continue;
    }
    Video video;
    video.channel = w.channel;
    video.streamType = w.type;
    video.loop = loop;
    video.period = std::chrono::duration_cast<Clock::duration>(kSecond) / loop->format.fps;
    videos_.push_back(std::move(video));
  }
  // Every source starts once all are ready, rather than bursting out what
  // the wait for the encodings would have paced.
  const Clock::time_point start = Clock::now();
  for (Video& v : videos_) v.due = start;
  for (Audio& a : audios_) a.due = start;
}

void SimStreamer::Run(SimStreamMasks masks) {
  const std::string name = "vzDevSim av " + std::to_string(device_.Index());
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  Prepare(masks);
  device_.Log("connection %llu streams %zu video and %zu audio sources", static_cast<unsigned long long>(connection_),
              videos_.size(), audios_.size());
  device_.Sent().streaming.fetch_add(1);
  Clock::time_point statusDue = Clock::now() + kSecond;
  Clock::time_point overLongDue = Clock::now();
  bool ok = true;
  while (ok && !stop_.load()) {
    const FaultSpec fault = device_.StreamFault();
    clockBackUs_ = fault.kind == Fault::ClockBack ? (fault.arg > 0 ? fault.arg : kDefaultClockBack_s) * 1000000 : 0;
    Clock::time_point now = Clock::now();
    if (fault.kind == Fault::StreamSilent) {
      // Nothing leaves the device; afterwards it goes on from the present.
      for (Video& v : videos_) v.due = now;
      for (Audio& a : audios_) a.due = now;
      statusDue = now + kSecond;
      std::this_thread::sleep_for(kMaxSleep);
      continue;
    }
    ok = SendAlarms();
    if (ok && now >= statusDue) {
      ok = SendStatus();
      statusDue = std::max(statusDue + kSecond, now);
    }
    if (ok && fault.kind == Fault::StreamOverLong && now >= overLongDue) {
      ok = SendOverLong();
      overLongDue = now + kSecond;
    }
    Clock::time_point next = now + kMaxSleep;
    for (Video& v : videos_) {
      if (!ok) break;
      if (now >= v.due) {
        if (fault.kind == Fault::StreamCut) {
          SendVideo(v, fault);
          ok = false;
          break;
        }
        ok = SendVideo(v, fault);
        v.due = fault.kind == Fault::StreamFlood ? now : v.due + v.period;
        if (now - v.due > kMaxLag) v.due = now;
      }
      next = std::min(next, v.due);
    }
    for (Audio& a : audios_) {
      if (!ok) break;
      if (now >= a.due) {
        ok = SendAudio(a);
        a.due += a.period;
        if (now - a.due > kMaxLag) a.due = now;
      }
      next = std::min(next, a.due);
    }
    if (ok) std::this_thread::sleep_until(std::min(next, statusDue));
  }
  device_.Sent().streaming.fetch_sub(1);
  if (!ok) {
    // A reader that stopped taking data, or a cut on purpose: the
    // connection ends, as a device's would.
    device_.Log("connection %llu: stream ends", static_cast<unsigned long long>(connection_));
    link_.Cut();
  }
}

int64_t SimStreamer::StampUs() const { return device_.DeviceTimeUs() - clockBackUs_; }

bool SimStreamer::SendUnit(uint32_t marker, const uint8_t* headTail, const uint8_t* payload, size_t length) {
  const size_t total = kFrameHead + length;
  unit_.resize(total);
  PutU32(unit_.data(), total, 0, marker);
  PutU32(unit_.data(), total, 4, static_cast<uint32_t>(length + kFrameLenExtra));
  std::memcpy(unit_.data() + kHeadSize, headTail, kFrameHead - kHeadSize);
  if (length > 0) std::memcpy(unit_.data() + kFrameHead, payload, length);
  if (!link_.WriteAll(unit_.data(), total)) return false;
  device_.Sent().bytes.fetch_add(total);
  return true;
}

bool SimStreamer::SendVideo(Video& v, const FaultSpec& fault) {
  const bool jpegWanted = fault.kind == Fault::JpegInMpeg4 && v.loop->format.codec == kCodecMpeg4;
  if (jpegWanted && !v.jpeg) {
    // MPEG-4 goes on until the JPEG pictures are ready.
    if (!v.jpegPending.valid()) {
      SimVideoFormat f = v.loop->format;
      f.codec = kCodecMjpeg;
      v.jpegPending = SimEncodeCache::Instance().Request(f);
    }
    if (v.jpegPending.wait_for(std::chrono::seconds(0)) == std::future_status::ready) v.jpeg = v.jpegPending.get();
  }
  if (v.jpegNow && !jpegWanted) {
    // Back to MPEG-4 at its next key frame, so the pictures decode again.
    while (!v.loop->frames[v.next].key) v.next = (v.next + 1) % v.loop->frames.size();
  }
  v.jpegNow = jpegWanted && v.jpeg != nullptr;
  const SimLoop& loop = v.jpegNow ? *v.jpeg : *v.loop;
  const SimEncodedFrame& frame = loop.frames[v.next % loop.frames.size()];
  v.next = (v.next + 1) % v.loop->frames.size();

  if (fault.kind == Fault::StreamGarbage && !SendGarbage(fault.arg > 0 ? fault.arg : kDefaultGarbage)) return false;
  uint8_t tail[kFrameHead - kHeadSize] = {};
  const size_t t = sizeof tail;
  PutU64(tail, t, kFrameStamp - kHeadSize, static_cast<uint64_t>(StampUs()));
  PutU8(tail, t, kFrameChannel - kHeadSize, static_cast<uint8_t>(v.channel));
  PutU8(tail, t, kFrameKey - kHeadSize, frame.key ? 1 : 0);
  PutU32(tail, t, kFrameStreamType - kHeadSize, v.streamType);
  if (fault.kind == Fault::StreamCut) {
    // Half a frame, then the line goes dead.
    const size_t total = kFrameHead + frame.bytes.size();
    std::vector<uint8_t> unit(total);
    PutU32(unit.data(), total, 0, kMarkVideo);
    PutU32(unit.data(), total, 4, static_cast<uint32_t>(frame.bytes.size() + kFrameLenExtra));
    std::memcpy(unit.data() + kHeadSize, tail, t);
    std::memcpy(unit.data() + kFrameHead, frame.bytes.data(), frame.bytes.size());
    link_.WriteAll(unit.data(), total / 2);
    return false;
  }
  if (!SendUnit(kMarkVideo, tail, frame.bytes.data(), frame.bytes.size())) return false;
  device_.Sent().video.fetch_add(1);
  if (v.streamType == kMainStream) ++sentThisSecond_[static_cast<size_t>(v.channel)];
  return true;
}

bool SimStreamer::SendAudio(Audio& a) {
  uint8_t tail[kFrameHead - kHeadSize] = {};
  const size_t t = sizeof tail;
  PutU64(tail, t, kFrameStamp - kHeadSize, static_cast<uint64_t>(StampUs()));
  PutU8(tail, t, kFrameChannel - kHeadSize, static_cast<uint8_t>(a.channel));
  if (!SendUnit(kMarkAudio, tail, a.tone->Next(), a.tone->BlockBytes())) return false;
  device_.Sent().audio.fetch_add(1);
  return true;
}

bool SimStreamer::SendStatus() {
  for (int c = 0; c < channels_; ++c) {
    uint8_t unit[kHeadSize + kStatusBody] = {};
    PutU32(unit, sizeof unit, 0, kMarkStatus);
    PutU32(unit, sizeof unit, 4, kStatusBody);
    unit[kHeadSize + 0] = static_cast<uint8_t>(c);
    unit[kHeadSize + 1] = static_cast<uint8_t>(std::min(sentThisSecond_[static_cast<size_t>(c)], 255));
    sentThisSecond_[static_cast<size_t>(c)] = 0;
    if (!link_.WriteAll(unit, sizeof unit)) return false;
    device_.Sent().status.fetch_add(1);
    device_.Sent().bytes.fetch_add(sizeof unit);
  }
  return true;
}

bool SimStreamer::SendAlarms() {
  const std::vector<SimAlarmEvent> events = device_.Alarms().Since(alarmSeen_);
  for (const SimAlarmEvent& e : events) {
    alarmSeen_ = e.number;
    uint8_t pkt[kPktSize] = {};
    PutU32(pkt, kPktSize, kMarker1, kMarkPacket);
    PutU32(pkt, kPktSize, kLength, kPktLength);
    PutU32(pkt, kPktSize, kMarker2, kMarkPacket);
    PutU32(pkt, kPktSize, kCmd, e.raised ? kAlarmRaised : kAlarmClear);
    PutU32(pkt, kPktSize, kLoginId, loginId_);
    PutU32(pkt, kPktSize, kAlarmType, static_cast<uint32_t>(e.type));
    PutU32(pkt, kPktSize, kAlarmTime, static_cast<uint32_t>((device_.DeviceTimeUs() - clockBackUs_) / 1000000));
    PutU32(pkt, kPktSize, kAlarmChannel, static_cast<uint32_t>(e.channel));
    PutU32(pkt, kPktSize, kAlarmFlag, static_cast<uint32_t>(e.flag));
    if (!link_.WriteAll(pkt, kPktSize)) return false;
    device_.Sent().alarms.fetch_add(1);
    device_.Sent().bytes.fetch_add(kPktSize);
  }
  return true;
}

bool SimStreamer::SendGarbage(int bytes) {
  std::vector<uint8_t> noise(static_cast<size_t>(bytes));
  for (size_t i = 0; i < noise.size(); ++i) {
    noise_ = noise_ * 1664525u + 1013904223u;
    noise[i] = static_cast<uint8_t>(noise_ >> 24);
  }
  for (size_t at = 0; at + 4 <= noise.size(); at += kHeadSize) {
    if (IsAccepted(GetU32(noise.data(), noise.size(), at))) noise[at] ^= 0x01;
  }
  if (!link_.WriteAll(noise.data(), noise.size())) return false;
  device_.Sent().bytes.fetch_add(noise.size());
  return true;
}

bool SimStreamer::SendOverLong() {
  static const std::vector<uint8_t> zeros(kHeadSize + kOverLongLength, 0);
  std::vector<uint8_t> unit = zeros;
  PutU32(unit.data(), unit.size(), 0, kMarkVideo);
  PutU32(unit.data(), unit.size(), 4, kOverLongLength);
  if (!link_.WriteAll(unit.data(), unit.size())) return false;
  device_.Sent().bytes.fetch_add(unit.size());
  return true;
}

}  // namespace vzsim
