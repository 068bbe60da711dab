#pragma once
// TAxConn: one logged-in TCP connection to a device. It adds to the socket
// the login, a per-connection copy of the whole device configuration and
// one operation per device command.
//
// A player owns two: the command connection, opened, logged in and closed
// around every single operation, and the stream connection (StreamFlag 1),
// which stays open while the player is connected.
//
// Every operation answers false on: socket not active, a send or receive
// failure or time-out (3000 ms per transfer, 15000 ms for the Wi-Fi site
// survey), a reply with another code than the request's, a missing buffer
// or too low a user level (checked before anything is sent). Nothing is
// retried and nothing is thrown.
//
// User levels: record sets, alarm clear, factory default and the firmware
// upload need 3 (administrator); PTZ, serial pass-through, colours and
// reboot are refused only for 1 (guest).
//
// Firmware upload progress: instead of a window message to a window handle,
// the caller passes a callback that receives (bytes read so far, file size)
// after every chunk sent, on the calling thread. A GUI caller turns it into
// its own event.
//
// Not thread-safe: one thread at a time, as the player serialises its
// configuration operations.
#include <cstdint>
#include <functional>
#include <string>

#include "MySocket.h"
#include "vz_protocol.h"

class TAxConn : public TMyCSkt {
 public:
  using TProgress = std::function<void(uint64_t position, uint64_t total)>;

  TAxConn();
  ~TAxConn() override;

  // Login inputs: set before OpenLogin.
  std::string SvrAddr;   // sent at +64: the device's own address
  int32_t StreamFlag = 0;  // 1 on a stream connection
  std::string UserName;
  std::string Password;

  uint32_t LoginId() const { return loginId_; }
  int32_t UserLevel() const { return userLevel_; }
  bool Logged() const { return logged_; }
  // This connection's copy of the device configuration.
  const vz::TDevCfg& Cfg() const { return cfg_; }

  // ---- connection control ----
  // True at once when logged; otherwise (re)opens and logs in, closing again
  // when the login fails.
  bool OpenLogin();
  // Stops a receive thread, closes, clears Logged; true when closed.
  bool CloseConn();
  // The login exchange on an open socket; true when a login id was given.
  bool Login();
  // Stamps markers, length and login id, then sends; size must be 1460.
  bool SendCmd(vz::TCmdPkt* pkt, int size, uint32_t timeoutMs);
  // SendCmd then the reply's 1460 bytes, 3000 ms each.
  bool Request(vz::TCmdPkt* pkt, vz::TCmdPkt* reply);

  // ---- records ----
  bool GetNetCfg(vz::TNetCfg* buf, bool fromCache);
  bool SetNetCfg(vz::TNetCfg* buf);
  bool GetWiFiCfg(vz::TWiFiCfg* buf, bool fromCache);
  bool SetWiFiCfg(vz::TWiFiCfg* buf);
  bool GetDevInfo(vz::TDevInfo* buf, bool fromCache);
  bool SetDevInfo(vz::TDevInfo* buf);
  bool GetUserCfg(vz::TUserCfg* buf, bool fromCache);
  bool SetUserCfg(vz::TUserCfg* buf);
  bool GetVideoCfg(vz::TVideoCfg* buf, int32_t chl, bool fromCache);
  bool SetVideoCfg(vz::TVideoCfg* buf, int32_t chl);
  bool GetAudioCfg(vz::TAudioCfg* buf, int32_t chl, bool fromCache);
  bool SetAudioCfg(vz::TAudioCfg* buf, int32_t chl);
  bool GetHideAreaCfg(vz::THideAreaCfg* buf, bool fromCache);
  bool SetHideAreaCfg(vz::THideAreaCfg* buf);
  bool GetMDCfg(vz::TMDCfg* buf, bool fromCache);
  bool SetMDCfg(vz::TMDCfg* buf);
  bool GetDiDoCfg(vz::TDiDoCfg* buf, bool fromCache);
  bool SetDiDoCfg(vz::TDiDoCfg* buf);
  bool GetAlmCfg(vz::TAlmCfg* buf, bool fromCache);
  bool SetAlmCfg(vz::TAlmCfg* buf);
  bool GetRs485Cfg(vz::TRs485Cfg* buf, bool fromCache);
  bool SetRs485Cfg(vz::TRs485Cfg* buf);
  bool GetDiskCfg(vz::TDiskCfg* buf, bool fromCache);
  bool SetDiskCfg(vz::TDiskCfg* buf);
  bool GetRecCfg(vz::TRecCfg* buf, bool fromCache);
  bool SetRecCfg(vz::TRecCfg* buf, int32_t chl);
  bool GetFTPCfg(vz::TFTPCfg* buf, bool fromCache);
  bool SetFTPCfg(vz::TFTPCfg* buf);
  bool GetEmailCfg(vz::TEmailCfg* buf, bool fromCache);
  bool SetEmailCfg(vz::TEmailCfg* buf);

  // ---- other operations ----
  // Code 28 on a freshly logged-in stream connection: the whole block.
  bool GetAllCfg(vz::TDevCfg* buf);
  bool StartStream(uint32_t mainMask, uint32_t audioMask, uint32_t subMask);
  bool ClearAlarm(int32_t chl);
  bool SetColors(int32_t chl, uint8_t brightness, uint8_t contrast, uint8_t hue, uint8_t saturation,
                 uint8_t sharpness);
  // Device time as a date-time (days since 1899-12-30); 0 on failure.
  double GetDevTime();
  // Protocol is accepted and not sent.
  bool PTZControl(int32_t cmd, uint8_t addr, int32_t speed, int32_t point, int32_t protocol,
                  int32_t extra);
  // Serial pass-through of up to 100 bytes (the PTZ command's serial form).
  bool SerialSend(const void* data, int len);
  // Wi-Fi site survey: 30 entries, the reply waited for up to 15000 ms.
  bool SiteSurvey(vz::TSiteSurveyEntry (&out)[vz::pkt::kSiteSurveyEntries]);
  // Wireless sensor configuration (kept apart from Cfg) and P2P settings.
  bool GetRfCfg(vz::TRfCfg* buf);
  bool SetRfCfg(vz::TRfCfg* buf);
  bool SetP2PCfg(vz::TP2PCfg* buf);
  // Wireless light 0 ... 2 on or off, and the wireless panic alarm.
  bool SwitchLight(int32_t index, bool on);
  bool TriggerPanic();
  bool SetDefault();
  bool Reboot();
  // Firmware image type 2 ("/img.bin") or 8 ("/img.img"); see the header
  // comment for the progress callback. True when the closing packet went out.
  bool UploadImage(const std::string& fileName, uint32_t imageType, const TProgress& progress);

 private:
  bool GetRecord(vz::TRecordKind kind, void* buf, int32_t chl, bool fromCache);
  bool SetRecord(vz::TRecordKind kind, void* buf, int32_t chl);
  // Sends a request that is answered by nothing; true when it went out.
  bool SendOnly(vz::TCmdPkt& pkt);

  uint32_t loginId_ = 0;
  int32_t userLevel_ = 0;
  bool logged_ = false;
  vz::TDevCfg cfg_{};
};
