#include "class_P2PConn.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "AVFrameHead.h"
#include "LogWriter.h"
#include "vz_values.h"

namespace vz {
namespace {

// Present time in microseconds since 1970 on the PC's local clock, as the
// devices stamp their frames.
uint64_t LocalNowMicros() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  const time_t secs = ts.tv_sec;
  localtime_r(&secs, &local);
  const int64_t s = static_cast<int64_t>(ts.tv_sec) + local.tm_gmtoff;
  return static_cast<uint64_t>(s) * kMicrosPerSecond + static_cast<uint64_t>(ts.tv_nsec / 1000);
}

bool OneOf(int n, const int (&codes)[3]) { return std::find(std::begin(codes), std::end(codes), n) != std::end(codes); }
bool OneOf(int n, const int (&codes)[4]) { return std::find(std::begin(codes), std::end(codes), n) != std::end(codes); }

struct TPtzPair {
  int32_t cmd;
  uint8_t code;
};
constexpr TPtzPair kPtzCodes[] = {
    {1, 1},   {3, 2},   {5, 3},   {7, 6},   {9, 4},   {11, 7},  {13, 5},  {15, 8},  {17, 22},
    {19, 21}, {21, 23}, {23, 24}, {25, 25}, {27, 26}, {33, 9},  {39, 11}, {40, 10}, {41, 12},
};

// The reader whose loop runs on this thread.
thread_local const void* t_reader = nullptr;

}  // namespace

// What the reading thread owns: it may outlive the connection when it was
// let go on its own thread, so it holds copies, never the connection.
struct TP2PConn::TReader {
  p2p::TavRecvFrameData recv = nullptr;
  int32_t channel = -1;
  IP2PHost* host = nullptr;
  // Set by a DisConn on the reader itself, where TThreadRec (driven by the
  // owner's thread) must not be touched.
  std::atomic<bool> stop{false};
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kFrameHeadSize + p2p::kFrameBufferBytes);

  bool Stopping() const { return stop.load() || TThreadRec::StopRequestedHere(); }

  void Run() {
    t_reader = this;
    char info[p2p::kFrameInfoBytes];
    while (!Stopping()) {
      std::memset(info, 0, sizeof info);
      unsigned int index = 0;
      const int n = recv(channel, reinterpret_cast<char*>(buffer.data() + kFrameHeadSize), p2p::kFrameBufferBytes,
                         info, p2p::kFrameInfoBytes, &index);
      if (n > 0 && n <= p2p::kFrameBufferBytes) {
        const TAVFrameHead head =
            MakeTunnelFrameHead(static_cast<uint32_t>(n), static_cast<uint8_t>(info[p2p::kKeyFlagAt]), LocalNowMicros());
        std::memcpy(buffer.data(), &head, sizeof head);
        if (Stopping()) break;
        host->TunnelFrame(buffer.data(), static_cast<uint32_t>(n) + static_cast<uint32_t>(kFrameHeadSize));
        continue;
      }
      if (n > 0) {
        // A size past the buffer cannot be a frame of ours: skip it.
        WriteLogF("P2P frame of %d bytes ignored", n);
        continue;
      }
      if (OneOf(n, p2p::kReadRetryNow)) continue;
      if (OneOf(n, p2p::kReadEnd)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(kReadBackOff_ms));
    }
  }
};

TP2PConn::TP2PConn(TP2PLib& lib, IP2PHost& host) : lib_(lib), host_(host) {}

TP2PConn::~TP2PConn() {
  if (sid_.load() >= 0 || channel_.load() >= 0 || reader_.Running()) DisConn();
  reader_.Stop(kReaderGrace_ms);
}

std::string TP2PConn::UidOf(const std::string& dev_addr) {
  std::string uid;
  uid.reserve(dev_addr.size());
  for (const char c : dev_addr) {
    if (c != '-') uid += c;
  }
  return uid;
}

uint8_t TP2PConn::PtzCode(int32_t cmd) {
  for (const TPtzPair& p : kPtzCodes) {
    if (p.cmd == cmd) return p.code;
  }
  return 0;
}

void TP2PConn::ApplyTunnelConfig(TDevCfg& cfg, const std::string& osd_title) {
  TVideoCfg& v = cfg.Video;
  TDevInfo& d = cfg.DevInfo;
  d.DevType = 11;
  d.VideoChannels = 1;
  // The four bytes after the channel count: audio channels, alarm outputs
  // and the two reserved bytes between them.
  d.AudioChannels = 1;
  d.Reserved4 = 1;
  d.AlarmOutputs = 1;
  d.Reserved5 = 1;
  v.Width = kWidth;
  v.Height = kHeight;
  v.Codec = H264;
  v.FrameRate = 30;
  v.BitRate = 262144;
  v.SubCodec = static_cast<uint8_t>(H264);
  v.SubResolution = static_cast<uint8_t>(V640x480);
  v.SubFrameRate = static_cast<uint8_t>(v.FrameRate);
  v.SubBitRate = v.BitRate;
  std::memset(v.OsdTitle, 0, sizeof v.OsdTitle);
  std::memcpy(v.OsdTitle, osd_title.data(), std::min(osd_title.size(), sizeof v.OsdTitle - 1));
}

