#pragma once
// TAxPlay: the live player, one object per device connection. It owns the
// stream connection that stays open while connected, the command
// connection opened and closed around every configuration operation, the
// reading thread (a TTimers thread) with its no-data watchdog and automatic
// reconnection, the frame handler with the pre-alarm cache, the audio
// output, a copy of the device configuration and the event hooks.
//
// Life: New -> settings, hooks -> Connect -> Play -> ... -> Free. Free
// disconnects, stops the reading thread and destroys; called from inside a
// hook of the same player it disconnects at once and the player is
// destroyed when the hook's step has returned.
//
// Threads:
// - API threads call every public function. Connect, DisConn, Play and Stop
//   are serialised with each other and with the watchdog's own calls by the
//   link lock; a read in flight is cut short by DisConn and Connect, so a
//   streaming player disconnects and frees promptly. Play and the sends on
//   the stream connection (SetDevTime, SendRaw, talk) wait for the unit
//   being read instead: cutting it would cost the stream.
// - The reading thread reads one unit per step, runs the frame handler,
//   the hooks and the watchdog.
// - Hooks are called with their own lock held (a setter that returns
//   guarantees the old hook has finished); a hook must not set hooks.
//   Exceptions thrown by hooks are swallowed.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "FrameSeams.h"
#include "SyncLock.h"
#include "class_TPlay.h"
#include "vz_protocol.h"
#include "vz_records.h"

class TAxConn;
class TTimers;
class TWaveOut;

namespace vz {
class TFrameHandler;
class TavCache;
}  // namespace vz

class TAxPlay : public vz::TPlay {
 public:
  // ---- hooks (the player is passed as sender) ----
  // Alarm raised (type > 0) or ended (type 0); time as a date-time (days
  // since 1899-12-30).
  using TAlarmHook = std::function<void(TAxPlay& sender, int32_t almType, int32_t chl, int32_t flag,
                                        double almTime)>;
  // Every frame before any processing: head and payload, total bytes.
  using TAVDataHook =
      std::function<void(TAxPlay& sender, const uint8_t* frame, int32_t zero, uint32_t total)>;
  // After a picture was drawn: the drawing context (an opaque handle of the
  // renderer) and the channel.
  using TRenderAfterHook = std::function<void(TAxPlay& sender, uintptr_t dc, int32_t chl)>;
  // Status units of channel 0: body and its length.
  using TStatusHook = std::function<void(TAxPlay& sender, const uint8_t* body, uint32_t length)>;
  // Played audio payloads before the output.
  using TAudioRawHook = std::function<void(TAxPlay& sender, const uint8_t* pcm, uint32_t length)>;

  // Seconds clock of the watchdog and of LastRecvTime. Tests pass a fake.
  using TClock = int64_t (*)();

  static constexpr int kStatusHistoryEntries = 60;
  static constexpr int kWatchdogTcpSeconds = 15;
  static constexpr int kWatchdogTunnelSeconds = 40;
  static constexpr int kWatchdogBackOff = 10;

  // Creates a player (Create runs inside). Never null.
  static TAxPlay* New(int32_t devType, int32_t threadMode = 0);
  // Disconnects and destroys (see the header comment); null is ignored.
  static void Free(TAxPlay* player);

  ~TAxPlay() override;

