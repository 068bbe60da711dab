#pragma once
// IPlay: the abstract live player. It holds the display list and the
// settings every player shares; the operations are listed in their fixed
// slot order. The bases answer the defaulted ones themselves (WndProc does
// nothing, SetDecodeStyle and SetActiveChannel store, IsNmlRec/IsAlmRec
// answer false, the reserved slots 0); everything else is abstract.
//
// Instead of a hidden message window the player gets its few window
// messages through WndProc from whoever observes them (the display-change
// notice of the GUI side); nothing in the player needs an event loop.
//
// Threads: settings are set from API threads and read by the player's
// receiving thread, so every field is atomic or guarded by settings_lock_.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "DspInfo.h"
#include "class_DspInfoLst.h"
#include "vz_records.h"

namespace vz {

struct TWinMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
};

// Firmware upload progress (bytes sent so far, file size), on the caller's
// thread.
using TUploadProgress = std::function<void(uint64_t position, uint64_t total)>;

// The login and address arguments of a connect.
struct TConnectArgs {
  std::string UserName;
  std::string Password;
  std::string DevAddr;  // IPv4 address, host name (two dots or more) or tunnel UID
  std::string SvrAddr;  // the device's own address, sent at login
  int32_t DataPort = 0;
  int32_t ConnTimeOutMs = 5000;
};

// Record folders and lengths (seconds).
struct TRecordSettings {
  std::string NmlRecPath;
  std::string AlmRecPath;
  std::string SnapshotPath;
  int32_t NmlTimeLen = 600;
  int32_t AlmTimeLen = 10;
  int32_t AlmPrevTimeLen = 0;
};

class IPlay {
 public:
  IPlay() = default;
  virtual ~IPlay() = default;
  IPlay(const IPlay&) = delete;
  IPlay& operator=(const IPlay&) = delete;

  // ---- operations, in slot order ----
  virtual void WndProc(const TWinMessage& message);  // 0
  virtual void SetDecodeStyle(uint8_t style);  // 1
  virtual void SetActiveChannel(int32_t chl);  // 2
  virtual bool GetNetCfg(TNetCfg* buf, bool fromCache) = 0;  // 3
  virtual bool SetNetCfg(TNetCfg* buf) = 0;
  virtual bool GetWiFiCfg(TWiFiCfg* buf, bool fromCache) = 0;  // 5
  virtual bool SetWiFiCfg(TWiFiCfg* buf) = 0;
  virtual bool GetDevInfo(TDevInfo* buf, bool fromCache) = 0;  // 7
  virtual bool SetDevInfo(TDevInfo* buf) = 0;
  virtual bool GetUserCfg(TUserCfg* buf, bool fromCache) = 0;  // 9
  virtual bool SetUserCfg(TUserCfg* buf) = 0;
  virtual bool GetAudioCfg(TAudioCfg* buf, int32_t chl, bool fromCache) = 0;  // 11
  virtual bool SetAudioCfg(TAudioCfg* buf, int32_t chl) = 0;
  virtual bool GetVideoCfg(TVideoCfg* buf, int32_t chl, bool fromCache) = 0;  // 13
  virtual bool SetVideoCfg(TVideoCfg* buf, int32_t chl) = 0;
  virtual bool GetMDCfg(TMDCfg* buf, bool fromCache) = 0;  // 15
  virtual bool SetMDCfg(TMDCfg* buf) = 0;
  virtual bool GetHideAreaCfg(THideAreaCfg* buf, bool fromCache) = 0;  // 17
  virtual bool SetHideAreaCfg(THideAreaCfg* buf) = 0;
  virtual bool GetRs485Cfg(TRs485Cfg* buf, bool fromCache) = 0;  // 19
  virtual bool SetRs485Cfg(TRs485Cfg* buf) = 0;
  virtual bool GetAlmCfg(TAlmCfg* buf, bool fromCache) = 0;  // 21
  virtual bool SetAlmCfg(TAlmCfg* buf) = 0;
  virtual bool GetDiDoCfg(TDiDoCfg* buf, bool fromCache) = 0;  // 23
  virtual bool SetDiDoCfg(TDiDoCfg* buf) = 0;
  virtual bool GetFTPCfg(TFTPCfg* buf, bool fromCache) = 0;  // 25
  virtual bool SetFTPCfg(TFTPCfg* buf) = 0;
  virtual bool GetEmailCfg(TEmailCfg* buf, bool fromCache) = 0;  // 27
  virtual bool SetEmailCfg(TEmailCfg* buf) = 0;
  virtual bool GetDiskCfg(TDiskCfg* buf, bool fromCache) = 0;  // 29
  virtual bool SetDiskCfg(TDiskCfg* buf) = 0;
  virtual bool GetRecCfg(TRecCfg* buf, bool fromCache) = 0;  // 31
  virtual bool SetRecCfg(TRecCfg* buf, int32_t chl) = 0;
  virtual bool UploadImage(const std::string& file, uint32_t imageType,
                           const TUploadProgress& progress) = 0;  // 33
  virtual void Create(int32_t devType, int32_t threadMode) = 0;  // 34
  virtual bool Connect() = 0;  // 35
  virtual bool DisConn() = 0;
  virtual bool Play() = 0;
  virtual bool Stop() = 0;
  virtual bool SaveToJpg(int32_t chl, const std::string& file) = 0;  // 39
  virtual bool StartNmlRec(int32_t chl) = 0;  // 40
  virtual bool StopNmlRec(int32_t chl) = 0;
  virtual bool StartAlmRec(int32_t chl) = 0;
  virtual bool StopAlmRec(int32_t chl) = 0;
  virtual bool ClearAlarm(int32_t chl) = 0;  // 44
  virtual bool SetDevTime(double dateTime) = 0;  // 45
  virtual double GetDevTime() = 0;  // date-time; 0 on failure
  virtual bool Reboot() = 0;  // 47
  virtual bool SetDefault() = 0;
  virtual bool PTZControl(int32_t cmd, int32_t chl, int32_t speed, int32_t point,
                          int32_t extra) = 0;  // 49
  virtual bool GetColors(int32_t chl, uint8_t* brightness, uint8_t* contrast, uint8_t* hue,
                         uint8_t* saturation, uint8_t* sharpness) = 0;  // 50
  virtual bool SetColors(int32_t chl, uint8_t brightness, uint8_t contrast, uint8_t hue,
                         uint8_t saturation, uint8_t sharpness) = 0;
  virtual bool IsNmlRec(int32_t chl);  // 52
  virtual bool IsAlmRec(int32_t chl);
  virtual bool IsAlarm() = 0;  // 54
  virtual bool SendRaw(const void* packet, int32_t length) = 0;  // 55
  virtual bool RequestRaw(const void* packet, int32_t length, uint32_t timeoutMs,
                          int32_t replyLength, void* reply) = 0;  // 56
  virtual void SetImgEqualScaling(bool flag) = 0;  // 57
  virtual int32_t Reserved58();
  virtual int32_t Reserved59();