void TP2PConn::Send(int32_t channel, unsigned int type, int payload_bytes, uint8_t first) {
  char payload[8] = {0};
  payload[0] = static_cast<char>(first);
  lib_.Api().avSendIOCtrl(channel, type, payload, payload_bytes);
}

std::string TP2PConn::AskName(int32_t channel, const std::string& dev_addr) {
  Send(channel, p2p::kIOCtrlNameAsk, 4);
  for (int i = 0; i < kNameTries; ++i) {
    char answer[p2p::kNameAnswerBytes] = {0};
    unsigned int type = 0;
    const int r = lib_.Api().avRecvIOCtrl(channel, &type, answer, p2p::kNameAnswerBytes, kNameWait_ms);
    if (r >= 0 && type == p2p::kIOCtrlNameAnswer) {
      // Sixteen characters, zero-padded or not.
      const char* name = answer + p2p::kNameAt;
      return std::string(name, strnlen(name, p2p::kNameBytes));
    }
  }
  return dev_addr;
}

void TP2PConn::CloseSession(int32_t sid) {
  if (sid >= 0) lib_.Api().IOTC_Session_Close(sid);
}

bool TP2PConn::Connect(const std::string& dev_addr, const std::string& password) {
  if (!lib_.Usable()) {
    WriteLogF("%s P2P Connect: tunnel libraries not usable (%s)", dev_addr.c_str(), lib_.Error().c_str());
    return false;
  }
  if (sid_.load() >= 0 || channel_.load() >= 0 || reader_.Running()) DisConn();
  reader_.Stop(kReaderGrace_ms);  // a reader that ended alone is collected
  const TP2PEntries& api = lib_.Api();
  {
    std::lock_guard<TSyncLock> lock(lib_.Lock());
    lib_.StartServiceLocked();
  }
  host_.TunnelConnecting();
  const std::string uid = UidOf(dev_addr);
  int32_t sid = -1;
  {
    std::lock_guard<TSyncLock> lock(lib_.Lock());
    sid = api.IOTC_Connect_ByUID(uid.c_str());
  }
  if (sid < 0) {
    WriteLogF("%s P2P Connect: IOTC_Connect_ByUID %d", dev_addr.c_str(), sid);
    return false;
  }
  sid_.store(sid);
  host_.TunnelUserName(kUserName);
  unsigned int service = 0;
  int32_t channel = api.avClientStart(sid, kUserName, password.c_str(), kClientStartTimeout_s, &service, 0);
  if (channel < 0) channel = api.avClientStart(sid, kUserName, password.c_str(), kClientStartTimeout_s, &service, 0);
  if (channel < 0) {
    WriteLogF("%s P2P Connect: avClientStart %d", dev_addr.c_str(), channel);
    CloseSession(sid);
    sid_.store(-1);
    return false;
  }
  channel_.store(channel);
  host_.TunnelConfigure(AskName(channel, dev_addr));
  Send(channel, p2p::kIOCtrlStart, 8);
  auto reader = std::make_shared<TReader>();
  reader->recv = api.avRecvFrameData;
  reader->channel = channel;
  reader->host = &host_;
  {
    std::lock_guard<std::mutex> lock(current_lock_);
    current_ = reader;
  }
  const bool started = reader_.Start([reader](void*) { reader->Run(); }, nullptr, TThreadPriority::Normal, false,
                                     "vzSDK p2p " + uid);
  if (!started) {
    WriteLogF("%s P2P Connect: reading thread", dev_addr.c_str());
    DisConn();
    return false;
  }
  host_.TunnelConnected();
  return true;
}

bool TP2PConn::PTZControl(int32_t cmd) {
  const int32_t channel = channel_.load();
  if (lib_.Usable()) Send(channel, p2p::kIOCtrlPtz, 8, PtzCode(cmd));
  return true;
}

bool TP2PConn::DisConn() {
  const int32_t channel = channel_.exchange(-1);
  const int32_t sid = sid_.exchange(-1);
  if (lib_.Usable()) {
    Send(channel, p2p::kIOCtrlStop, 8);
    if (channel >= 0) lib_.Api().avClientStop(channel);
    CloseSession(sid);
  }
  std::shared_ptr<TReader> reader;
  {
    std::lock_guard<std::mutex> lock(current_lock_);
    reader = current_;
  }
  if (reader) {
    reader->stop.store(true);
    // On the reader itself (a frame hook): it ends when the hook returns and
    // is collected by the next Connect or the destructor.
    if (t_reader == reader.get()) return true;
  }
  reader_.Stop(kReaderGrace_ms);
  return true;
}

}  // namespace vz
