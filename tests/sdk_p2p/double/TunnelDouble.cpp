// The tunnel library of the double, with the double's state and its control.
#include <algorithm>
#include <cstring>

#include "DoubleState.h"
#include "P2PApi.h"

namespace p2pdouble {

bool State::Called(const char* function, int* result) {
  ++calls[function];
  const auto it = failures.find(function);
  if (it == failures.end() || it->second.times == 0) return false;
  if (it->second.times > 0) --it->second.times;
  *result = it->second.result;
  return true;
}

}  // namespace p2pdouble

using p2pdouble::State;

__attribute__((visibility("default"))) State& P2PDouble_State() {
  static State state;
  return state;
}

namespace {

int CopyText(const std::string& text, char* out, int max) {
  if (out && max > 0) {
    const size_t n = std::min(text.size(), static_cast<size_t>(max - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return static_cast<int>(text.size());
}

std::string Text(const char* s) { return s ? s : "(null)"; }

}  // namespace

// ---- control ---------------------------------------------------------------

P2PDOUBLE_API void P2PDouble_Reset() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.devices.clear();
  s.failures.clear();
  s.calls.clear();
  s.texts.clear();
  s.sent.clear();
  s.queue.clear();
  s.videoOn = false;
  s.idleCode = -20;
  s.nameAnswerTry = 1;
  s.nameTries.clear();
  s.sessions.clear();
  s.channels.clear();
}

P2PDOUBLE_API void P2PDouble_AddDevice(const char* uid, const char* name) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.devices[Text(uid)] = Text(name);
}

P2PDOUBLE_API void P2PDouble_Fail(const char* function, int result, int times) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.failures[Text(function)] = p2pdouble::Failure{result, times};
}

P2PDOUBLE_API void P2PDouble_SetNameAnswerTry(int try_number) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.nameAnswerTry = try_number;
}

P2PDOUBLE_API void P2PDouble_QueueFrame(const uint8_t* data, int size, int flag) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  p2pdouble::Frame f;
  if (data && size > 0) f.bytes.assign(data, data + size);
  f.flag = flag;
  s.queue.push_back(std::move(f));
}

P2PDOUBLE_API int P2PDouble_SetVideo(int on) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  if (on && s.video.empty()) s.video = P2PDouble_Encode();
  s.videoOn = on != 0 && !s.video.empty();
  s.videoNext = 0;
  s.videoDue = std::chrono::steady_clock::now();
  return static_cast<int>(s.video.size());
}

P2PDOUBLE_API void P2PDouble_SetIdleCode(int code) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.idleCode = code;
}

P2PDOUBLE_API int P2PDouble_Calls(const char* function) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  const auto it = s.calls.find(Text(function));
  return it == s.calls.end() ? 0 : it->second;
}

P2PDOUBLE_API int P2PDouble_SentCount() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  return static_cast<int>(s.sent.size());
}

P2PDOUBLE_API int P2PDouble_Sent(int index, int* channel, unsigned* type, uint8_t* payload, int max) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  if (index < 0 || static_cast<size_t>(index) >= s.sent.size()) return -1;
  const p2pdouble::Sent& m = s.sent[static_cast<size_t>(index)];
  if (channel) *channel = m.channel;
  if (type) *type = m.type;
  if (payload && max > 0) std::memcpy(payload, m.payload.data(), std::min(m.payload.size(), static_cast<size_t>(max)));
  return static_cast<int>(m.payload.size());
}

P2PDOUBLE_API int P2PDouble_LastText(const char* which, char* out, int max) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  const auto it = s.texts.find(Text(which));
  return it == s.texts.end() ? -1 : CopyText(it->second, out, max);
}

P2PDOUBLE_API int P2PDouble_ReadersInside() { return P2PDouble_State().readersInside.load(); }

P2PDOUBLE_API int P2PDouble_OpenSessions() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  return static_cast<int>(s.sessions.size());
}

P2PDOUBLE_API int P2PDouble_OpenChannels() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  return static_cast<int>(s.channels.size());
}

// ---- the tunnel library ----------------------------------------------------

#define TUNNEL_API extern "C" __attribute__((visibility("default")))

TUNNEL_API void IOTC_Get_Version(unsigned int* version) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  s.Called("IOTC_Get_Version", &r);
  if (version) *version = 0x01000000u;
}

TUNNEL_API int IOTC_Get_Login_Info(unsigned int* info) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("IOTC_Get_Login_Info", &r)) return r;
  if (info) *info = 0;
  return 0;
}

TUNNEL_API int IOTC_Initialize(unsigned short udp_port, const char* m1, const char* m2, const char* m3, const char* m4) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("IOTC_Initialize", &r)) return r;
  s.texts["udp_port"] = std::to_string(udp_port);
  s.texts["master1"] = Text(m1);
  s.texts["master2"] = Text(m2);
  s.texts["master3"] = Text(m3);
  s.texts["master4"] = Text(m4);
  return 0;
}

TUNNEL_API int IOTC_DeInitialize() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("IOTC_DeInitialize", &r)) return r;
  return 0;
}

TUNNEL_API int IOTC_Device_Login(const char*, const char*, const char*) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  if (s.Called("IOTC_Device_Login", &r)) return r;
  return 0;
}

TUNNEL_API int IOTC_Connect_ByUID(const char* uid) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  s.texts["uid"] = Text(uid);
  int r = 0;
  if (s.Called("IOTC_Connect_ByUID", &r)) return r;
  if (!uid || s.devices.count(uid) == 0) return -19;  // no device of that UID online
  const int sid = s.nextSid++;
  s.sessions[sid] = uid;
  return sid;
}

TUNNEL_API void IOTC_Connect_Stop() {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  s.Called("IOTC_Connect_Stop", &r);
}

TUNNEL_API void IOTC_Session_Close(int sid) {
  State& s = P2PDouble_State();
  std::lock_guard<std::mutex> lock(s.m);
  int r = 0;
  s.Called("IOTC_Session_Close", &r);
  s.sessions.erase(sid);
  for (auto it = s.channels.begin(); it != s.channels.end();) {
    it = it->second.sid == sid ? s.channels.erase(it) : std::next(it);
  }
}

// The double's entry points have the types the SDK binds.
static_assert(std::is_same_v<decltype(&IOTC_Initialize), vz::p2p::TIOTC_Initialize>);
static_assert(std::is_same_v<decltype(&IOTC_Connect_ByUID), vz::p2p::TIOTC_Connect_ByUID>);
static_assert(std::is_same_v<decltype(&IOTC_Session_Close), vz::p2p::TIOTC_Session_Close>);
static_assert(std::is_same_v<decltype(&IOTC_DeInitialize), vz::p2p::TIOTC_DeInitialize>);