  // ---- operations ----
  bool GetNetCfg(vz::TNetCfg* buf, bool fromCache) override;
  bool SetNetCfg(vz::TNetCfg* buf) override;
  bool GetWiFiCfg(vz::TWiFiCfg* buf, bool fromCache) override;
  bool SetWiFiCfg(vz::TWiFiCfg* buf) override;
  bool GetDevInfo(vz::TDevInfo* buf, bool fromCache) override;
  bool SetDevInfo(vz::TDevInfo* buf) override;
  bool GetUserCfg(vz::TUserCfg* buf, bool fromCache) override;
  bool SetUserCfg(vz::TUserCfg* buf) override;
  bool GetAudioCfg(vz::TAudioCfg* buf, int32_t chl, bool fromCache) override;
  bool SetAudioCfg(vz::TAudioCfg* buf, int32_t chl) override;
  bool GetVideoCfg(vz::TVideoCfg* buf, int32_t chl, bool fromCache) override;
  bool SetVideoCfg(vz::TVideoCfg* buf, int32_t chl) override;
  bool GetMDCfg(vz::TMDCfg* buf, bool fromCache) override;
  bool SetMDCfg(vz::TMDCfg* buf) override;
  bool GetHideAreaCfg(vz::THideAreaCfg* buf, bool fromCache) override;
  bool SetHideAreaCfg(vz::THideAreaCfg* buf) override;
  bool GetRs485Cfg(vz::TRs485Cfg* buf, bool fromCache) override;
  bool SetRs485Cfg(vz::TRs485Cfg* buf) override;
  bool GetAlmCfg(vz::TAlmCfg* buf, bool fromCache) override;
  bool SetAlmCfg(vz::TAlmCfg* buf) override;
  bool GetDiDoCfg(vz::TDiDoCfg* buf, bool fromCache) override;
  bool SetDiDoCfg(vz::TDiDoCfg* buf) override;
  bool GetFTPCfg(vz::TFTPCfg* buf, bool fromCache) override;
  bool SetFTPCfg(vz::TFTPCfg* buf) override;
  bool GetEmailCfg(vz::TEmailCfg* buf, bool fromCache) override;
  bool SetEmailCfg(vz::TEmailCfg* buf) override;
  bool GetDiskCfg(vz::TDiskCfg* buf, bool fromCache) override;
  bool SetDiskCfg(vz::TDiskCfg* buf) override;
  bool GetRecCfg(vz::TRecCfg* buf, bool fromCache) override;
  bool SetRecCfg(vz::TRecCfg* buf, int32_t chl) override;
  bool UploadImage(const std::string& file, uint32_t imageType,
                   const vz::TUploadProgress& progress) override;
  void Create(int32_t devType, int32_t threadMode) override;
  bool Connect() override;
  bool DisConn() override;
  bool Play() override;
  bool Stop() override;
  bool SaveToJpg(int32_t chl, const std::string& file) override;
  bool StartNmlRec(int32_t chl) override;
  bool StopNmlRec(int32_t chl) override;
  bool StartAlmRec(int32_t chl) override;
  bool StopAlmRec(int32_t chl) override;
  bool ClearAlarm(int32_t chl) override;
  bool SetDevTime(double dateTime) override;
  double GetDevTime() override;
  bool Reboot() override;
  bool SetDefault() override;
  bool PTZControl(int32_t cmd, int32_t chl, int32_t speed, int32_t point, int32_t extra) override;
  bool GetColors(int32_t chl, uint8_t* brightness, uint8_t* contrast, uint8_t* hue,
                 uint8_t* saturation, uint8_t* sharpness) override;
  bool SetColors(int32_t chl, uint8_t brightness, uint8_t contrast, uint8_t hue,
                 uint8_t saturation, uint8_t sharpness) override;
  bool IsNmlRec(int32_t chl) override;
  bool IsAlmRec(int32_t chl) override;
  bool IsAlarm() override { return alarm_active_.load(); }
  bool SendRaw(const void* packet, int32_t length) override;
  bool RequestRaw(const void* packet, int32_t length, uint32_t timeoutMs, int32_t replyLength,
                  void* reply) override;
  void SetImgEqualScaling(bool flag) override;
  void WndProc(const vz::TWinMessage& message) override;
  void SetDecodeStyle(uint8_t style) override;
  void SetShowOSD(bool show) override;
  void SetRecordStreamType(int32_t type) override;
  void SetDisplayStreamType(int32_t type) override;
  void SetAudioPlayMask(uint64_t mask) override;

  // Serial pass-through of up to 100 bytes (command 13, serial form).
  bool SerialSend(const void* data, int32_t length);

  // ---- state ----
  bool IsConnect() const { return is_connect_.load(); }
  bool IsConning() const { return is_conning_.load(); }
  bool IsPlay() const { return is_play_.load(); }
  int64_t LastRecvTime() const { return last_recv_time_.load(); }
  double AlarmTime() const;  // seconds of the last alarm event
  int32_t Width() const { return width_.load(); }
  int32_t Height() const { return height_.load(); }
  int32_t SubWidth() const { return sub_width_.load(); }
  int32_t SubHeight() const { return sub_height_.load(); }
  bool P2PMode() const { return p2p_mode_.load(); }
  // Copy of the player's device configuration.
  vz::TDevCfg Cfg() const;
  // Replaces the copy (the configuration dialog hands its edited copy back).
  void SetCfg(const vz::TDevCfg& cfg);
  vz::TRfCfg RfCfg() const;
  // Status samples of channel 0, oldest first (the sample is byte 1 of each
  // 4-byte entry).
  void StatusHistory(uint8_t (&out)[kStatusHistoryEntries][4]) const;
  int32_t WatchdogCount() const { return watchdog_count_.load(); }

