#pragma once
// A player stand-in for the recorder: settable state, a hand-driven clock
// and recorded events.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "AVFrameHead.h"
#include "class_Recorder.h"
#include "class_avCache.h"

namespace rectest {

struct TStartCall {
  std::string addr;
  int32_t port, chl, kind;
  vz::TDateTime start;
  std::string file;
};
struct TStopCall {
  std::string addr;
  int32_t port, chl, kind;
  int64_t bytes;
  vz::TDateTime start, end;
  std::string file;
  int32_t slot;
};

// Shared between the host the recorder owns and the test.
struct THostState {
  std::mutex lock;
  vz::TRecStartInfo info;
  vz::TRecordSettings settings;
  int64_t now_ms = 0;  // since 2024-01-02 13:04:05
  std::string root = "/nonexistent/";
  vz::TavCache* cache = nullptr;
  bool path_event = false;
  std::string path_text;  // what the path event writes (bytes, may lack a NUL)
  std::vector<TStartCall> starts;
  std::vector<TStopCall> stops;
  int path_calls = 0;
  int32_t slot_value = 0;  // written through the start event's slot
  std::function<void()> on_start;  // runs inside the start event
  std::function<void()> on_stop;
};

inline vz::TDateTime BaseTime() { return vz::EncodeDateTime(2024, 1, 2, 13, 4, 5); }

class TFakeHost : public vz::IRecorderHost {
 public:
  explicit TFakeHost(THostState& s) : s_(s) {}
  vz::TRecStartInfo StartInfo() override {
    std::lock_guard<std::mutex> g(s_.lock);
    return s_.info;
  }
  vz::TRecordSettings Settings() override {
    std::lock_guard<std::mutex> g(s_.lock);
    return s_.settings;
  }
  void SetFolders(const std::string& n, const std::string& a) override {
    std::lock_guard<std::mutex> g(s_.lock);
    s_.settings.NmlRecPath = n;
    s_.settings.AlmRecPath = a;
  }
  vz::TRecEvents Events() override {
    vz::TRecEvents e;
    THostState* s = &s_;
    e.Start = [s](const char* addr, int32_t port, int32_t chl, int32_t kind, vz::TDateTime start, const char* file,
                  int32_t* slot) {
      std::function<void()> extra;
      {
        std::lock_guard<std::mutex> g(s->lock);
        s->starts.push_back({addr, port, chl, kind, start, file});
        *slot = s->slot_value;
        extra = s->on_start;
      }
      if (extra) extra();
    };
    e.Stop = [s](const char* addr, int32_t port, int32_t chl, int32_t kind, int64_t bytes, vz::TDateTime start,
                 vz::TDateTime end, const char* file, int32_t slot) {
      std::function<void()> extra;
      {
        std::lock_guard<std::mutex> g(s->lock);
        s->stops.push_back({addr, port, chl, kind, bytes, start, end, file, slot});
        extra = s->on_stop;
      }
      if (extra) extra();
    };
    std::lock_guard<std::mutex> g(s_.lock);
    if (s_.path_event) {
      e.Path = [s](char* dest) {
        std::lock_guard<std::mutex> g2(s->lock);
        ++s->path_calls;
        std::memcpy(dest, s->path_text.data(), std::min<std::size_t>(s->path_text.size(), 40));
      };
    }
    return e;
  }
  vz::TavCache* PreAlarmCache() override {
    std::lock_guard<std::mutex> g(s_.lock);
    return s_.cache;
  }
  vz::TDateTime Now() override {
    std::lock_guard<std::mutex> g(s_.lock);
    return BaseTime() + static_cast<double>(s_.now_ms) / vz::kMsPerDay;
  }
  std::string StorageRoot() override {
    std::lock_guard<std::mutex> g(s_.lock);
    return s_.root;
  }

 private:
  THostState& s_;
};

// A connected single-channel device at 1.2.3.4:7000 with two folders.
inline void DefaultState(THostState& s, const std::string& dir) {
  s.info.Connected = true;
  s.info.SvrAddr = "1.2.3.4";
  s.info.DataPort = 7000;
  s.info.DevType = 5;
  s.info.Video.Width = 704;
  s.info.Video.Height = 576;
  s.info.Video.FrameRate = 25;
  s.info.Audio.Codec = 1;
  s.info.Audio.SampleRate = 8000;
  s.info.Audio.BitsPerSample = 16;
  s.info.PictureWidth = 352;
  s.info.PictureHeight = 288;
  s.info.PlayedVideoMask = 1;
  s.info.ChannelCount = 1;
  s.settings.NmlRecPath = dir + "/n";
  s.settings.AlmRecPath = dir + "/a/";
  s.root = dir + "/r/";
}

// A received frame; bytes live in the returned vector.
struct TFrameBytes {
  std::vector<uint8_t> bytes;
  vz::TFrameView view;
};

inline TFrameBytes Frame(bool video, bool key, uint64_t time_ms, uint32_t payload = 100) {
  TFrameBytes f;
  vz::TAVFrameHead h{};
  h.Magic = video ? vz::kMarkerVideo : vz::kMarkerAudio;
  h.Len = payload + vz::kFrameLenOverhead;
  h.TimeStamp = time_ms * 1000;
  h.IsIFrame = key ? 1 : 0;
  h.StreamType = 0;
  f.bytes.assign(sizeof h + payload, static_cast<uint8_t>(time_ms));
  std::memcpy(f.bytes.data(), &h, sizeof h);
  vz::ParseFrameHead(f.bytes.data(), f.bytes.size(), f.view);
  return f;
}

}  // namespace rectest
