#pragma once
// The device's TCP protocol: the fixed 1460-byte command packet, the 8-byte
// head of every stream unit, the command codes and the pure builders and
// parsers both ends use (the SDK's connections and the simulator).
//
// Everything on the wire is little-endian. The packet and unit heads are
// packed structures read in place, which vz_records.h pins to a
// little-endian host; payload fields are reached by their packet offset
// through the bounded PktPut/PktGet helpers, never by pointer arithmetic.
//
// Nothing here does I/O, logs or throws. Every parser takes untrusted bytes:
// it checks sizes, never trusts a length or a terminator, and answers bad
// input with false.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vz_records.h"

namespace vz {

// ---- sizes, markers, limits ----------------------------------------------

constexpr std::size_t kPktSize = 1460;
constexpr std::size_t kPktHeadSize = 20;  // TPktHead
constexpr uint32_t kPktLength = 1452;  // bytes after offset 8
constexpr std::size_t kPktResultOffset = 20;
constexpr std::size_t kPktPayloadOffset = 24;  // records start here
constexpr std::size_t kPktPayloadSize = kPktSize - kPktPayloadOffset;
constexpr std::size_t kUnitHeadSize = 8;

constexpr uint32_t kMarkerPacket = 0xAAAAAAAAu;  // TCmdPkt (reply or event)
constexpr uint32_t kMarkerVideo = 0xBBBBBBBBu;
constexpr uint32_t kMarkerAudio = 0xCCCCCCCCu;
constexpr uint32_t kMarkerStatus = 0x77777777u;  // body: channel, sample value
constexpr uint32_t kMarkerCfgBlock = 0x99999999u;  // whole TDevCfg after code 28
constexpr uint32_t kMarkerFirmware = 0xEEEEEEEEu;  // firmware chunk, client to device
constexpr uint32_t kMarkerOther88 = 0x88888888u;  // read and discarded
constexpr uint32_t kMarkerOtherDD = 0xDDDDDDDDu;  // read and discarded
constexpr uint32_t kMarkerOtherFF = 0xFFFFFFFFu;  // read and discarded

constexpr uint32_t kMaxUnitLength = 524288;  // longer units are dropped unread
constexpr uint32_t kCfgBlockLength = sizeof(TDevCfg);
constexpr int kCfgBlockMaxHeads = 6;  // heads read while looking for the block
constexpr std::size_t kFirmwareChunkMax = 8192;
constexpr std::size_t kSerialMaxBytes = 100;
constexpr std::size_t kFirmwarePathMax = 256;  // field size; the path must be shorter

constexpr int kTransferTimeoutMs = 3000;  // every send and receive of an exchange
constexpr int kSiteSurveyTimeoutMs = 15000;

// ---- command codes -------------------------------------------------------

enum TCmdCode : uint32_t {
  kCmdLogin = 1,
  kCmdStartStream = 2,
  kCmdRemotePlayStart = 3,  // remote record: start sending frames
  kCmdRemoteSearch = 5,  // remote record: search
  kCmdRemoteOpen = 6,  // remote record: open a recording
  kCmdFirmwareBegin = 7,
  kCmdFirmwareEnd = 8,
  kCmdRemotePlayCtrl = 12,  // remote record: play control
  kCmdPtz = 13,  // PTZ or serial pass-through
  kCmdAlarmRaised = 14,  // device to client
  kCmdAlarmCleared = 15,  // device to client; also the client's clear request
  kCmdGetTime = 16,
  kCmdSetTime = 17,
  kCmdReboot = 18,
  kCmdFactoryDefault = 19,
  kCmdSetColours = 24,
  kCmdGetAllCfg = 28,
  kCmdGetDevInfo = 30,
  kCmdSetDevInfo = 31,
  kCmdGetUserCfg = 32,
  kCmdSetUserCfg = 33,
  kCmdGetNetCfg = 34,
  kCmdSetNetCfg = 35,
  kCmdSiteSurvey = 36,
  kCmdGetWiFiCfg = 37,
  kCmdSetWiFiCfg = 38,
  kCmdGetVideoCfg = 39,
  kCmdSetVideoCfg = 40,
  kCmdGetAudioCfg = 41,
  kCmdSetAudioCfg = 42,
  kCmdGetHideAreaCfg = 43,
  kCmdSetHideAreaCfg = 44,
  kCmdGetMDCfg = 45,
  kCmdSetMDCfg = 46,
  kCmdGetDiDoCfg = 47,
  kCmdSetDiDoCfg = 48,
  kCmdGetAlmCfg = 49,
  kCmdSetAlmCfg = 50,
  kCmdGetRs485Cfg = 51,
  kCmdSetRs485Cfg = 52,
  kCmdGetDiskCfg = 53,
  kCmdSetDiskCfg = 54,
  kCmdGetRecCfg = 55,
  kCmdSetRecCfg = 56,
  kCmdGetFTPCfg = 57,
  kCmdSetFTPCfg = 58,
  kCmdGetEmailCfg = 59,
  kCmdSetEmailCfg = 60,
  kCmdSetP2PCfg = 62,
  kCmdGetRfCfg = 64,
  kCmdSetRfCfg = 65,
  kCmdRfLight = 66,
  kCmdRfPanic = 67
};

// ---- packet layout ---------------------------------------------------------

#pragma pack(push, 1)

struct TPktHead {
  uint32_t Marker1;  // kMarkerPacket
  uint32_t Length;  // kPktLength
  uint32_t Marker2;  // kMarkerPacket; 0 on the start-stream packet
  uint32_t Cmd;  // a reply echoes the request's code
  uint32_t LoginId;  // 0 in the login request
};

// Zero-fill before setting any field (TCmdPkt{} or ClearPkt).
struct TCmdPkt {
  TPktHead Head;
  int32_t Result;  // replies: nonzero success; a few requests: an argument
  uint8_t Payload[kPktPayloadSize];
};

// Head of every stream unit; Length counts the bytes after the head.
struct TUnitHead {
  uint32_t Marker;
  uint32_t Length;
};

// One entry of the Wi-Fi site survey reply (30 entries from +24).
struct TSiteSurveyEntry {
  char Ssid[32];
  uint8_t Signal;
  uint8_t Channel;
  uint8_t Encryption;
  uint8_t NetType;
  uint8_t Auth;
  uint8_t Cipher;
  uint8_t Reserved[2];
};

#pragma pack(pop)

static_assert(sizeof(TPktHead) == kPktHeadSize);
static_assert(offsetof(TPktHead, Marker1) == 0 && offsetof(TPktHead, Length) == 4 &&
              offsetof(TPktHead, Marker2) == 8 && offsetof(TPktHead, Cmd) == 12 &&
              offsetof(TPktHead, LoginId) == 16);
static_assert(sizeof(TCmdPkt) == kPktSize);
static_assert(offsetof(TCmdPkt, Result) == kPktResultOffset);
static_assert(offsetof(TCmdPkt, Payload) == kPktPayloadOffset);
static_assert(sizeof(TUnitHead) == kUnitHeadSize);
static_assert(offsetof(TUnitHead, Length) == 4);
static_assert(sizeof(TSiteSurveyEntry) == 40);
static_assert(offsetof(TSiteSurveyEntry, Signal) == 32 && offsetof(TSiteSurveyEntry, Cipher) == 37);

// Request field offsets (packet offsets).
namespace pkt {
constexpr std::size_t kLoginUser = 24;  // char[20]
constexpr std::size_t kLoginPassword = 44;  // char[20]
constexpr std::size_t kLoginAddr = 64;  // char[20]
constexpr std::size_t kLoginStreamFlag = 88;  // i32
constexpr std::size_t kLoginMagic = 912;  // i32 = 1
constexpr std::size_t kLoginFieldSize = 20;
// Login reply.
constexpr std::size_t kLoginReplyLevel = 84;  // i32
constexpr std::size_t kLoginReplyDevInfo = 92;  // TDevInfo
constexpr std::size_t kLoginReplyVideo = 272;  // 4 x 128: TVideoCfg bytes 12 ... 139
constexpr std::size_t kLoginReplyAudio = 784;  // 4 x 32: TAudioCfg bytes 8 ... 39
constexpr std::size_t kVideoExtractFrom = 12;
constexpr std::size_t kVideoExtractSize = 128;
constexpr std::size_t kAudioExtractFrom = 8;
constexpr std::size_t kAudioExtractSize = 32;
constexpr int kLoginExtractChannels = 4;
// Start stream (masks).
constexpr std::size_t kStreamMainMask = 24;
constexpr std::size_t kStreamAudioMask = 28;
constexpr std::size_t kStreamZero = 32;
constexpr std::size_t kStreamSubMask = 36;
// Firmware begin.
constexpr std::size_t kFwType = 24;
constexpr std::size_t kFwSize = 28;
constexpr std::size_t kFwLocalPath = 32;  // char[256]
constexpr std::size_t kFwZero = 288;
constexpr std::size_t kFwRemoteName = 296;  // char[256]
constexpr std::size_t kFwRemoteNameSize = 256;
constexpr std::size_t kFwCrc = 552;
// PTZ and serial pass-through.
constexpr std::size_t kPtzCmd = 24;  // 0 selects the serial form
constexpr std::size_t kPtzZero = 28;
constexpr std::size_t kPtzAddr = 32;  // u8
constexpr std::size_t kPtzSpeed = 36;
constexpr std::size_t kPtzPoint = 40;
constexpr std::size_t kPtzExtra = 44;
constexpr std::size_t kSerialData = 28;  // up to 100 bytes
constexpr std::size_t kSerialLength = 128;  // i32
// Alarm packets (14 and 15).
constexpr std::size_t kAlarmType = 24;
constexpr std::size_t kAlarmTime = 28;
constexpr std::size_t kAlarmChannel = 32;
constexpr std::size_t kAlarmFlag = 56;
// Colours.
constexpr std::size_t kColourChannel = 24;
constexpr std::size_t kColourBrightness = 28;
constexpr std::size_t kColourContrast = 29;
constexpr std::size_t kColourHue = 30;
constexpr std::size_t kColourSaturation = 31;
constexpr std::size_t kColourSharpness = 32;
// Record requests: the record, and where the channel goes.
constexpr std::size_t kRecord = 24;
constexpr std::size_t kRecCfgChannel = 32;  // TRecCfg.Channel inside the packet
// Wireless light.
constexpr std::size_t kLightIndex = 24;
constexpr std::size_t kLightOn = 28;
constexpr int kSiteSurveyEntries = 30;
}  // namespace pkt

// ---- packet basics -------------------------------------------------------

void ClearPkt(TCmdPkt& p);
// A zeroed packet carrying only the code.
TCmdPkt NewPkt(uint32_t cmd);
// What the sender does right before every send: markers, length, login id.
// Marker2 stays 0 on the start-stream packet, as devices expect.
void StampPkt(TCmdPkt& p, uint32_t loginId);
// The head a stamped packet must have (markers, length; Marker2 0 allowed
// only on start stream).
bool PktHeadValid(const TCmdPkt& p);
// Copies exactly kPktSize bytes; false for any other size or nullptr.
bool PktFromBytes(const void* data, std::size_t size, TCmdPkt& out);
inline const uint8_t* PktBytes(const TCmdPkt& p) { return reinterpret_cast<const uint8_t*>(&p); }
inline uint8_t* PktBytes(TCmdPkt& p) { return reinterpret_cast<uint8_t*>(&p); }

// Fields by packet offset. Writes outside the packet are refused (false);
// reads outside it give 0 / an empty string.
bool PktPutU32(TCmdPkt& p, std::size_t off, uint32_t v);
bool PktPutI32(TCmdPkt& p, std::size_t off, int32_t v);
bool PktPutU8(TCmdPkt& p, std::size_t off, uint8_t v);
bool PktPutBytes(TCmdPkt& p, std::size_t off, const void* src, std::size_t n);
uint32_t PktGetU32(const TCmdPkt& p, std::size_t off);
int32_t PktGetI32(const TCmdPkt& p, std::size_t off);
uint8_t PktGetU8(const TCmdPkt& p, std::size_t off);
bool PktGetBytes(const TCmdPkt& p, std::size_t off, void* dst, std::size_t n);
// String field of fieldSize bytes: a value may fill the field (no
// terminator then); a longer one is refused, never cut.
bool PktPutStr(TCmdPkt& p, std::size_t off, std::size_t fieldSize, std::string_view value);
std::string PktGetStr(const TCmdPkt& p, std::size_t off, std::size_t fieldSize);

// ---- stream units ----------------------------------------------------------

TUnitHead ReadUnitHead(const uint8_t (&bytes)[kUnitHeadSize]);
// False when fewer than 8 bytes are given.
bool ParseUnitHead(const void* data, std::size_t size, TUnitHead& out);
void WriteUnitHead(uint32_t marker, uint32_t length, uint8_t (&out)[kUnitHeadSize]);

enum class TUnitKind {
  Packet,  // read the body: an event or reply packet
  Video,
  Audio,
  Status,
  CfgBlock,
  Firmware,
  Discard,  // known marker of no interest: read the body and drop it
  Drop  // unknown marker or too long: do not read the body
};
TUnitKind ClassifyUnit(const TUnitHead& head);

// One step of the code-28 exchange: heads are read one by one (attempt 0 ...
// 5) until the configuration block's head shows up.
enum class TCfgHeadVerdict {
  Found,  // 0x99999999 with length 5216: read the block
  Foreign,  // some other head: read the next one
  Fail  // wrong block length, or the last attempt was foreign
};
TCfgHeadVerdict CheckCfgBlockHead(const TUnitHead& head, int attempt);

// Status sample: body byte 0 channel, byte 1 value. False below 2 bytes.
bool ParseStatusSample(const void* body, std::size_t size, int& channel, int& value);

// ---- reply matching --------------------------------------------------------

// Replies are matched by the code echo alone: one request is outstanding
// per command connection and its reply is the next packet read.
bool ReplyEchoes(uint32_t requestCmd, const TCmdPkt& reply);

enum class TReplyRule {
  NoReply,  // nothing is read; the send alone decides
  Echo,  // code echo
  EchoResultPositive,  // code echo and Result > 0
  EchoResultNonZero,  // code echo and Result != 0
  EchoResultOne  // code echo and Result == 1
};
TReplyRule ReplyRuleFor(uint32_t requestCmd);
// The exchange's success by the rule of its code. NoReply codes give false:
// their success is the send's, not a reply's.
bool ReplySucceeded(uint32_t requestCmd, const TCmdPkt& reply);

// ---- login -----------------------------------------------------------------

struct TLoginRequest {
  std::string UserName;  // up to 20 characters
  std::string Password;  // up to 20
  std::string SvrAddr;  // up to 20: the device's own address
  int32_t StreamFlag = 0;  // 1 on a stream connection
};
// False (packet untouched) when a string does not fit its field.
bool BuildLoginRequest(const TLoginRequest& req, TCmdPkt& out);
// Device side: false unless the packet is a login request.
bool ParseLoginRequest(const TCmdPkt& p, TLoginRequest& out);

struct TLoginReply {
  uint32_t LoginId = 0;
  int32_t UserLevel = 0;
  TDevInfo DevInfo{};
  uint8_t VideoExtract[pkt::kLoginExtractChannels][pkt::kVideoExtractSize]{};
  uint8_t AudioExtract[pkt::kLoginExtractChannels][pkt::kAudioExtractSize]{};
};
// Success needs Cmd 1, Result nonzero and a nonzero login id; on failure
// out is reset (login id 0).
bool ParseLoginReply(const TCmdPkt& p, TLoginReply& out);
// Stores what a login reply carries into a connection's configuration: the
// device information, then each channel's extracts in turn into the single
// video and audio records (so the last channel's remain).
void StoreLoginReply(const TLoginReply& reply, TDevCfg& cfg);
// Device side. Result 1 with the given id; a refusal is a reply with
// Result 0 and login id 0 (BuildLoginRefusal).
void FillLoginExtracts(TLoginReply& reply, const TVideoCfg* video, const TAudioCfg* audio,
                       int channels);
void BuildLoginReply(const TLoginReply& reply, TCmdPkt& out);
void BuildLoginRefusal(TCmdPkt& out);

// ---- configuration records -------------------------------------------------

enum class TRecordKind {
  Net, WiFi, DevInfo, User, Alm, Rs485, DiDo, Video, Audio, MD, HideArea, Disk, Rec, FTP, P2P,
  Email, Rf
};
constexpr int kRecordKinds = 17;

// Where a request carries the channel.
enum class TChannelRule {
  None,
  FirstField,  // get: +24 channel; set: over the record's first i32 (video, audio)
  RecCfgSet  // set only: at +32, the record's Channel field
};

struct TRecordInfo {
  TRecordKind Kind;
  const char* Name;
  uint32_t GetCmd;  // 0: no get command
  uint32_t SetCmd;
  std::size_t Size;
  int CfgOffset;  // offset in TDevCfg, -1 for records kept apart
  TChannelRule Channel;
};
const TRecordInfo& RecordInfo(TRecordKind kind);
// The record a get or set code moves; nullptr for other codes.
const TRecordInfo* RecordInfoByCmd(uint32_t cmd);
// The record's bytes inside a whole configuration; nullptr for TRfCfg.
uint8_t* RecordInCfg(TDevCfg& cfg, TRecordKind kind);
const uint8_t* RecordInCfg(const TDevCfg& cfg, TRecordKind kind);

// Get request: the code, and for video and audio the channel at +24.
// False for a record without a get command.
bool BuildRecordGet(TRecordKind kind, int32_t channel, TCmdPkt& out);
// Set request: the record at +24 with the channel rule applied. False
// without a set command, with a null record or a size that is not the
// record's.
bool BuildRecordSet(TRecordKind kind, const void* record, std::size_t size, int32_t channel,
                    TCmdPkt& out);
// Copies the record at +24 of a packet (a reply, or a set request on the
// device side). False when the size is not the record's.
bool ReadRecord(const TCmdPkt& p, TRecordKind kind, void* out, std::size_t size);
// Device side: a reply carrying the record at +24.
bool BuildRecordReply(uint32_t cmd, int32_t result, const void* record, std::size_t size,
                      TCmdPkt& out);

// ---- other requests (client side) ------------------------------------------

void BuildStartStream(uint32_t mainMask, uint32_t audioMask, uint32_t subMask, TCmdPkt& out);
void BuildPtz(int32_t cmd, uint8_t addr, int32_t speed, int32_t point, int32_t extra,
              TCmdPkt& out);
// Serial pass-through; more than 100 bytes, or data missing, is refused.
bool BuildSerial(const void* data, std::size_t size, TCmdPkt& out);
void BuildColours(int32_t channel, uint8_t brightness, uint8_t contrast, uint8_t hue,
                  uint8_t saturation, uint8_t sharpness, TCmdPkt& out);
void BuildClearAlarm(uint32_t nowSeconds, int32_t channel, TCmdPkt& out);
void BuildSetTime(uint32_t seconds, TCmdPkt& out);
void BuildFactoryDefault(TCmdPkt& out);  // +20 = 1
// Wireless light 0 ... 2 on or off; other indexes are refused.
bool BuildRfLight(int32_t index, bool on, TCmdPkt& out);

// Firmware upload.
struct TFirmwareBegin {
  uint32_t ImageType = 0;  // 2 or 8
  uint32_t FileSize = 0;
  std::string LocalPath;  // shorter than 256
  std::string RemoteName;  // "/img.bin" for type 2, "/img.img" for type 8
  uint32_t Crc = 0;  // CRC-32 of the whole file
};
// The remote name of an image type, nullptr for types other than 2 and 8.
const char* FirmwareRemoteName(uint32_t imageType);
// False for other image types and for paths of 256 characters or more.
bool BuildFirmwareBegin(uint32_t imageType, uint32_t fileSize, std::string_view localPath,
                        uint32_t crc, TCmdPkt& out);
// Device side: false unless a code-7 packet with a known type.
bool ParseFirmwareBegin(const TCmdPkt& p, TFirmwareBegin& out);
// The end packet is the begin reply sent back with the code changed to 8.
void BuildFirmwareEnd(const TCmdPkt& beginReply, TCmdPkt& out);
// Head of a chunk of n bytes; false above kFirmwareChunkMax.
bool WriteFirmwareChunkHead(std::size_t n, uint8_t (&out)[kUnitHeadSize]);

// ---- device-side parsers and client-side reply parsers ----------------------

struct TPtzRequest {
  bool Serial = false;  // the serial pass-through form
  int32_t Cmd = 0;
  uint8_t Addr = 0;
  int32_t Speed = 0;
  int32_t Point = 0;
  int32_t Extra = 0;
  std::string Data;  // serial bytes, at most 100
};
// False unless code 13 and, in the serial form, a length of 0 ... 100.
bool ParsePtz(const TCmdPkt& p, TPtzRequest& out);

struct TColours {
  int32_t Channel = 0;
  uint8_t Brightness = 0, Contrast = 0, Hue = 0, Saturation = 0, Sharpness = 0;
};
bool ParseColours(const TCmdPkt& p, TColours& out);

struct TStreamMasks {
  uint32_t Main = 0, Audio = 0, Sub = 0;
};
bool ParseStartStream(const TCmdPkt& p, TStreamMasks& out);

// Alarm raised (14) or cleared (15) from the device; also the client's
// clear request (time and channel only).
struct TAlarmEvent {
  uint32_t Cmd = 0;
  int32_t Type = 0;  // TAlmType, passed through
  uint32_t Time = 0;  // device seconds
  int32_t Channel = 0;
  int32_t Flag = 0;
};
// False unless code 14 or 15 with a channel that is not negative.
bool ParseAlarmEvent(const TCmdPkt& p, TAlarmEvent& out);
void BuildAlarmEvent(const TAlarmEvent& ev, TCmdPkt& out);

// Site survey reply: 30 entries from +24. False unless code 36.
bool ParseSiteSurvey(const TCmdPkt& p, TSiteSurveyEntry (&out)[pkt::kSiteSurveyEntries]);
void BuildSiteSurvey(const TSiteSurveyEntry (&entries)[pkt::kSiteSurveyEntries], TCmdPkt& out);

}  // namespace vz