  // ---- display list ----
  // Appends unless the same pointer is listed; null is refused.
  bool AddDspInfo(TDspInfo* info);
  // Removes that pointer; true also when it was not listed.
  bool DelDspInfo(TDspInfo* info);
  // The listed pointers, oldest first.
  std::vector<TDspInfo*> DspList() const;
  // The list itself: the renderer reads the records through it, under its
  // lock, so a record is never read after DelDspInfo has returned.
  const TDspInfoLst& DspInfoLst() const { return dsp_list_; }

  // ---- settings ----
  uint8_t DecodeStyle() const { return decode_style_.load(); }
  int32_t ActiveChannel() const { return active_channel_.load(); }
  int32_t UserLevel() const { return user_level_.load(); }
  int32_t ThreadMode() const { return 0; }  // decoding always runs on the reading thread
  int32_t DevType() const { return dev_type_.load(); }
  std::string DevModel() const;

  void SetConnectArgs(const TConnectArgs& args);
  TConnectArgs ConnectArgs() const;
  int32_t ConnTimeOut() const { return conn_timeout_ms_.load(); }
  void SetConnTimeOut(int32_t ms) { conn_timeout_ms_.store(ms); }
  bool AutoReConn() const { return auto_reconn_.load(); }
  void SetAutoReConn(bool on) { auto_reconn_.store(on); }

  // Start-stream masks (main video, audio, sub video), default 1 each.
  void SetStreamMasks(uint32_t mainMask, uint32_t audioMask, uint32_t subMask);
  uint32_t MainMask() const { return main_mask_.load(); }
  uint32_t AudioMask() const { return audio_mask_.load(); }
  uint32_t SubMask() const { return sub_mask_.load(); }

  void SetRecordSettings(const TRecordSettings& s);
  TRecordSettings RecordSettings() const;
  // vzNet_SetRecTimeLen order: normal, pre-alarm, alarm.
  void SetRecTimeLen(int32_t nmlTimeLen, int32_t almPrevTimeLen, int32_t almTimeLen);
  // vzNet_SetRecPath order: normal, alarm, snapshot folder.
  void SetRecPath(const std::string& nml, const std::string& alm, const std::string& snapshot);

  bool ShowOSD() const { return show_osd_.load(); }
  virtual void SetShowOSD(bool show) { show_osd_.store(show); }
  int32_t RecordStreamType() const { return record_stream_type_.load(); }
  virtual void SetRecordStreamType(int32_t type) { record_stream_type_.store(type); }
  int32_t DisplayStreamType() const { return display_stream_type_.load(); }
  virtual void SetDisplayStreamType(int32_t type) { display_stream_type_.store(type); }
  uint64_t AudioPlayMask() const { return audio_play_mask_.load(); }
  virtual void SetAudioPlayMask(uint64_t mask) { audio_play_mask_.store(mask); }
  uint8_t InitFlag() const { return init_flag_.load(); }
  void SetInitFlag(uint8_t flag) { init_flag_.store(flag); }

 protected:
  void SetUserLevel(int32_t level) { user_level_.store(level); }
  void SetDevTypeValue(int32_t type) { dev_type_.store(type); }
  void SetDevModel(const std::string& model);

 private:
  TDspInfoLst dsp_list_;  // locks itself

  mutable std::mutex settings_lock_;
  TConnectArgs connect_args_;  // guarded by settings_lock_ (its time-out lives in conn_timeout_ms_)
  TRecordSettings record_settings_;  // guarded by settings_lock_
  std::string dev_model_;  // guarded by settings_lock_

  std::atomic<uint8_t> decode_style_{0};
  std::atomic<int32_t> active_channel_{0};
  std::atomic<int32_t> user_level_{0};
  std::atomic<int32_t> dev_type_{0};
  std::atomic<int32_t> conn_timeout_ms_{5000};
  std::atomic<bool> auto_reconn_{true};
  std::atomic<uint32_t> main_mask_{1};
  std::atomic<uint32_t> audio_mask_{1};
  std::atomic<uint32_t> sub_mask_{1};
  std::atomic<bool> show_osd_{true};
  std::atomic<int32_t> record_stream_type_{0};
  std::atomic<int32_t> display_stream_type_{0};
  std::atomic<uint64_t> audio_play_mask_{1};
  std::atomic<uint8_t> init_flag_{0};
};

}  // namespace vz
