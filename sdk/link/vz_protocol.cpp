#include "vz_protocol.h"

#include <cstring>

#include "vz_fields.h"

namespace vz {

namespace {

bool InPkt(std::size_t off, std::size_t n) { return off <= kPktSize && n <= kPktSize - off; }

template <typename T>
bool Put(TCmdPkt& p, std::size_t off, T v) {
  if (!InPkt(off, sizeof v)) return false;
  std::memcpy(PktBytes(p) + off, &v, sizeof v);
  return true;
}

template <typename T>
T Get(const TCmdPkt& p, std::size_t off) {
  T v{};
  if (InPkt(off, sizeof v)) std::memcpy(&v, PktBytes(p) + off, sizeof v);
  return v;
}

}  // namespace

// ---- packet basics -------------------------------------------------------

void ClearPkt(TCmdPkt& p) { std::memset(&p, 0, sizeof p); }

TCmdPkt NewPkt(uint32_t cmd) {
  TCmdPkt p;
  ClearPkt(p);
  p.Head.Cmd = cmd;
  return p;
}

void StampPkt(TCmdPkt& p, uint32_t loginId) {
  p.Head.Marker1 = kMarkerPacket;
  p.Head.Length = kPktLength;
  p.Head.Marker2 = p.Head.Cmd == kCmdStartStream ? 0 : kMarkerPacket;
  p.Head.LoginId = loginId;
}

bool PktHeadValid(const TCmdPkt& p) {
  if (p.Head.Marker1 != kMarkerPacket || p.Head.Length != kPktLength) return false;
  if (p.Head.Marker2 == kMarkerPacket) return true;
  return p.Head.Marker2 == 0 && p.Head.Cmd == kCmdStartStream;
}

bool PktFromBytes(const void* data, std::size_t size, TCmdPkt& out) {
  if (data == nullptr || size != kPktSize) return false;
  std::memcpy(&out, data, kPktSize);
  return true;
}

bool PktPutU32(TCmdPkt& p, std::size_t off, uint32_t v) { return Put(p, off, v); }
bool PktPutI32(TCmdPkt& p, std::size_t off, int32_t v) { return Put(p, off, v); }
bool PktPutU8(TCmdPkt& p, std::size_t off, uint8_t v) { return Put(p, off, v); }
uint32_t PktGetU32(const TCmdPkt& p, std::size_t off) { return Get<uint32_t>(p, off); }
int32_t PktGetI32(const TCmdPkt& p, std::size_t off) { return Get<int32_t>(p, off); }
uint8_t PktGetU8(const TCmdPkt& p, std::size_t off) { return Get<uint8_t>(p, off); }

bool PktPutBytes(TCmdPkt& p, std::size_t off, const void* src, std::size_t n) {
  if (!InPkt(off, n) || (src == nullptr && n != 0)) return false;
  if (n != 0) std::memcpy(PktBytes(p) + off, src, n);
  return true;
}

bool PktGetBytes(const TCmdPkt& p, std::size_t off, void* dst, std::size_t n) {
  if (!InPkt(off, n) || (dst == nullptr && n != 0)) return false;
  if (n != 0) std::memcpy(dst, PktBytes(p) + off, n);
  return true;
}

bool PktPutStr(TCmdPkt& p, std::size_t off, std::size_t fieldSize, std::string_view value) {
  if (!InPkt(off, fieldSize)) return false;
  return FieldStore(reinterpret_cast<char*>(PktBytes(p) + off), fieldSize, value, fieldSize);
}

std::string PktGetStr(const TCmdPkt& p, std::size_t off, std::size_t fieldSize) {
  if (!InPkt(off, fieldSize)) return {};
  return FieldText(reinterpret_cast<const char*>(PktBytes(p) + off), fieldSize);
}

// ---- stream units ----------------------------------------------------------

TUnitHead ReadUnitHead(const uint8_t (&bytes)[kUnitHeadSize]) {
  TUnitHead h;
  std::memcpy(&h, bytes, sizeof h);
  return h;
}

bool ParseUnitHead(const void* data, std::size_t size, TUnitHead& out) {
  if (data == nullptr || size < kUnitHeadSize) return false;
  std::memcpy(&out, data, sizeof out);
  return true;
}

void WriteUnitHead(uint32_t marker, uint32_t length, uint8_t (&out)[kUnitHeadSize]) {
  const TUnitHead h{marker, length};
  std::memcpy(out, &h, sizeof h);
}

TUnitKind ClassifyUnit(const TUnitHead& head) {
  if (head.Length > kMaxUnitLength) return TUnitKind::Drop;
  switch (head.Marker) {
    case kMarkerPacket: return TUnitKind::Packet;
    case kMarkerVideo: return TUnitKind::Video;
    case kMarkerAudio: return TUnitKind::Audio;
    case kMarkerStatus: return TUnitKind::Status;
    case kMarkerCfgBlock: return TUnitKind::CfgBlock;
    case kMarkerFirmware: return TUnitKind::Firmware;
    case kMarkerOther88:
    case kMarkerOtherDD:
    case kMarkerOtherFF: return TUnitKind::Discard;
    default: return TUnitKind::Drop;
  }
}

TCfgHeadVerdict CheckCfgBlockHead(const TUnitHead& head, int attempt) {
  if (head.Marker == kMarkerCfgBlock)
    return head.Length == kCfgBlockLength ? TCfgHeadVerdict::Found : TCfgHeadVerdict::Fail;
  return attempt + 1 < kCfgBlockMaxHeads ? TCfgHeadVerdict::Foreign : TCfgHeadVerdict::Fail;
}

bool ParseStatusSample(const void* body, std::size_t size, int& channel, int& value) {
  if (body == nullptr || size < 2) return false;
  const auto* b = static_cast<const uint8_t*>(body);
  channel = b[0];
  value = b[1];
  return true;
}

// ---- reply matching --------------------------------------------------------

bool ReplyEchoes(uint32_t requestCmd, const TCmdPkt& reply) { return reply.Head.Cmd == requestCmd; }

TReplyRule ReplyRuleFor(uint32_t requestCmd) {
  switch (requestCmd) {
    case kCmdLogin:
    case kCmdGetRecCfg: return TReplyRule::EchoResultNonZero;
    case kCmdFirmwareBegin:
    case kCmdSetP2PCfg: return TReplyRule::EchoResultOne;
    case kCmdAlarmCleared: return TReplyRule::EchoResultPositive;
    case kCmdGetTime:
    case kCmdSiteSurvey:
    case kCmdGetRfCfg:
    case kCmdSetRfCfg:
    case kCmdRfLight:
    case kCmdRfPanic: return TReplyRule::Echo;
    default: break;
  }
  if (const TRecordInfo* info = RecordInfoByCmd(requestCmd)) {
    if (requestCmd == info->SetCmd) return TReplyRule::EchoResultPositive;
    return TReplyRule::Echo;
  }
  return TReplyRule::NoReply;
}

bool ReplySucceeded(uint32_t requestCmd, const TCmdPkt& reply) {
  if (!ReplyEchoes(requestCmd, reply)) return false;
  switch (ReplyRuleFor(requestCmd)) {
    case TReplyRule::NoReply: return false;
    case TReplyRule::Echo: return true;
    case TReplyRule::EchoResultPositive: return reply.Result > 0;
    case TReplyRule::EchoResultNonZero: return reply.Result != 0;
    case TReplyRule::EchoResultOne: return reply.Result == 1;
  }
  return false;
}

// ---- login -----------------------------------------------------------------

bool BuildLoginRequest(const TLoginRequest& req, TCmdPkt& out) {
  TCmdPkt p = NewPkt(kCmdLogin);
  if (!PktPutStr(p, pkt::kLoginUser, pkt::kLoginFieldSize, req.UserName) ||
      !PktPutStr(p, pkt::kLoginPassword, pkt::kLoginFieldSize, req.Password) ||
      !PktPutStr(p, pkt::kLoginAddr, pkt::kLoginFieldSize, req.SvrAddr))
    return false;
  PktPutI32(p, pkt::kLoginStreamFlag, req.StreamFlag);
  PktPutI32(p, pkt::kLoginMagic, 1);
  out = p;
  return true;
}

bool ParseLoginRequest(const TCmdPkt& p, TLoginRequest& out) {
  if (p.Head.Cmd != kCmdLogin) return false;
  out.UserName = PktGetStr(p, pkt::kLoginUser, pkt::kLoginFieldSize);
  out.Password = PktGetStr(p, pkt::kLoginPassword, pkt::kLoginFieldSize);
  out.SvrAddr = PktGetStr(p, pkt::kLoginAddr, pkt::kLoginFieldSize);
  out.StreamFlag = PktGetI32(p, pkt::kLoginStreamFlag);
  return true;
}

bool ParseLoginReply(const TCmdPkt& p, TLoginReply& out) {
  out = TLoginReply{};
  if (p.Head.Cmd != kCmdLogin || p.Result == 0 || p.Head.LoginId == 0) return false;
  out.LoginId = p.Head.LoginId;
  out.UserLevel = PktGetI32(p, pkt::kLoginReplyLevel);
  PktGetBytes(p, pkt::kLoginReplyDevInfo, &out.DevInfo, sizeof out.DevInfo);
  for (int i = 0; i < pkt::kLoginExtractChannels; ++i) {
    PktGetBytes(p, pkt::kLoginReplyVideo + pkt::kVideoExtractSize * i, out.VideoExtract[i],
                pkt::kVideoExtractSize);
    PktGetBytes(p, pkt::kLoginReplyAudio + pkt::kAudioExtractSize * i, out.AudioExtract[i],
                pkt::kAudioExtractSize);
  }
  return true;
}

void StoreLoginReply(const TLoginReply& reply, TDevCfg& cfg) {
  cfg.DevInfo = reply.DevInfo;
  auto* video = reinterpret_cast<uint8_t*>(&cfg.Video);
  auto* audio = reinterpret_cast<uint8_t*>(&cfg.Audio);
  for (int i = 0; i < pkt::kLoginExtractChannels; ++i) {
    std::memcpy(video + pkt::kVideoExtractFrom, reply.VideoExtract[i], pkt::kVideoExtractSize);
    std::memcpy(audio + pkt::kAudioExtractFrom, reply.AudioExtract[i], pkt::kAudioExtractSize);
  }
}

static_assert(pkt::kVideoExtractFrom + pkt::kVideoExtractSize <= sizeof(TVideoCfg));
static_assert(pkt::kAudioExtractFrom + pkt::kAudioExtractSize <= sizeof(TAudioCfg));
static_assert(pkt::kLoginReplyDevInfo + sizeof(TDevInfo) == pkt::kLoginReplyVideo);
static_assert(pkt::kLoginReplyVideo + 4 * pkt::kVideoExtractSize == pkt::kLoginReplyAudio);
static_assert(pkt::kLoginReplyAudio + 4 * pkt::kAudioExtractSize <= kPktSize);

void FillLoginExtracts(TLoginReply& reply, const TVideoCfg* video, const TAudioCfg* audio,
                       int channels) {
  if (channels < 0) channels = 0;
  if (channels > pkt::kLoginExtractChannels) channels = pkt::kLoginExtractChannels;
  for (int i = 0; i < channels; ++i) {
    if (video != nullptr)
      std::memcpy(reply.VideoExtract[i], reinterpret_cast<const uint8_t*>(&video[i]) + pkt::kVideoExtractFrom,
                  pkt::kVideoExtractSize);
    if (audio != nullptr)
      std::memcpy(reply.AudioExtract[i], reinterpret_cast<const uint8_t*>(&audio[i]) + pkt::kAudioExtractFrom,
                  pkt::kAudioExtractSize);
  }
}

void BuildLoginReply(const TLoginReply& reply, TCmdPkt& out) {
  out = NewPkt(kCmdLogin);
  out.Head.LoginId = reply.LoginId;
  out.Result = 1;
  PktPutI32(out, pkt::kLoginReplyLevel, reply.UserLevel);
  PktPutBytes(out, pkt::kLoginReplyDevInfo, &reply.DevInfo, sizeof reply.DevInfo);
  for (int i = 0; i < pkt::kLoginExtractChannels; ++i) {
    PktPutBytes(out, pkt::kLoginReplyVideo + pkt::kVideoExtractSize * i, reply.VideoExtract[i],
                pkt::kVideoExtractSize);
    PktPutBytes(out, pkt::kLoginReplyAudio + pkt::kAudioExtractSize * i, reply.AudioExtract[i],
                pkt::kAudioExtractSize);
  }
}

void BuildLoginRefusal(TCmdPkt& out) { out = NewPkt(kCmdLogin); }

// ---- configuration records -------------------------------------------------

namespace {

#define VZ_REC(kind, name, get, set, type, member, rule) \
  TRecordInfo { TRecordKind::kind, name, get, set, sizeof(type), static_cast<int>(member), TChannelRule::rule }

const TRecordInfo kRecords[kRecordKinds] = {
    VZ_REC(Net, "TNetCfg", kCmdGetNetCfg, kCmdSetNetCfg, TNetCfg, offsetof(TDevCfg, Net), None),
    VZ_REC(WiFi, "TWiFiCfg", kCmdGetWiFiCfg, kCmdSetWiFiCfg, TWiFiCfg, offsetof(TDevCfg, WiFi), None),
    VZ_REC(DevInfo, "TDevInfo", kCmdGetDevInfo, kCmdSetDevInfo, TDevInfo, offsetof(TDevCfg, DevInfo), None),
    VZ_REC(User, "TUserCfg", kCmdGetUserCfg, kCmdSetUserCfg, TUserCfg, offsetof(TDevCfg, User), None),
    VZ_REC(Alm, "TAlmCfg", kCmdGetAlmCfg, kCmdSetAlmCfg, TAlmCfg, offsetof(TDevCfg, Alm), None),
    VZ_REC(Rs485, "TRs485Cfg", kCmdGetRs485Cfg, kCmdSetRs485Cfg, TRs485Cfg, offsetof(TDevCfg, Rs485), None),
    VZ_REC(DiDo, "TDiDoCfg", kCmdGetDiDoCfg, kCmdSetDiDoCfg, TDiDoCfg, offsetof(TDevCfg, DiDo), None),
    VZ_REC(Video, "TVideoCfg", kCmdGetVideoCfg, kCmdSetVideoCfg, TVideoCfg, offsetof(TDevCfg, Video), FirstField),
    VZ_REC(Audio, "TAudioCfg", kCmdGetAudioCfg, kCmdSetAudioCfg, TAudioCfg, offsetof(TDevCfg, Audio), FirstField),
    VZ_REC(MD, "TMDCfg", kCmdGetMDCfg, kCmdSetMDCfg, TMDCfg, offsetof(TDevCfg, MD), None),
    VZ_REC(HideArea, "THideAreaCfg", kCmdGetHideAreaCfg, kCmdSetHideAreaCfg, THideAreaCfg, offsetof(TDevCfg, HideArea), None),
    VZ_REC(Disk, "TDiskCfg", kCmdGetDiskCfg, kCmdSetDiskCfg, TDiskCfg, offsetof(TDevCfg, Disk), None),
    VZ_REC(Rec, "TRecCfg", kCmdGetRecCfg, kCmdSetRecCfg, TRecCfg, offsetof(TDevCfg, Rec), RecCfgSet),
    VZ_REC(FTP, "TFTPCfg", kCmdGetFTPCfg, kCmdSetFTPCfg, TFTPCfg, offsetof(TDevCfg, FTP), None),
    VZ_REC(P2P, "TP2PCfg", 0, kCmdSetP2PCfg, TP2PCfg, offsetof(TDevCfg, P2P), None),
    VZ_REC(Email, "TEmailCfg", kCmdGetEmailCfg, kCmdSetEmailCfg, TEmailCfg, offsetof(TDevCfg, Email), None),
    VZ_REC(Rf, "TRfCfg", kCmdGetRfCfg, kCmdSetRfCfg, TRfCfg, -1, None),
};

#undef VZ_REC

static_assert(sizeof(TRfCfg) <= kPktPayloadSize && sizeof(TUserCfg) <= kPktPayloadSize &&
              sizeof(TDiskCfg) <= kPktPayloadSize);

}  // namespace

const TRecordInfo& RecordInfo(TRecordKind kind) {
  const int i = static_cast<int>(kind);
  return kRecords[(i >= 0 && i < kRecordKinds) ? i : 0];
}

const TRecordInfo* RecordInfoByCmd(uint32_t cmd) {
  if (cmd == 0) return nullptr;
  for (const TRecordInfo& info : kRecords)
    if (info.GetCmd == cmd || info.SetCmd == cmd) return &info;
  return nullptr;
}

uint8_t* RecordInCfg(TDevCfg& cfg, TRecordKind kind) {
  const TRecordInfo& info = RecordInfo(kind);
  if (info.CfgOffset < 0) return nullptr;
  return reinterpret_cast<uint8_t*>(&cfg) + info.CfgOffset;
}

const uint8_t* RecordInCfg(const TDevCfg& cfg, TRecordKind kind) {
  return RecordInCfg(const_cast<TDevCfg&>(cfg), kind);
}

bool BuildRecordGet(TRecordKind kind, int32_t channel, TCmdPkt& out) {
  const TRecordInfo& info = RecordInfo(kind);
  if (info.GetCmd == 0) return false;
  out = NewPkt(info.GetCmd);
  if (info.Channel == TChannelRule::FirstField) PktPutI32(out, pkt::kRecord, channel);
  return true;
}

bool BuildRecordSet(TRecordKind kind, const void* record, std::size_t size, int32_t channel,
                    TCmdPkt& out) {
  const TRecordInfo& info = RecordInfo(kind);
  if (info.SetCmd == 0 || record == nullptr || size != info.Size) return false;
  out = NewPkt(info.SetCmd);
  PktPutBytes(out, pkt::kRecord, record, size);
  if (info.Channel == TChannelRule::FirstField) PktPutI32(out, pkt::kRecord, channel);
  if (info.Channel == TChannelRule::RecCfgSet) PktPutI32(out, pkt::kRecCfgChannel, channel);
  return true;
}

bool ReadRecord(const TCmdPkt& p, TRecordKind kind, void* out, std::size_t size) {
  const TRecordInfo& info = RecordInfo(kind);
  if (out == nullptr || size != info.Size) return false;
  return PktGetBytes(p, pkt::kRecord, out, size);
}

bool BuildRecordReply(uint32_t cmd, int32_t result, const void* record, std::size_t size,
                      TCmdPkt& out) {
  if (record == nullptr || size > kPktPayloadSize) return false;
  out = NewPkt(cmd);
  out.Result = result;
  return PktPutBytes(out, pkt::kRecord, record, size);
}

// ---- other requests ----------------------------------------------------------

void BuildStartStream(uint32_t mainMask, uint32_t audioMask, uint32_t subMask, TCmdPkt& out) {
  out = NewPkt(kCmdStartStream);
  PktPutU32(out, pkt::kStreamMainMask, mainMask);
  PktPutU32(out, pkt::kStreamAudioMask, audioMask);
  PktPutU32(out, pkt::kStreamZero, 0);
  PktPutU32(out, pkt::kStreamSubMask, subMask);
}

void BuildPtz(int32_t cmd, uint8_t addr, int32_t speed, int32_t point, int32_t extra,
              TCmdPkt& out) {
  out = NewPkt(kCmdPtz);
  PktPutI32(out, pkt::kPtzCmd, cmd);
  PktPutI32(out, pkt::kPtzZero, 0);
  PktPutU8(out, pkt::kPtzAddr, addr);
  PktPutI32(out, pkt::kPtzSpeed, speed);
  PktPutI32(out, pkt::kPtzPoint, point);
  PktPutI32(out, pkt::kPtzExtra, extra);
}

bool BuildSerial(const void* data, std::size_t size, TCmdPkt& out) {
  if (size > kSerialMaxBytes || (data == nullptr && size != 0)) return false;
  out = NewPkt(kCmdPtz);
  PktPutI32(out, pkt::kPtzCmd, 0);
  PktPutBytes(out, pkt::kSerialData, data, size);
  PktPutI32(out, pkt::kSerialLength, static_cast<int32_t>(size));
  return true;
}

void BuildColours(int32_t channel, uint8_t brightness, uint8_t contrast, uint8_t hue,
                  uint8_t saturation, uint8_t sharpness, TCmdPkt& out) {
  out = NewPkt(kCmdSetColours);
  PktPutI32(out, pkt::kColourChannel, channel);
  PktPutU8(out, pkt::kColourBrightness, brightness);
  PktPutU8(out, pkt::kColourContrast, contrast);
  PktPutU8(out, pkt::kColourHue, hue);
  PktPutU8(out, pkt::kColourSaturation, saturation);
  PktPutU8(out, pkt::kColourSharpness, sharpness);
}

void BuildClearAlarm(uint32_t nowSeconds, int32_t channel, TCmdPkt& out) {
  out = NewPkt(kCmdAlarmCleared);
  PktPutU32(out, pkt::kAlarmTime, nowSeconds);
  PktPutI32(out, pkt::kAlarmChannel, channel);
}

void BuildSetTime(uint32_t seconds, TCmdPkt& out) {
  out = NewPkt(kCmdSetTime);
  PktPutU32(out, kPktResultOffset, seconds);
}

void BuildFactoryDefault(TCmdPkt& out) {
  out = NewPkt(kCmdFactoryDefault);
  out.Result = 1;
}

bool BuildRfLight(int32_t index, bool on, TCmdPkt& out) {
  if (index < 0 || index > 2) return false;
  out = NewPkt(kCmdRfLight);
  PktPutI32(out, pkt::kLightIndex, index);
  PktPutI32(out, pkt::kLightOn, on ? 1 : 0);
  return true;
}

const char* FirmwareRemoteName(uint32_t imageType) {
  if (imageType == 2) return "/img.bin";
  if (imageType == 8) return "/img.img";
  return nullptr;
}

bool BuildFirmwareBegin(uint32_t imageType, uint32_t fileSize, std::string_view localPath,
                        uint32_t crc, TCmdPkt& out) {
  const char* remote = FirmwareRemoteName(imageType);
  if (remote == nullptr || localPath.size() >= kFirmwarePathMax) return false;
  TCmdPkt p = NewPkt(kCmdFirmwareBegin);
  PktPutU32(p, pkt::kFwType, imageType);
  PktPutU32(p, pkt::kFwSize, fileSize);
  if (!PktPutStr(p, pkt::kFwLocalPath, kFirmwarePathMax, localPath)) return false;
  PktPutU32(p, pkt::kFwZero, 0);
  PktPutStr(p, pkt::kFwRemoteName, pkt::kFwRemoteNameSize, remote);
  PktPutU32(p, pkt::kFwCrc, crc);
  out = p;
  return true;
}

bool ParseFirmwareBegin(const TCmdPkt& p, TFirmwareBegin& out) {
  if (p.Head.Cmd != kCmdFirmwareBegin) return false;
  const uint32_t type = PktGetU32(p, pkt::kFwType);
  if (FirmwareRemoteName(type) == nullptr) return false;
  out.ImageType = type;
  out.FileSize = PktGetU32(p, pkt::kFwSize);
  out.LocalPath = PktGetStr(p, pkt::kFwLocalPath, kFirmwarePathMax);
  out.RemoteName = PktGetStr(p, pkt::kFwRemoteName, pkt::kFwRemoteNameSize);
  out.Crc = PktGetU32(p, pkt::kFwCrc);
  return true;
}

static_assert(pkt::kFwLocalPath + kFirmwarePathMax == pkt::kFwZero);
static_assert(pkt::kFwRemoteName + pkt::kFwRemoteNameSize == pkt::kFwCrc);

void BuildFirmwareEnd(const TCmdPkt& beginReply, TCmdPkt& out) {
  out = beginReply;
  out.Head.Cmd = kCmdFirmwareEnd;
}

bool WriteFirmwareChunkHead(std::size_t n, uint8_t (&out)[kUnitHeadSize]) {
  if (n > kFirmwareChunkMax) return false;
  WriteUnitHead(kMarkerFirmware, static_cast<uint32_t>(n), out);
  return true;
}

// ---- device-side parsers and client-side reply parsers ----------------------

bool ParsePtz(const TCmdPkt& p, TPtzRequest& out) {
  if (p.Head.Cmd != kCmdPtz) return false;
  out = TPtzRequest{};
  out.Cmd = PktGetI32(p, pkt::kPtzCmd);
  if (out.Cmd == 0) {
    const int32_t len = PktGetI32(p, pkt::kSerialLength);
    if (len < 0 || static_cast<std::size_t>(len) > kSerialMaxBytes) return false;
    out.Serial = true;
    out.Data.assign(reinterpret_cast<const char*>(PktBytes(p) + pkt::kSerialData),
                    static_cast<std::size_t>(len));
    return true;
  }
  out.Addr = PktGetU8(p, pkt::kPtzAddr);
  out.Speed = PktGetI32(p, pkt::kPtzSpeed);
  out.Point = PktGetI32(p, pkt::kPtzPoint);
  out.Extra = PktGetI32(p, pkt::kPtzExtra);
  return true;
}

bool ParseColours(const TCmdPkt& p, TColours& out) {
  if (p.Head.Cmd != kCmdSetColours) return false;
  out.Channel = PktGetI32(p, pkt::kColourChannel);
  out.Brightness = PktGetU8(p, pkt::kColourBrightness);
  out.Contrast = PktGetU8(p, pkt::kColourContrast);
  out.Hue = PktGetU8(p, pkt::kColourHue);
  out.Saturation = PktGetU8(p, pkt::kColourSaturation);
  out.Sharpness = PktGetU8(p, pkt::kColourSharpness);
  return true;
}

bool ParseStartStream(const TCmdPkt& p, TStreamMasks& out) {
  if (p.Head.Cmd != kCmdStartStream) return false;
  out.Main = PktGetU32(p, pkt::kStreamMainMask);
  out.Audio = PktGetU32(p, pkt::kStreamAudioMask);
  out.Sub = PktGetU32(p, pkt::kStreamSubMask);
  return true;
}

bool ParseAlarmEvent(const TCmdPkt& p, TAlarmEvent& out) {
  if (p.Head.Cmd != kCmdAlarmRaised && p.Head.Cmd != kCmdAlarmCleared) return false;
  const int32_t channel = PktGetI32(p, pkt::kAlarmChannel);
  if (channel < 0) return false;
  out.Cmd = p.Head.Cmd;
  out.Type = PktGetI32(p, pkt::kAlarmType);
  out.Time = PktGetU32(p, pkt::kAlarmTime);
  out.Channel = channel;
  out.Flag = PktGetI32(p, pkt::kAlarmFlag);
  return true;
}

void BuildAlarmEvent(const TAlarmEvent& ev, TCmdPkt& out) {
  out = NewPkt(ev.Cmd);
  PktPutI32(out, pkt::kAlarmType, ev.Type);
  PktPutU32(out, pkt::kAlarmTime, ev.Time);
  PktPutI32(out, pkt::kAlarmChannel, ev.Channel);
  PktPutI32(out, pkt::kAlarmFlag, ev.Flag);
}

static_assert(pkt::kRecord + pkt::kSiteSurveyEntries * sizeof(TSiteSurveyEntry) <= kPktSize);

bool ParseSiteSurvey(const TCmdPkt& p, TSiteSurveyEntry (&out)[pkt::kSiteSurveyEntries]) {
  if (p.Head.Cmd != kCmdSiteSurvey) return false;
  return PktGetBytes(p, pkt::kRecord, out, sizeof out);
}

void BuildSiteSurvey(const TSiteSurveyEntry (&entries)[pkt::kSiteSurveyEntries], TCmdPkt& out) {
  out = NewPkt(kCmdSiteSurvey);
  out.Result = 1;
  PktPutBytes(out, pkt::kRecord, entries, sizeof entries);
}

}  // namespace vz
