#pragma once
// Where the device finds things: packet fields, record positions inside the
// whole-configuration block and the commands that reach each record. Written
// from the device's point of view and kept apart from the SDK's record
// structures on purpose, so that a tested layout is checked against a second,
// independent reading of the same protocol.
#include <cstddef>
#include <cstdint>

namespace vzsim::layout {

constexpr size_t kPktSize = 1460;
constexpr uint32_t kPktLength = 1452;  // bytes after the 8-byte unit head
constexpr size_t kHeadSize = 8;
constexpr size_t kPayload = 24;  // records start here

// Packet fields.
constexpr size_t kMarker1 = 0, kLength = 4, kMarker2 = 8, kCmd = 12, kLoginId = 16, kResult = 20;

// Unit markers.
constexpr uint32_t kMarkPacket = 0xAAAAAAAAu;
constexpr uint32_t kMarkVideo = 0xBBBBBBBBu;
constexpr uint32_t kMarkAudio = 0xCCCCCCCCu;
constexpr uint32_t kMarkStatus = 0x77777777u;
constexpr uint32_t kMarkOther88 = 0x88888888u;
constexpr uint32_t kMarkConfig = 0x99999999u;
constexpr uint32_t kMarkChunk = 0xEEEEEEEEu;
constexpr uint32_t kMarkTalk = 0xDDDDDDDDu;
constexpr uint32_t kMarkOtherFF = 0xFFFFFFFFu;

constexpr uint32_t kMaxChunk = 8192;
constexpr uint32_t kMaxUnit = 524288;

// Command codes.
enum Cmd : uint32_t {
  kLogin = 1,
  kStartStream = 2,
  kUploadBegin = 7,
  kUploadEnd = 8,
  kPtz = 13,
  kAlarmRaised = 14,
  kAlarmClear = 15,
  kGetTime = 16,
  kSetTime = 17,
  kReboot = 18,
  kFactoryDefault = 19,
  kSetColors = 24,
  kGetAll = 28,
  kSetUsers = 33,
  kWifiSurvey = 36,
  kSetP2P = 62,
  kGetRf = 64,
  kSetRf = 65,
  kLight = 66,
  kPanic = 67,
};

// Login request and reply fields.
constexpr size_t kLoginUser = 24, kLoginPassword = 44, kLoginAddress = 64, kLoginStreamFlag = 88;
constexpr size_t kLoginTextField = 20;
constexpr size_t kReplyLevel = 84, kReplyDevInfo = 92;
constexpr size_t kReplyVideoExtract = 272, kReplyAudioExtract = 784;
constexpr size_t kVideoExtractFrom = 12, kVideoExtractSize = 128;
constexpr size_t kAudioExtractFrom = 8, kAudioExtractSize = 32;
constexpr int kLoginExtracts = 4;

// Sizes of the blocks.
constexpr size_t kDevCfgSize = 5216;
constexpr size_t kRfCfgSize = 648;
constexpr size_t kVideoCfgSize = 148;
constexpr size_t kAudioCfgSize = 48;

// Record positions inside the whole configuration.
constexpr size_t kNetAt = 0, kNetSize = 372;
constexpr size_t kWifiAt = 372, kWifiSize = 200;
constexpr size_t kInfoAt = 572, kInfoSize = 180;
constexpr size_t kUserAt = 752, kUserSize = 1048;
constexpr size_t kAlmAt = 1800, kAlmSize = 268;
constexpr size_t kRs485At = 2068, kRs485Size = 280;
constexpr size_t kDiDoAt = 2348, kDiDoSize = 528;
constexpr size_t kVideoAt = 2876;
constexpr size_t kAudioAt = 3024;
constexpr size_t kMdAt = 3072, kMdSize = 96;
constexpr size_t kHideAt = 3168, kHideSize = 72;
constexpr size_t kDiskAt = 3240, kDiskSize = 888;
constexpr size_t kRecAt = 4128, kRecSize = 260;
constexpr size_t kFtpAt = 4388, kFtpSize = 232;
constexpr size_t kP2PAt = 4620, kP2PSize = 88;
constexpr size_t kEmailAt = 4708, kEmailSize = 500;

// Which record a get or set command reaches.
enum class Scope { Whole, PerChannelVideo, PerChannelAudio };
struct RecordRoute {
  uint32_t get;  // 0: no get command
  uint32_t set;
  size_t at;     // position in the whole configuration (per-channel records: of channel 0)
  size_t size;
  Scope scope;
};

inline constexpr RecordRoute kRoutes[] = {
    {34, 35, kNetAt, kNetSize, Scope::Whole},
    {37, 38, kWifiAt, kWifiSize, Scope::Whole},
    {30, 31, kInfoAt, kInfoSize, Scope::Whole},
    {32, 33, kUserAt, kUserSize, Scope::Whole},
    {39, 40, kVideoAt, kVideoCfgSize, Scope::PerChannelVideo},
    {41, 42, kAudioAt, kAudioCfgSize, Scope::PerChannelAudio},
    {43, 44, kHideAt, kHideSize, Scope::Whole},
    {45, 46, kMdAt, kMdSize, Scope::Whole},
    {47, 48, kDiDoAt, kDiDoSize, Scope::Whole},
    {49, 50, kAlmAt, kAlmSize, Scope::Whole},
    {51, 52, kRs485At, kRs485Size, Scope::Whole},
    {53, 54, kDiskAt, kDiskSize, Scope::Whole},
    {55, 56, kRecAt, kRecSize, Scope::Whole},
    {57, 58, kFtpAt, kFtpSize, Scope::Whole},
    {59, 60, kEmailAt, kEmailSize, Scope::Whole},
    {0, kSetP2P, kP2PAt, kP2PSize, Scope::Whole},
};

// User table inside its record.
constexpr size_t kUserCount = 0, kUserEntries = 4, kUserEntrySize = 52, kMaxUsers = 20;
constexpr size_t kUserGroup = 0, kUserName = 8, kUserPassword = 28, kUserTextField = 20;

// Per-record fields the device itself reads or writes.
constexpr size_t kInfoChannels = 160;
constexpr size_t kVideoBrightness = 28, kVideoSharpness = 116;
constexpr size_t kUploadType = 24, kUploadSize = 28, kUploadCrc = 552;
constexpr size_t kSerialData = 28, kSerialLength = 128, kSerialMax = 100;
constexpr size_t kSurveyEntries = 30, kSurveyEntrySize = 40;
constexpr size_t kInfoSubStream = 171;

// Start-stream request: channel masks.
constexpr size_t kStreamMain = 24, kStreamAudio = 28, kStreamSub = 36;

// Alarm event packets (codes 14 and 15) the device pushes on a stream connection.
constexpr size_t kAlarmType = 24, kAlarmTime = 28, kAlarmChannel = 32, kAlarmFlag = 56;

// Frame head of every video and audio unit: the unit head, then the rest.
constexpr size_t kFrameHead = 24;
constexpr size_t kFrameStamp = 8, kFrameChannel = 16, kFrameKey = 17, kFrameStreamType = 20;
constexpr uint32_t kFrameLenExtra = 16;  // the head's length field counts the payload and 16 bytes
constexpr uint32_t kMainStream = 0, kSubStream = 1;

// Status unit body: channel, sample.
constexpr size_t kStatusBody = 4;

// Talk packet from the client: address text, port, then samples.
constexpr size_t kTalkAddress = 8, kTalkAddressField = 20, kTalkPort = 28, kTalkSamples = 32;
constexpr uint32_t kTalkLenExtra = 24;
constexpr uint32_t kTalkMaxSamples = 4096;

// Video record fields (one channel).
constexpr size_t kVideoWidth = 16, kVideoHeight = 20, kVideoCodec = 24, kVideoRate = 32;
constexpr size_t kVideoKeyInterval = 36, kVideoBitRate = 44;
constexpr size_t kVideoSubCodec = 128, kVideoSubResolution = 129, kVideoSubRate = 130, kVideoSubBitRate = 132;

// Audio record fields (one channel).
constexpr size_t kAudioActive = 4, kAudioChannels = 12, kAudioRate = 16, kAudioAlign = 24, kAudioBits = 28;

// Video codec numbers.
enum Codec : int { kCodecMpeg4 = 0, kCodecMjpeg = 1, kCodecH264 = 2 };

// Resolution codes, in code order from 0: width and height of each; code 0
// and every code from 26 on name no picture size.
struct Resolution {
  int width;
  int height;
};
inline constexpr Resolution kResolutions[] = {
    {0, 0},       {720, 576},   {720, 288},   {704, 576},   {704, 288},   {352, 288},  {176, 144},
    {720, 480},   {720, 240},   {704, 480},   {704, 240},   {352, 240},   {176, 120},  {160, 120},
    {320, 240},   {640, 480},   {800, 600},   {1024, 768},  {1280, 720},  {1280, 800}, {1280, 960},
    {1280, 1024}, {1360, 768},  {1400, 1050}, {1600, 1200}, {1920, 1080},
};
constexpr int kResolutionCount = static_cast<int>(sizeof kResolutions / sizeof kResolutions[0]);

}  // namespace vzsim::layout
