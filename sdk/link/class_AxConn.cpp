#include "class_AxConn.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "FileUtils.h"

using namespace vz;

namespace {

constexpr int32_t kLevelGuest = 1;
constexpr int32_t kLevelAdmin = 3;
constexpr uint32_t kTransferMs = static_cast<uint32_t>(kTransferTimeoutMs);
constexpr int kPktBytes = static_cast<int>(kPktSize);

// The PC's local clock as seconds since 1970 (the wire carries local time
// without a zone).
uint32_t LocalSecondsNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<uint32_t>(now + local.tm_gmtoff);
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

}  // namespace

TAxConn::TAxConn() : TMyCSkt(TSktFlavour::Sdk) {}

TAxConn::~TAxConn() { CloseConn(); }

// ---- connection control ----------------------------------------------------

bool TAxConn::OpenLogin() {
  if (logged_) return true;
  Close();
  Open();
  if (Active()) {
    logged_ = Login();
    if (!logged_) Close();
  } else {
    logged_ = false;
  }
  return logged_;
}

bool TAxConn::CloseConn() {
  Close();
  logged_ = false;
  return Handle() == -1;
}

bool TAxConn::Login() {
  loginId_ = 0;
  TCmdPkt pkt{};
  TLoginRequest req;
  req.UserName = UserName;
  req.Password = Password;
  req.SvrAddr = SvrAddr;
  req.StreamFlag = StreamFlag;
  if (!BuildLoginRequest(req, pkt)) return false;  // a name that does not fit is refused, never cut
  if (!SendCmd(&pkt, kPktBytes, kTransferMs)) return false;
  TCmdPkt reply{};
  if (!RecvExact(&reply, kPktBytes, kTransferMs)) return false;
  TLoginReply parsed;
  if (!ParseLoginReply(reply, parsed)) return false;
  loginId_ = parsed.LoginId;
  userLevel_ = parsed.UserLevel;
  StoreLoginReply(parsed, cfg_);
  return loginId_ != 0;
}

bool TAxConn::SendCmd(TCmdPkt* pkt, int size, uint32_t timeoutMs) {
  if (!Active() || pkt == nullptr || size != kPktBytes) return false;
  StampPkt(*pkt, loginId_);
  return SendExact(pkt, size, timeoutMs);
}

bool TAxConn::Request(TCmdPkt* pkt, TCmdPkt* reply) {
  if (!Active() || reply == nullptr) return false;
  if (!SendCmd(pkt, kPktBytes, kTransferMs)) return false;
  return RecvExact(reply, kPktBytes, kTransferMs);
}

bool TAxConn::SendOnly(TCmdPkt& pkt) { return SendCmd(&pkt, kPktBytes, kTransferMs); }

// ---- records -----------------------------------------------------------------

bool TAxConn::GetRecord(TRecordKind kind, void* buf, int32_t chl, bool fromCache) {
  if (buf == nullptr) return false;
  const TRecordInfo& info = RecordInfo(kind);
  uint8_t* cached = RecordInCfg(cfg_, kind);
  if (fromCache) {
    if (cached == nullptr) return false;
    std::memcpy(buf, cached, info.Size);
    return true;
  }
  TCmdPkt req{};
  TCmdPkt reply{};
  if (!BuildRecordGet(kind, chl, req)) return false;
  if (!Request(&req, &reply)) return false;
  if (!ReplyEchoes(info.GetCmd, reply)) return false;
  if (kind == TRecordKind::Rec && reply.Result == 0) return false;
  if (!ReadRecord(reply, kind, buf, info.Size)) return false;
  if (cached != nullptr) std::memcpy(cached, buf, info.Size);
  return true;
}

bool TAxConn::SetRecord(TRecordKind kind, void* buf, int32_t chl) {
  if (userLevel_ != kLevelAdmin || buf == nullptr) return false;
  const TRecordInfo& info = RecordInfo(kind);
  TCmdPkt req{};
  TCmdPkt reply{};
  if (!BuildRecordSet(kind, buf, info.Size, chl, req)) return false;
  if (!Request(&req, &reply)) return false;
  if (!ReplyEchoes(info.SetCmd, reply)) return false;
  // The device's echo is what it stored, even when it reports Result 0.
  if (!ReadRecord(reply, kind, buf, info.Size)) return false;
  if (uint8_t* cached = RecordInCfg(cfg_, kind)) std::memcpy(cached, buf, info.Size);
  return reply.Result > 0;
}