  // ---- hooks ----
  void SetOnAlarm(TAlarmHook hook);
  void SetOnAVData(TAVDataHook hook);
  void SetOnRenderAfter(TRenderAfterHook hook);
  void SetOnStatus(TStatusHook hook);
  void SetOnAudioRaw(TAudioRawHook hook);
  // For the renderer: raises OnRenderAfter.
  void RaiseRenderAfter(uintptr_t dc, int32_t chl);

  // ---- for the units the player owns ----
  vz::TavCache& PreAlarmCache();
  // Stream type (0 main, 1 sub) of the last frame received; the recorder
  // marks sub-stream files by it.
  int32_t LastStreamType() const;
  // The audio output; null when it could not be created. It stays the same
  // object for the player's life (a new audio format reopens it).
  TWaveOut* WaveOut() const;
  // The frame path: tunnel frames (head and payload, total bytes), also
  // what the fuzz target feeds.
  void HandleFrame(const uint8_t* frame, uint32_t total);
  // One stream unit as read: 8-byte head and body, unit_bytes in all (a
  // head announcing more than that is ignored). The dispatch of the reading
  // step, without sockets; logged is the stream connection's login state,
  // which every unit copies into IsConnect and IsPlay.
  void DispatchUnit(const uint8_t* unit, uint32_t unit_bytes, bool logged);
  // The tunnel path sets these on its connect.
  void ResetWatchdog() { watchdog_count_.store(0); }
  void SetLastRecvTime(int64_t seconds) { last_recv_time_.store(seconds); }
  void SetConnState(bool conning, bool connect, bool play);
  void SetPictureSize(int32_t width, int32_t height);
  // The tunnel path's fixed device type (11).
  void SetTunnelDevType(int32_t type) { SetDevTypeValue(type); }
  int32_t P2PSid() const { return p2p_sid_.load(); }
  void SetP2PSid(int32_t sid) { p2p_sid_.store(sid); }
  int32_t P2PChannel() const { return p2p_channel_.load(); }
  void SetP2PChannel(int32_t chl) { p2p_channel_.store(chl); }
  vz::IPlayVideo* Video() const { return video_.get(); }

  // Process-wide locks: tunnel library start and connect; every decoder
  // open, close and reconfiguration.
  static TSyncLock& P2PLock();
  static std::mutex& DecoderLock();
  // Set once the tunnel service was initialised.
  static std::atomic<bool>& P2PInitialised();

  // Tests: the seconds clock (null = wall clock). Set before Connect.
  void SetClock(TClock clock) { clock_.store(clock); }

 private:
  TAxPlay();
  struct TImpl;

  int64_t Now() const;
  void ReadStep();
  void ReadUnit();
  // Whether the stream connection has bytes ready to read now.
  bool UnitWaiting();
  // True when it disconnected: the step ends there.
  bool Watchdog();
  bool ConnectTcp();
  bool DisConnLocked();
  bool PlayLocked();
  bool StopLocked();
  void OnFrame(const uint8_t* frame, uint32_t total);
  void HandleEventPacket(const uint8_t* unit, uint32_t unit_bytes);
  void HandleStatus(const uint8_t* body, uint32_t body_len);
  // Cuts short a read in flight on the stream socket.
  void KickReader();
  bool OnReadingThread() const;
  // Runs op on a freshly logged-in command connection, then copies the
  // record it moved into the player's copy; false when not connected.
  bool WithCmdConn(const std::function<bool(TAxConn&)>& op, std::optional<vz::TRecordKind> copy);
  void RebuildWaveOut(const vz::TAudioCfg& cfg);
  void ApplyStreamSource();

  std::unique_ptr<TImpl> impl_;

  std::atomic<bool> is_connect_{false};
  std::atomic<bool> is_conning_{false};
  std::atomic<bool> is_play_{false};
  std::atomic<int64_t> last_recv_time_{0};
  std::atomic<int32_t> width_{0};
  std::atomic<int32_t> height_{0};
  std::atomic<int32_t> sub_width_{0};
  std::atomic<int32_t> sub_height_{0};
  std::atomic<bool> alarm_active_{false};
  std::atomic<int64_t> alarm_time_{0};
  std::atomic<bool> p2p_mode_{false};
  std::atomic<int32_t> p2p_sid_{-1};
  std::atomic<int32_t> p2p_channel_{-1};
  std::atomic<int32_t> watchdog_count_{0};
  std::atomic<int64_t> watchdog_second_{0};  // reading thread only
  std::atomic<TClock> clock_{nullptr};
  std::atomic<bool> free_pending_{false};

  std::unique_ptr<vz::IPlayVideo> video_;
  std::unique_ptr<vz::IPlayRecording> recording_;
  std::unique_ptr<vz::IPlayTunnel> tunnel_;
};
