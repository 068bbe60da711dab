#pragma once
// TP2PConn: one player's connection to a device behind the tunnel service,
// over a bound TP2PLib. The player keeps its own state (connect flags,
// configuration copy, decoder, frame path) and lends it through IP2PHost.
//
// Connect: UID := the device address without "-"; IOTC_Connect_ByUID under
// the P2P lock; avClientStart as user "admin" (tried twice); ask the name
// (0x330, then up to four avRecvIOCtrl of 300 ms for 0x331); the host
// applies the fixed configuration; start message 0x1FF; start the reading
// thread. Any failure closes what was opened.
//
// Reading thread: avRecvFrameData into a buffer that keeps 24 bytes in
// front of the frame for the frame head (marker 0xBBBBBBBB, length n + 16,
// the present time, channel 0, key-frame flag from byte 2 of the frame
// information, stream index 1), then IP2PHost::TunnelFrame with n + 24
// bytes. Status -18, -19 and -2 read again at once; -11, -13, -22 and -23
// end the thread; other status codes wait 20 ms.
//
// DisConn: stop flag for the reader, 0x2FF, avClientStop, IOTC_Session_Close;
// then the reader is waited for (up to TThreadRec's grace), so no reader is
// left behind and a following Connect never runs two readers. Called on
// the reading thread itself (from a frame hook) it does not wait for
// itself: the reader ends when the hook returns.
//
// Threads: Connect, Play, PTZControl and DisConn run on the thread that
// drives the player, one at a time (the player serialises them); the
// reading thread only calls TunnelFrame, and never after DisConn returned
// on another thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "ThreadRec.h"
#include "vz_records.h"
#include "class_P2PLib.h"

namespace vz {

class IP2PHost {
 public:
  virtual ~IP2PHost() = default;
  // Connect has begun: post the connecting message, watchdog count := 0.
  virtual void TunnelConnecting() = 0;
  // The tunnel is open and the channel is asked for as this user: the
  // player's user name becomes it (and stays so).
  virtual void TunnelUserName(const std::string& user) = 0;
  // The tunnel and channel are open: apply the fixed configuration
  // (ApplyTunnelConfig) with this OSD title, picture size 640 x 480, and
  // reopen the decoder for H.264 under the decoder lock.
  virtual void TunnelConfigure(const std::string& osd_title) = 0;
  // The stream runs: post the connected message.
  virtual void TunnelConnected() = 0;
  // On the reading thread: one frame, head and payload, total bytes.
  // LastRecvTime := now, then the frame path.
  virtual void TunnelFrame(const uint8_t* frame, uint32_t total_bytes) = 0;
};

class TP2PConn {
 public:
  static constexpr const char* kUserName = "admin";
  static constexpr unsigned int kClientStartTimeout_s = 20;
  static constexpr unsigned int kNameWait_ms = 300;
  static constexpr int kNameTries = 4;
  static constexpr int kReadBackOff_ms = 20;
  static constexpr int kReaderGrace_ms = 5000;
  static constexpr int32_t kWidth = 640;
  static constexpr int32_t kHeight = 480;

  // Both must outlive the object.
  TP2PConn(TP2PLib& lib, IP2PHost& host);
  ~TP2PConn();  // DisConn when anything is open
  TP2PConn(const TP2PConn&) = delete;
  TP2PConn& operator=(const TP2PConn&) = delete;

  // A connect while a tunnel is open closes that one first.
  bool Connect(const std::string& dev_addr, const std::string& password);
  // The stream was started by Connect.
  bool Play() { return true; }
  // Sends the control code of cmd (PtzCode); true without a check, as the
  // device gives no answer to it.
  bool PTZControl(int32_t cmd);
  bool DisConn();

  int32_t Sid() const { return sid_.load(); }
  int32_t Channel() const { return channel_.load(); }
  bool ReaderRunning() const { return reader_.Running(); }

  static std::string UidOf(const std::string& dev_addr);
  // The tunnel's control code of a PTZ command; 0 for a command it lacks.
  static uint8_t PtzCode(int32_t cmd);
  // The fixed configuration of a device behind the tunnel, written into the
  // player's records: 640 x 480 H.264 at 30 frames and 262144 bit/s on both
  // streams, device type 11, one channel. The OSD title becomes osd_title.
  static void ApplyTunnelConfig(TDevCfg& cfg, const std::string& osd_title);

 private:
  struct TReader;
  void Send(int32_t channel, unsigned int type, int payload_bytes, uint8_t first = 0);
  std::string AskName(int32_t channel, const std::string& dev_addr);
  void CloseSession(int32_t sid);

  TP2PLib& lib_;
  IP2PHost& host_;
  std::atomic<int32_t> sid_{-1};
  std::atomic<int32_t> channel_{-1};
  TThreadRec reader_;  // driven by the thread that drives the player
  std::mutex current_lock_;
  std::shared_ptr<TReader> current_;  // guarded by current_lock_; the reader last started
};

}  // namespace vz
