// The channel library of the double; its state lives in the tunnel library.
#include <algorithm>
#include <cstring>
#include <thread>
#include <type_traits>

#include "DoubleState.h"
#include "P2PApi.h"

#define CHANNEL_API extern "C" __attribute__((visibility("default")))

using p2pdouble::State;

namespace {
constexpr int kInvalidChannel = -20010;
constexpr auto kFrameSpacing = std::chrono::milliseconds(40);
}  // namespace

CHANNEL_API int avGetAVApiVer() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("avGetAVApiVer", &r)) return r;
  return 0x01000000;
}

CHANNEL_API int avInitialize(int max_channels) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.texts["max_channels"] = std::to_string(max_channels);
  int r = 0;
  if (s.Called("avInitialize", &r)) return r;
  return max_channels;
}

CHANNEL_API int avClientStart(int sid, const char* user, const char* password, unsigned int timeout_s,
                              unsigned int* service_type, unsigned char channel) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.texts["user"] = user ? user : "(null)";
  s.texts["password"] = password ? password : "(null)";
  s.texts["timeout_s"] = std::to_string(timeout_s);
  s.texts["channel"] = std::to_string(channel);
  int r = 0;
  if (s.Called("avClientStart", &r)) return r;
  if (s.sessions.count(sid) == 0) return -20016;  // no such tunnel
  const int av = s.nextChannel++;
  s.channels[av] = p2pdouble::ChannelState{sid, false};
  if (service_type) *service_type = 0;
  return av;
}

CHANNEL_API void avClientStop(int av_index) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  s.Called("avClientStop", &r);
  s.channels.erase(av_index);
}

CHANNEL_API int avSendIOCtrl(int av_index, unsigned int type, const char* data, int size) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  p2pdouble::Sent m;
  m.channel = av_index;
  m.type = type;
  if (data && size > 0) m.payload.assign(data, data + size);
  s.sent.push_back(std::move(m));
  int r = 0;
  if (s.Called("avSendIOCtrl", &r)) return r;
  const auto it = s.channels.find(av_index);
  if (it == s.channels.end()) return kInvalidChannel;
  if (type == vz::p2p::kIOCtrlStart) it->second.streaming = true;
  if (type == vz::p2p::kIOCtrlStop) it->second.streaming = false;
  if (type == vz::p2p::kIOCtrlNameAsk) s.nameTries[av_index] = 0;
  return 0;
}

CHANNEL_API int avRecvIOCtrl(int av_index, unsigned int* type, char* buf, int max_size, unsigned int timeout_ms) {
  {
    State& s = P2PDouble_State();
    std::lock_guard<std::mutex> lock(s.m);
    int r = 0;
    if (s.Called("avRecvIOCtrl", &r)) return r;
    const auto ch = s.channels.find(av_index);
    if (ch == s.channels.end()) return kInvalidChannel;
    const int tryNumber = ++s.nameTries[av_index];
    if (tryNumber == s.nameAnswerTry && buf && max_size >= vz::p2p::kNameAnswerBytes) {
      std::memset(buf, 0, static_cast<size_t>(max_size));
      const std::string& name = s.devices[s.sessions[ch->second.sid]];
      std::memcpy(buf + vz::p2p::kNameAt, name.data(), std::min<size_t>(name.size(), vz::p2p::kNameBytes));
      if (type) *type = vz::p2p::kIOCtrlNameAnswer;
      return vz::p2p::kNameAnswerBytes;
    }
  }
  // Nothing came: a short nap stands for the time-out.
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeout_ms, 5u)));
  return -20011;  // time-out
}

CHANNEL_API int avSendIOCtrlExit(int) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("avSendIOCtrlExit", &r)) return r;
  return 0;
}

namespace {

int HandOut(const p2pdouble::Frame& f, char* buf, int buf_size, char* info, int info_size) {
  if (!buf || static_cast<int>(f.bytes.size()) > buf_size) return -20002;  // buffer too small
  std::memcpy(buf, f.bytes.data(), f.bytes.size());
  if (info && info_size > vz::p2p::kKeyFlagAt) info[vz::p2p::kKeyFlagAt] = static_cast<char>(f.flag);
  return static_cast<int>(f.bytes.size());
}

int ReadFrame(int av_index, char* buf, int buf_size, char* info, int info_size, unsigned int* frame_index) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("avRecvFrameData", &r)) return r;
  const auto ch = s.channels.find(av_index);
  if (ch == s.channels.end()) return kInvalidChannel;
  if (!s.queue.empty()) {
    const p2pdouble::Frame f = std::move(s.queue.front());
    s.queue.pop_front();
    return HandOut(f, buf, buf_size, info, info_size);
  }
  const auto now = std::chrono::steady_clock::now();
  if (ch->second.streaming && s.videoOn && now >= s.videoDue) {
    const p2pdouble::Frame& f = s.video[s.videoNext % s.video.size()];
    if (frame_index) *frame_index = static_cast<unsigned int>(s.videoNext);
    ++s.videoNext;
    s.videoDue = now + kFrameSpacing;
    return HandOut(f, buf, buf_size, info, info_size);
  }
  return s.idleCode;
}

}  // namespace

CHANNEL_API int avRecvFrameData(int av_index, char* buf, int buf_size, char* info, int info_size,
                                unsigned int* frame_index) {
  State& s = P2PDouble_State();
  ++s.readersInside;
  const int n = ReadFrame(av_index, buf, buf_size, info, info_size, frame_index);
  --s.readersInside;
  return n;
}

CHANNEL_API int avRecvFrameData2(int, char*, int, int*, int*, char*, int, int*, unsigned int*) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("avRecvFrameData2", &r)) return r;
  return -20012;
}

CHANNEL_API int avRecvAudioData(int, char*, int, char*, int, unsigned int*) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("avRecvAudioData", &r)) return r;
  return -20012;
}

static_assert(std::is_same_v<decltype(&avClientStart), vz::p2p::TavClientStart>);
static_assert(std::is_same_v<decltype(&avRecvIOCtrl), vz::p2p::TavRecvIOCtrl>);
static_assert(std::is_same_v<decltype(&avRecvFrameData), vz::p2p::TavRecvFrameData>);
static_assert(std::is_same_v<decltype(&avSendIOCtrl), vz::p2p::TavSendIOCtrl>);
static_assert(std::is_same_v<decltype(&avClientStop), vz::p2p::TavClientStop>);