bool TAxConn::GetNetCfg(TNetCfg* buf, bool fromCache) { return GetRecord(TRecordKind::Net, buf, 0, fromCache); }
bool TAxConn::SetNetCfg(TNetCfg* buf) { return SetRecord(TRecordKind::Net, buf, 0); }
bool TAxConn::GetWiFiCfg(TWiFiCfg* buf, bool fromCache) { return GetRecord(TRecordKind::WiFi, buf, 0, fromCache); }
bool TAxConn::SetWiFiCfg(TWiFiCfg* buf) { return SetRecord(TRecordKind::WiFi, buf, 0); }
bool TAxConn::GetDevInfo(TDevInfo* buf, bool fromCache) { return GetRecord(TRecordKind::DevInfo, buf, 0, fromCache); }
bool TAxConn::SetDevInfo(TDevInfo* buf) { return SetRecord(TRecordKind::DevInfo, buf, 0); }
bool TAxConn::GetUserCfg(TUserCfg* buf, bool fromCache) { return GetRecord(TRecordKind::User, buf, 0, fromCache); }
bool TAxConn::SetUserCfg(TUserCfg* buf) { return SetRecord(TRecordKind::User, buf, 0); }
bool TAxConn::GetVideoCfg(TVideoCfg* buf, int32_t chl, bool fromCache) {
  return GetRecord(TRecordKind::Video, buf, chl, fromCache);
}
bool TAxConn::SetVideoCfg(TVideoCfg* buf, int32_t chl) { return SetRecord(TRecordKind::Video, buf, chl); }
bool TAxConn::GetAudioCfg(TAudioCfg* buf, int32_t chl, bool fromCache) {
  return GetRecord(TRecordKind::Audio, buf, chl, fromCache);
}
bool TAxConn::SetAudioCfg(TAudioCfg* buf, int32_t chl) { return SetRecord(TRecordKind::Audio, buf, chl); }
bool TAxConn::GetHideAreaCfg(THideAreaCfg* buf, bool fromCache) {
  return GetRecord(TRecordKind::HideArea, buf, 0, fromCache);
}
bool TAxConn::SetHideAreaCfg(THideAreaCfg* buf) { return SetRecord(TRecordKind::HideArea, buf, 0); }
bool TAxConn::GetMDCfg(TMDCfg* buf, bool fromCache) { return GetRecord(TRecordKind::MD, buf, 0, fromCache); }
bool TAxConn::SetMDCfg(TMDCfg* buf) { return SetRecord(TRecordKind::MD, buf, 0); }
bool TAxConn::GetDiDoCfg(TDiDoCfg* buf, bool fromCache) { return GetRecord(TRecordKind::DiDo, buf, 0, fromCache); }
bool TAxConn::SetDiDoCfg(TDiDoCfg* buf) { return SetRecord(TRecordKind::DiDo, buf, 0); }
bool TAxConn::GetAlmCfg(TAlmCfg* buf, bool fromCache) { return GetRecord(TRecordKind::Alm, buf, 0, fromCache); }
bool TAxConn::SetAlmCfg(TAlmCfg* buf) { return SetRecord(TRecordKind::Alm, buf, 0); }
bool TAxConn::GetRs485Cfg(TRs485Cfg* buf, bool fromCache) { return GetRecord(TRecordKind::Rs485, buf, 0, fromCache); }
bool TAxConn::SetRs485Cfg(TRs485Cfg* buf) { return SetRecord(TRecordKind::Rs485, buf, 0); }
bool TAxConn::GetDiskCfg(TDiskCfg* buf, bool fromCache) { return GetRecord(TRecordKind::Disk, buf, 0, fromCache); }
bool TAxConn::SetDiskCfg(TDiskCfg* buf) { return SetRecord(TRecordKind::Disk, buf, 0); }
bool TAxConn::GetRecCfg(TRecCfg* buf, bool fromCache) { return GetRecord(TRecordKind::Rec, buf, 0, fromCache); }
bool TAxConn::SetRecCfg(TRecCfg* buf, int32_t chl) { return SetRecord(TRecordKind::Rec, buf, chl); }
bool TAxConn::GetFTPCfg(TFTPCfg* buf, bool fromCache) { return GetRecord(TRecordKind::FTP, buf, 0, fromCache); }
bool TAxConn::SetFTPCfg(TFTPCfg* buf) { return SetRecord(TRecordKind::FTP, buf, 0); }
bool TAxConn::GetEmailCfg(TEmailCfg* buf, bool fromCache) { return GetRecord(TRecordKind::Email, buf, 0, fromCache); }
bool TAxConn::SetEmailCfg(TEmailCfg* buf) { return SetRecord(TRecordKind::Email, buf, 0); }

// ---- other operations ----------------------------------------------------------

bool TAxConn::GetAllCfg(TDevCfg* buf) {
  if (buf == nullptr || !Active()) return false;
  TCmdPkt req = NewPkt(kCmdGetAllCfg);
  SendOnly(req);  // a lost request shows as a missing block below
  for (int attempt = 0; attempt < kCfgBlockMaxHeads; ++attempt) {
    uint8_t bytes[kUnitHeadSize];
    if (!RecvExact(bytes, static_cast<int>(kUnitHeadSize), kTransferMs)) return false;
    switch (CheckCfgBlockHead(ReadUnitHead(bytes), attempt)) {
      case TCfgHeadVerdict::Found: {
        // Read into a scratch block so a short read leaves the caller's intact.
        auto block = std::make_unique<TDevCfg>();
        if (!RecvExact(block.get(), static_cast<int>(sizeof(TDevCfg)), kTransferMs)) return false;
        std::memcpy(buf, block.get(), sizeof(TDevCfg));
        return true;
      }
      case TCfgHeadVerdict::Foreign:
        continue;
      case TCfgHeadVerdict::Fail:
        return false;
    }
  }
  return false;
}

bool TAxConn::StartStream(uint32_t mainMask, uint32_t audioMask, uint32_t subMask) {
  TCmdPkt pkt{};
  BuildStartStream(mainMask, audioMask, subMask, pkt);
  return SendOnly(pkt);
}

bool TAxConn::ClearAlarm(int32_t chl) {
  if (userLevel_ != kLevelAdmin) return false;
  TCmdPkt req{};
  TCmdPkt reply{};
  BuildClearAlarm(LocalSecondsNow(), chl, req);
  if (!Request(&req, &reply)) return false;
  return ReplyEchoes(kCmdAlarmCleared, reply) && reply.Result > 0;
}

bool TAxConn::SetColors(int32_t chl, uint8_t brightness, uint8_t contrast, uint8_t hue, uint8_t saturation,
                        uint8_t sharpness) {
  if (userLevel_ == kLevelGuest) return false;
  TCmdPkt pkt{};
  BuildColours(chl, brightness, contrast, hue, saturation, sharpness, pkt);
  if (!SendOnly(pkt)) return false;
  cfg_.Video.Brightness = brightness;
  cfg_.Video.Contrast = contrast;
  cfg_.Video.Hue = hue;
  cfg_.Video.Saturation = saturation;
  cfg_.Video.Sharpness = sharpness;
  return true;
}

double TAxConn::GetDevTime() {
  TCmdPkt req = NewPkt(kCmdGetTime);
  TCmdPkt reply{};
  if (!Request(&req, &reply) || !ReplyEchoes(kCmdGetTime, reply)) return 0.0;
  const auto seconds = static_cast<uint32_t>(reply.Result);
  return static_cast<double>(seconds) / 86400.0 + 25569.0;
}

bool TAxConn::PTZControl(int32_t cmd, uint8_t addr, int32_t speed, int32_t point, int32_t /*protocol*/,
                         int32_t extra) {
  if (userLevel_ == kLevelGuest) return false;
  TCmdPkt pkt{};
  BuildPtz(cmd, addr, speed, point, extra, pkt);
  return SendOnly(pkt);
}

bool TAxConn::SerialSend(const void* data, int len) {
  if (userLevel_ == kLevelGuest || len < 0) return false;
  TCmdPkt pkt{};
  if (!BuildSerial(data, static_cast<size_t>(len), pkt)) return false;
  return SendOnly(pkt);
}

bool TAxConn::SiteSurvey(TSiteSurveyEntry (&out)[pkt::kSiteSurveyEntries]) {
  TCmdPkt req = NewPkt(kCmdSiteSurvey);
  TCmdPkt reply{};
  if (!SendCmd(&req, kPktBytes, kTransferMs)) return false;
  if (!RecvExact(&reply, kPktBytes, static_cast<uint32_t>(kSiteSurveyTimeoutMs))) return false;
  return ParseSiteSurvey(reply, out);
}

bool TAxConn::GetRfCfg(TRfCfg* buf) {
  if (buf == nullptr) return false;
  TCmdPkt req{};
  TCmdPkt reply{};
  if (!BuildRecordGet(TRecordKind::Rf, 0, req) || !Request(&req, &reply)) return false;
  if (!ReplyEchoes(kCmdGetRfCfg, reply)) return false;
  return ReadRecord(reply, TRecordKind::Rf, buf, sizeof(TRfCfg));
}

bool TAxConn::SetRfCfg(TRfCfg* buf) {
  if (userLevel_ != kLevelAdmin || buf == nullptr) return false;
  TCmdPkt req{};
  TCmdPkt reply{};
  if (!BuildRecordSet(TRecordKind::Rf, buf, sizeof(TRfCfg), 0, req) || !Request(&req, &reply)) return false;
  return ReplyEchoes(kCmdSetRfCfg, reply);
}

bool TAxConn::SetP2PCfg(TP2PCfg* buf) {
  if (userLevel_ != kLevelAdmin || buf == nullptr) return false;
  TCmdPkt req{};
  TCmdPkt reply{};
  if (!BuildRecordSet(TRecordKind::P2P, buf, sizeof(TP2PCfg), 0, req) || !Request(&req, &reply)) return false;
  if (!ReplyEchoes(kCmdSetP2PCfg, reply) || reply.Result != 1) return false;
  if (!ReadRecord(reply, TRecordKind::P2P, buf, sizeof(TP2PCfg))) return false;
  cfg_.P2P = *buf;
  return true;
}

bool TAxConn::SwitchLight(int32_t index, bool on) {
  TCmdPkt req{};
  TCmdPkt reply{};
  if (!BuildRfLight(index, on, req)) return false;
  return Request(&req, &reply);
}

bool TAxConn::TriggerPanic() {
  TCmdPkt req = NewPkt(kCmdRfPanic);
  TCmdPkt reply{};
  return Request(&req, &reply);
}

bool TAxConn::SetDefault() {
  if (userLevel_ != kLevelAdmin) return false;
  TCmdPkt pkt{};
  BuildFactoryDefault(pkt);
  return SendOnly(pkt);
}

bool TAxConn::Reboot() {
  if (userLevel_ == kLevelGuest) return false;
  TCmdPkt pkt = NewPkt(kCmdReboot);
  return SendOnly(pkt);
}

bool TAxConn::UploadImage(const std::string& fileName, uint32_t imageType, const TProgress& progress) {
  if (userLevel_ != kLevelAdmin || fileName.size() >= kFirmwarePathMax) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  const uintmax_t size = std::filesystem::file_size(fileName, ec);
  if (ec || size > 0xFFFFFFFFu) return false;  // the size travels as u32
  if (FirmwareRemoteName(imageType) == nullptr) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
  if (!file) return false;

  // The CRC comes from the same open file that is sent, over the announced size.
  std::vector<uint8_t> chunk(kUnitHeadSize + kFirmwareChunkMax);
  uint8_t* const data = chunk.data() + kUnitHeadSize;
  uint32_t crc = 0;
  uint64_t left = size;
  while (left > 0) {
    const size_t want = left < kFirmwareChunkMax ? static_cast<size_t>(left) : kFirmwareChunkMax;
    const size_t got = std::fread(data, 1, want, file.get());
    if (got == 0) break;
    crc = Crc32(data, got, crc);
    left -= got;
  }
  if (left != 0) return false;  // the file shrank while being read
  std::rewind(file.get());

  TCmdPkt pkt{};
  if (!BuildFirmwareBegin(imageType, static_cast<uint32_t>(size), fileName, crc, pkt)) return false;
  if (!Request(&pkt, &pkt)) return false;
  if (pkt.Result != 1) return false;

  // Never more than announced, even if the file grew meanwhile.
  uint64_t sent = 0;
  while (sent < size) {
    const uint64_t rest = size - sent;
    const size_t want = rest < kFirmwareChunkMax ? static_cast<size_t>(rest) : kFirmwareChunkMax;
    const size_t n = std::fread(data, 1, want, file.get());
    if (n == 0) break;
    uint8_t head[kUnitHeadSize];
    WriteFirmwareChunkHead(n, head);
    std::memcpy(chunk.data(), head, kUnitHeadSize);
    // Head and bytes in one transfer: a lone 8-byte head would wait for the
    // device's delayed acknowledgement before the bytes could follow.
    if (!SendExact(chunk.data(), static_cast<int>(kUnitHeadSize + n), 2 * kTransferMs)) break;
    sent += n;
    if (progress) progress(sent, size);
  }

  TCmdPkt end{};
  BuildFirmwareEnd(pkt, end);
  return SendExact(&end, kPktBytes, kTransferMs);
}
