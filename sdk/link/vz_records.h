#pragma once
// The device configuration records exactly as they travel on the wire and
// lie in the 5216-byte configuration block.
//
// The structures are packed and read in place: this is only correct on a
// little-endian host (x86-64 is the one we build for), which the
// static_assert below makes a build error elsewhere. Every size and every
// field offset is pinned by a static_assert so a stray edit cannot shift a
// field silently.
//
// Strings are fixed char[n] fields, NUL-padded; a field that is full has no
// terminator. Read and write them only through vz_fields.h. Bytes named
// Reserved are carried through untouched: a record is always sent back
// exactly as it was received, with only the edited fields changed.
#include <bit>
#include <cstddef>
#include <cstdint>

namespace vz {

static_assert(std::endian::native == std::endian::little,
              "the records are read in place and need a little-endian host");

#pragma pack(push, 1)

struct TNetCfg {
  int32_t DataPort;  // the TCP port of the command and stream channel
  int32_t RtspPort;
  int32_t WebPort;  // also the port of the device's web configuration interface
  int32_t AddrMode;  // 0 static, 1 DHCP
  char IP[20];
  char Mac[20];
  char Mask[20];
  char Gateway[20];
  char Dns[20];
  uint8_t Reserved1[20];
  uint8_t DhcpServer;
  uint8_t Reserved2[3];
  int32_t DdnsActive;
  int32_t DdnsProvider;
  char DdnsDomain[40];
  char DdnsAccount[40];  // doubles as the DDNS server of the self-hosted provider
  char DdnsPassword[40];
  uint8_t Reserved3[4];
  int32_t PppoeAuto;
  char PppoeAccount[40];
  char PppoePassword[40];
  uint8_t Reserved4[4];
  int32_t UpnpActive;
  uint8_t Reserved5[8];
};

struct TWiFiCfg {
  uint8_t Active;
  uint8_t Mode;  // 1 access point, 0 station
  uint8_t Reserved1[2];
  char ApSsid[30];
  char ApPassword[30];
  char StaSsid[32];
  uint8_t Reserved2[4];
  int32_t Encryption;  // 0 none, 1 WEP, 2 WPA
  char StaKey[64];
  int32_t NetType;  // from the chosen site-survey entry, else 0
  int32_t Auth;  // WEP: 0 auto, 1 open, 2 shared; WPA: 0 auto, 1 WPA-PSK, 2 WPA2-PSK
  int32_t Cipher;  // 0 auto, 1 TKIP, 2 AES
  uint8_t Reserved3[20];
};

struct TDevInfo {
  char Model[12];  // first and last characters select model-specific behaviour
  uint32_t Serial;  // shown as eight upper-case hex digits
  int32_t DevType;  // 11: a device reached over P2P
  char SoftVer[20];  // compared as text for feature gates, e.g. "V2.116"
  char FileVer[20];
  char DevName[20];
  uint8_t Reserved1[43];
  uint8_t HwKind;  // 3: wireless sensors supported
  uint32_t VideoCodecs;  // bit n = TVideoType n
  uint64_t MainResolutions;  // bit n = TStandardEx n
  uint8_t Reserved2[8];
  uint64_t SubResolutions;  // bit n = TStandardEx n
  uint8_t Reserved3[8];
  int32_t VideoChannels;
  uint8_t AudioChannels;
  uint8_t Reserved4;
  uint8_t AlarmOutputs;
  uint8_t Reserved5;
  int8_t TimeZone;  // whole hours, -12 ... +13
  uint8_t Reserved6[2];
  uint8_t SubStream;  // sub stream available
  uint8_t RebootDays;  // day set 0 ... 12
  uint8_t RebootHour;
  uint8_t RebootMinute;
  uint8_t RebootInterval;  // days, only with day set 12
  uint8_t Reserved7[4];
};

constexpr int kMaxUsers = 20;

struct TUserEntry {
  int32_t Group;  // 1 guests, 2 system users, 3 administrators
  int32_t Group2;  // always written equal to Group
  char Name[20];
  char Password[20];
  uint8_t Reserved[4];
};

struct TUserCfg {
  int32_t Count;  // untrusted: read it through UserCount() (vz_users.h)
  TUserEntry Users[kMaxUsers];
  uint8_t Reserved[4];
};

constexpr int kAlmEntries = 16;

struct TAlmAction {
  uint8_t Type;  // TAlmType
  uint8_t Channel;  // 0-based
  uint8_t Reserved;
  uint8_t Record;
  uint8_t FtpSnapshot;
  uint8_t AlarmOut;
  uint8_t Email;
  uint8_t PtzPreset;  // 0 none, 1 ... 128
};

struct TAlmSchedule {
  uint8_t Days;  // day set
  uint8_t Reserved[3];
  uint8_t StartHour;
  uint8_t StartMinute;
  uint8_t EndHour;
  uint8_t EndMinute;
};

struct TAlmCfg {
  int32_t HoldTime;  // alarm output hold time, seconds
  uint8_t Reserved[8];
  TAlmAction Actions[kAlmEntries];
  TAlmSchedule Schedules[kAlmEntries];
};

constexpr int kPtzEntries = 32;
constexpr int kPtzProtocolNames = 6;

struct TPtzEntry {
  uint8_t Addr;  // 1 ... 128
  uint8_t Protocol;  // index into ProtocolNames
  uint8_t Speed;
  uint8_t Reserved;
};

struct TRs485Cfg {
  uint8_t Reserved1[4];
  int32_t Baud;
  int32_t DataBits;
  int32_t Parity;  // index in N, O, E ...
  int32_t StopBits;  // index
  TPtzEntry Ptz[kPtzEntries];  // one per channel
  int32_t ProtocolCount;  // untrusted: at most kPtzProtocolNames names exist
  char ProtocolNames[kPtzProtocolNames][20];
  uint8_t Reserved2[8];
};

// Digital input in the first half, alarm output in the second; the client
// edits one byte of each.
struct TDiDoCfg {
  uint8_t DiReserved1[5];
  uint8_t DiActiveLevel;  // 0 high, 1 low
  uint8_t DiReserved2[258];
  uint8_t DoReserved1[5];
  uint8_t DoActiveLevel;  // 0 high, 1 low
  uint8_t DoReserved2[258];
};

struct TOsdItem {
  uint8_t FontSize;
  uint8_t Refresh;  // 0: the overlay takes the item from the record
  uint8_t Show;
  uint8_t Colour;  // 0 ... 15
  int16_t X;
  int16_t Y;
};

struct TVideoCfg {
  int32_t Channel;  // written by the set command
  uint8_t Reserved1[8];
  int32_t VideoSystem;  // 0 NTSC, 1 PAL
  int32_t Width;
  int32_t Height;
  int32_t Codec;  // TVideoType
  uint8_t Brightness;
  uint8_t Contrast;
  uint8_t Hue;
  uint8_t Saturation;
  int32_t FrameRate;
  int32_t KeyInterval;  // frames
  uint8_t Reserved2[4];
  int32_t BitRate;  // bits per second
  int32_t FlipH;
  int32_t FlipV;
  char OsdTitle[40];
  TOsdItem OsdTitleItem;
  TOsdItem OsdTimeItem;
  uint8_t Reserved3[3];
  uint8_t Wdr;
  uint8_t Sharpness;
  uint8_t Reserved4[3];
  TOsdItem OsdRateItem;
  uint8_t SubCodec;  // TVideoType, kept equal to Codec
  uint8_t SubResolution;  // TStandardEx
  uint8_t SubFrameRate;
  uint8_t Reserved5;
  int32_t SubBitRate;  // bits per second
  uint8_t Reserved6[12];
};

struct TAudioCfg {
  int32_t Channel;  // written by the set command
  int32_t Active;
  int32_t Codec;
  int32_t Channels;  // low 16 bits are the wave format's
  int32_t SampleRate;
  int32_t AvgBytesPerSec;
  int32_t BlockAlign;  // low 16 bits used
  int32_t BitsPerSample;  // low 16 bits used
  uint8_t Reserved1[8];
  uint8_t Input;  // 0 microphone, 1 line in
  uint8_t Reserved2;
  uint8_t LineInVolume;
  uint8_t LineOutVolume;
  uint8_t SoundAlarm;
  uint8_t SoundSensitivity;
  uint8_t Reserved3[2];
};

struct TMDCfg {
  uint8_t Reserved1[8];
  uint8_t Active;
  uint8_t Reserved2;
  uint8_t Sensitivity;  // stored as 255 - the slider value
  uint8_t FracValid;
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
  uint8_t Reserved3[40];
  int32_t Days;  // day set
  uint8_t StartHour;
  uint8_t StartMinute;
  uint8_t EndHour;
  uint8_t EndMinute;
  float FracLeft;  // fractions 0 ... 1 of the picture size
  float FracTop;
  float FracRight;
  float FracBottom;
  int32_t Resolution;  // TStandardEx
};

struct THideAreaCfg {
  uint8_t Reserved1[8];
  int32_t Active;
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
  int32_t FracValid;
  float FracLeft;
  float FracTop;
  float FracRight;
  float FracBottom;
  uint8_t Reserved2[20];
  int32_t Resolution;  // TStandardEx of the picture the pixel rectangle refers to
};

struct TDiskCfg {
  uint8_t Reserved1[24];
  char DiskName[20];  // empty when no disk
  uint8_t Reserved2[4];
  int32_t DiskSize;  // in the device's unit
  int32_t FreeSpace;
  int32_t MinFree;
  uint8_t Reserved3[828];
};

constexpr int kRecDays = 7;
constexpr int kRecPeriods = 4;

struct TRecPeriod {
  uint8_t Enabled;
  uint8_t StartHour;
  uint8_t StartMinute;
  uint8_t EndHour;
  uint8_t EndMinute;
  uint8_t Reserved[3];
};

struct TRecCfg {
  uint8_t Reserved1[8];
  int32_t Channel;  // written by the set command
  uint8_t Reserved2;
  uint8_t Stream;  // 0 main, 1 sub
  uint8_t Reserved3;
  uint8_t Audio;
  int32_t PreAlarm;  // seconds
  int32_t PostAlarm;  // seconds
  int32_t FileLength;  // seconds of a normal recording file
  int32_t Mode;  // 0 manual, 1 always, 2 by schedule, 3 on alarm
  TRecPeriod Schedule[kRecDays][kRecPeriods];
  uint8_t Reserved4[4];
};

struct TFTPCfg {
  int32_t Active;
  char Server[100];
  int32_t Port;
  char Account[40];
  char Password[40];
  char Path[40];
  uint8_t Reserved[4];
};

struct TP2PCfg {
  char Uid[40];
  uint32_t Servers[4];  // IPv4, used with OwnServers
  uint8_t Reserved1[4];
  char Password[20];
  uint8_t Active;
  uint8_t StreamIndex;
  uint8_t OwnServers;
  uint8_t Reserved2[5];
};

struct TEmailCfg {
  int32_t Active;
  char Server[40];
  uint8_t Reserved1[4];
  char Sender[40];
  char Recipients[320];  // separated by "/"
  char Account[40];
  char Password[40];
  uint8_t Reserved2[12];
};

constexpr int kRfSensors = 16;

struct TRfSensor {
  char Name[20];
  uint8_t Days;  // day set
  uint8_t Reserved1[3];
  uint8_t StartHour;
  uint8_t StartMinute;
  uint8_t EndHour;
  uint8_t EndMinute;
  uint8_t Active;
  uint8_t Record;
  uint8_t AlarmOut;
  uint8_t Reserved2;
  uint8_t Ftp;
  uint8_t Email;
  uint8_t SecondOut;
  uint8_t Reserved3[5];
};

// Wireless sensors; not part of TDevCfg.
struct TRfCfg {
  int32_t ArmMode;  // TArmMode
  TRfSensor Sensors[kRfSensors];
  uint8_t Reserved[4];
};

struct TDevCfg {
  TNetCfg Net;
  TWiFiCfg WiFi;
  TDevInfo DevInfo;
  TUserCfg User;
  TAlmCfg Alm;
  TRs485Cfg Rs485;
  TDiDoCfg DiDo;
  TVideoCfg Video;
  TAudioCfg Audio;
  TMDCfg MD;
  THideAreaCfg HideArea;
  TDiskCfg Disk;
  TRecCfg Rec;
  TFTPCfg FTP;
  TP2PCfg P2P;
  TEmailCfg Email;
  uint8_t Reserved[8];
};

#pragma pack(pop)

#define VZ_AT(T, field, off) static_assert(offsetof(T, field) == (off), #T "." #field)

static_assert(sizeof(TNetCfg) == 372);
VZ_AT(TNetCfg, DataPort, 0);
VZ_AT(TNetCfg, RtspPort, 4);
VZ_AT(TNetCfg, WebPort, 8);
VZ_AT(TNetCfg, AddrMode, 12);
VZ_AT(TNetCfg, IP, 16);
VZ_AT(TNetCfg, Mac, 36);
VZ_AT(TNetCfg, Mask, 56);
VZ_AT(TNetCfg, Gateway, 76);
VZ_AT(TNetCfg, Dns, 96);
VZ_AT(TNetCfg, Reserved1, 116);
VZ_AT(TNetCfg, DhcpServer, 136);
VZ_AT(TNetCfg, Reserved2, 137);
VZ_AT(TNetCfg, DdnsActive, 140);
VZ_AT(TNetCfg, DdnsProvider, 144);
VZ_AT(TNetCfg, DdnsDomain, 148);
VZ_AT(TNetCfg, DdnsAccount, 188);
VZ_AT(TNetCfg, DdnsPassword, 228);
VZ_AT(TNetCfg, Reserved3, 268);
VZ_AT(TNetCfg, PppoeAuto, 272);
VZ_AT(TNetCfg, PppoeAccount, 276);
VZ_AT(TNetCfg, PppoePassword, 316);
VZ_AT(TNetCfg, Reserved4, 356);
VZ_AT(TNetCfg, UpnpActive, 360);
VZ_AT(TNetCfg, Reserved5, 364);

static_assert(sizeof(TWiFiCfg) == 200);
VZ_AT(TWiFiCfg, Active, 0);
VZ_AT(TWiFiCfg, Mode, 1);
VZ_AT(TWiFiCfg, Reserved1, 2);
VZ_AT(TWiFiCfg, ApSsid, 4);
VZ_AT(TWiFiCfg, ApPassword, 34);
VZ_AT(TWiFiCfg, StaSsid, 64);
VZ_AT(TWiFiCfg, Reserved2, 96);
VZ_AT(TWiFiCfg, Encryption, 100);
VZ_AT(TWiFiCfg, StaKey, 104);
VZ_AT(TWiFiCfg, NetType, 168);
VZ_AT(TWiFiCfg, Auth, 172);
VZ_AT(TWiFiCfg, Cipher, 176);
VZ_AT(TWiFiCfg, Reserved3, 180);

static_assert(sizeof(TDevInfo) == 180);
VZ_AT(TDevInfo, Model, 0);
VZ_AT(TDevInfo, Serial, 12);
VZ_AT(TDevInfo, DevType, 16);
VZ_AT(TDevInfo, SoftVer, 20);
VZ_AT(TDevInfo, FileVer, 40);
VZ_AT(TDevInfo, DevName, 60);
VZ_AT(TDevInfo, Reserved1, 80);
VZ_AT(TDevInfo, HwKind, 123);
VZ_AT(TDevInfo, VideoCodecs, 124);
VZ_AT(TDevInfo, MainResolutions, 128);
VZ_AT(TDevInfo, Reserved2, 136);
VZ_AT(TDevInfo, SubResolutions, 144);
VZ_AT(TDevInfo, Reserved3, 152);
VZ_AT(TDevInfo, VideoChannels, 160);
VZ_AT(TDevInfo, AudioChannels, 164);
VZ_AT(TDevInfo, Reserved4, 165);
VZ_AT(TDevInfo, AlarmOutputs, 166);
VZ_AT(TDevInfo, Reserved5, 167);
VZ_AT(TDevInfo, TimeZone, 168);
VZ_AT(TDevInfo, Reserved6, 169);
VZ_AT(TDevInfo, SubStream, 171);
VZ_AT(TDevInfo, RebootDays, 172);
VZ_AT(TDevInfo, RebootHour, 173);
VZ_AT(TDevInfo, RebootMinute, 174);
VZ_AT(TDevInfo, RebootInterval, 175);
VZ_AT(TDevInfo, Reserved7, 176);

static_assert(sizeof(TUserEntry) == 52);
VZ_AT(TUserEntry, Group, 0);
VZ_AT(TUserEntry, Group2, 4);
VZ_AT(TUserEntry, Name, 8);
VZ_AT(TUserEntry, Password, 28);
VZ_AT(TUserEntry, Reserved, 48);
static_assert(sizeof(TUserCfg) == 1048);
VZ_AT(TUserCfg, Count, 0);
VZ_AT(TUserCfg, Users, 4);
VZ_AT(TUserCfg, Reserved, 1044);

static_assert(sizeof(TAlmAction) == 8);
VZ_AT(TAlmAction, Type, 0);
VZ_AT(TAlmAction, Channel, 1);
VZ_AT(TAlmAction, Reserved, 2);
VZ_AT(TAlmAction, Record, 3);
VZ_AT(TAlmAction, FtpSnapshot, 4);
VZ_AT(TAlmAction, AlarmOut, 5);
VZ_AT(TAlmAction, Email, 6);
VZ_AT(TAlmAction, PtzPreset, 7);
static_assert(sizeof(TAlmSchedule) == 8);
VZ_AT(TAlmSchedule, Days, 0);
VZ_AT(TAlmSchedule, Reserved, 1);
VZ_AT(TAlmSchedule, StartHour, 4);
VZ_AT(TAlmSchedule, StartMinute, 5);
VZ_AT(TAlmSchedule, EndHour, 6);
VZ_AT(TAlmSchedule, EndMinute, 7);
static_assert(sizeof(TAlmCfg) == 268);
VZ_AT(TAlmCfg, HoldTime, 0);
VZ_AT(TAlmCfg, Reserved, 4);
VZ_AT(TAlmCfg, Actions, 12);
VZ_AT(TAlmCfg, Schedules, 140);

static_assert(sizeof(TPtzEntry) == 4);
VZ_AT(TPtzEntry, Addr, 0);
VZ_AT(TPtzEntry, Protocol, 1);
VZ_AT(TPtzEntry, Speed, 2);
VZ_AT(TPtzEntry, Reserved, 3);
static_assert(sizeof(TRs485Cfg) == 280);
VZ_AT(TRs485Cfg, Reserved1, 0);
VZ_AT(TRs485Cfg, Baud, 4);
VZ_AT(TRs485Cfg, DataBits, 8);
VZ_AT(TRs485Cfg, Parity, 12);
VZ_AT(TRs485Cfg, StopBits, 16);
VZ_AT(TRs485Cfg, Ptz, 20);
VZ_AT(TRs485Cfg, ProtocolCount, 148);
VZ_AT(TRs485Cfg, ProtocolNames, 152);
VZ_AT(TRs485Cfg, Reserved2, 272);

static_assert(sizeof(TDiDoCfg) == 528);
VZ_AT(TDiDoCfg, DiReserved1, 0);
VZ_AT(TDiDoCfg, DiActiveLevel, 5);
VZ_AT(TDiDoCfg, DiReserved2, 6);
VZ_AT(TDiDoCfg, DoReserved1, 264);
VZ_AT(TDiDoCfg, DoActiveLevel, 269);
VZ_AT(TDiDoCfg, DoReserved2, 270);

static_assert(sizeof(TOsdItem) == 8);
VZ_AT(TOsdItem, FontSize, 0);
VZ_AT(TOsdItem, Refresh, 1);
VZ_AT(TOsdItem, Show, 2);
VZ_AT(TOsdItem, Colour, 3);
VZ_AT(TOsdItem, X, 4);
VZ_AT(TOsdItem, Y, 6);
static_assert(sizeof(TVideoCfg) == 148);
VZ_AT(TVideoCfg, Channel, 0);
VZ_AT(TVideoCfg, Reserved1, 4);
VZ_AT(TVideoCfg, VideoSystem, 12);
VZ_AT(TVideoCfg, Width, 16);
VZ_AT(TVideoCfg, Height, 20);
VZ_AT(TVideoCfg, Codec, 24);
VZ_AT(TVideoCfg, Brightness, 28);
VZ_AT(TVideoCfg, Contrast, 29);
VZ_AT(TVideoCfg, Hue, 30);
VZ_AT(TVideoCfg, Saturation, 31);
VZ_AT(TVideoCfg, FrameRate, 32);
VZ_AT(TVideoCfg, KeyInterval, 36);
VZ_AT(TVideoCfg, Reserved2, 40);
VZ_AT(TVideoCfg, BitRate, 44);
VZ_AT(TVideoCfg, FlipH, 48);
VZ_AT(TVideoCfg, FlipV, 52);
VZ_AT(TVideoCfg, OsdTitle, 56);
VZ_AT(TVideoCfg, OsdTitleItem, 96);
VZ_AT(TVideoCfg, OsdTimeItem, 104);
VZ_AT(TVideoCfg, Reserved3, 112);
VZ_AT(TVideoCfg, Wdr, 115);
VZ_AT(TVideoCfg, Sharpness, 116);
VZ_AT(TVideoCfg, Reserved4, 117);
VZ_AT(TVideoCfg, OsdRateItem, 120);
VZ_AT(TVideoCfg, SubCodec, 128);
VZ_AT(TVideoCfg, SubResolution, 129);
VZ_AT(TVideoCfg, SubFrameRate, 130);
VZ_AT(TVideoCfg, Reserved5, 131);
VZ_AT(TVideoCfg, SubBitRate, 132);
VZ_AT(TVideoCfg, Reserved6, 136);

static_assert(sizeof(TAudioCfg) == 48);
VZ_AT(TAudioCfg, Channel, 0);
VZ_AT(TAudioCfg, Active, 4);
VZ_AT(TAudioCfg, Codec, 8);
VZ_AT(TAudioCfg, Channels, 12);
VZ_AT(TAudioCfg, SampleRate, 16);
VZ_AT(TAudioCfg, AvgBytesPerSec, 20);
VZ_AT(TAudioCfg, BlockAlign, 24);
VZ_AT(TAudioCfg, BitsPerSample, 28);
VZ_AT(TAudioCfg, Reserved1, 32);
VZ_AT(TAudioCfg, Input, 40);
VZ_AT(TAudioCfg, Reserved2, 41);
VZ_AT(TAudioCfg, LineInVolume, 42);
VZ_AT(TAudioCfg, LineOutVolume, 43);
VZ_AT(TAudioCfg, SoundAlarm, 44);
VZ_AT(TAudioCfg, SoundSensitivity, 45);
VZ_AT(TAudioCfg, Reserved3, 46);

static_assert(sizeof(TMDCfg) == 96);
VZ_AT(TMDCfg, Reserved1, 0);
VZ_AT(TMDCfg, Active, 8);
VZ_AT(TMDCfg, Reserved2, 9);
VZ_AT(TMDCfg, Sensitivity, 10);
VZ_AT(TMDCfg, FracValid, 11);
VZ_AT(TMDCfg, Left, 12);
VZ_AT(TMDCfg, Top, 16);
VZ_AT(TMDCfg, Right, 20);
VZ_AT(TMDCfg, Bottom, 24);
VZ_AT(TMDCfg, Reserved3, 28);
VZ_AT(TMDCfg, Days, 68);
VZ_AT(TMDCfg, StartHour, 72);
VZ_AT(TMDCfg, StartMinute, 73);
VZ_AT(TMDCfg, EndHour, 74);
VZ_AT(TMDCfg, EndMinute, 75);
VZ_AT(TMDCfg, FracLeft, 76);
VZ_AT(TMDCfg, FracTop, 80);
VZ_AT(TMDCfg, FracRight, 84);
VZ_AT(TMDCfg, FracBottom, 88);
VZ_AT(TMDCfg, Resolution, 92);

static_assert(sizeof(THideAreaCfg) == 72);
VZ_AT(THideAreaCfg, Reserved1, 0);
VZ_AT(THideAreaCfg, Active, 8);
VZ_AT(THideAreaCfg, Left, 12);
VZ_AT(THideAreaCfg, Top, 16);
VZ_AT(THideAreaCfg, Right, 20);
VZ_AT(THideAreaCfg, Bottom, 24);
VZ_AT(THideAreaCfg, FracValid, 28);
VZ_AT(THideAreaCfg, FracLeft, 32);
VZ_AT(THideAreaCfg, FracTop, 36);
VZ_AT(THideAreaCfg, FracRight, 40);
VZ_AT(THideAreaCfg, FracBottom, 44);
VZ_AT(THideAreaCfg, Reserved2, 48);
VZ_AT(THideAreaCfg, Resolution, 68);

static_assert(sizeof(TDiskCfg) == 888);
VZ_AT(TDiskCfg, Reserved1, 0);
VZ_AT(TDiskCfg, DiskName, 24);
VZ_AT(TDiskCfg, Reserved2, 44);
VZ_AT(TDiskCfg, DiskSize, 48);
VZ_AT(TDiskCfg, FreeSpace, 52);
VZ_AT(TDiskCfg, MinFree, 56);
VZ_AT(TDiskCfg, Reserved3, 60);

static_assert(sizeof(TRecPeriod) == 8);
VZ_AT(TRecPeriod, Enabled, 0);
VZ_AT(TRecPeriod, StartHour, 1);
VZ_AT(TRecPeriod, StartMinute, 2);
VZ_AT(TRecPeriod, EndHour, 3);
VZ_AT(TRecPeriod, EndMinute, 4);
VZ_AT(TRecPeriod, Reserved, 5);
static_assert(sizeof(TRecCfg) == 260);
VZ_AT(TRecCfg, Reserved1, 0);
VZ_AT(TRecCfg, Channel, 8);
VZ_AT(TRecCfg, Reserved2, 12);
VZ_AT(TRecCfg, Stream, 13);
VZ_AT(TRecCfg, Reserved3, 14);
VZ_AT(TRecCfg, Audio, 15);
VZ_AT(TRecCfg, PreAlarm, 16);
VZ_AT(TRecCfg, PostAlarm, 20);
VZ_AT(TRecCfg, FileLength, 24);
VZ_AT(TRecCfg, Mode, 28);
VZ_AT(TRecCfg, Schedule, 32);
VZ_AT(TRecCfg, Reserved4, 256);

static_assert(sizeof(TFTPCfg) == 232);
VZ_AT(TFTPCfg, Active, 0);
VZ_AT(TFTPCfg, Server, 4);
VZ_AT(TFTPCfg, Port, 104);
VZ_AT(TFTPCfg, Account, 108);
VZ_AT(TFTPCfg, Password, 148);
VZ_AT(TFTPCfg, Path, 188);
VZ_AT(TFTPCfg, Reserved, 228);

static_assert(sizeof(TP2PCfg) == 88);
VZ_AT(TP2PCfg, Uid, 0);
VZ_AT(TP2PCfg, Servers, 40);
VZ_AT(TP2PCfg, Reserved1, 56);
VZ_AT(TP2PCfg, Password, 60);
VZ_AT(TP2PCfg, Active, 80);
VZ_AT(TP2PCfg, StreamIndex, 81);
VZ_AT(TP2PCfg, OwnServers, 82);
VZ_AT(TP2PCfg, Reserved2, 83);

static_assert(sizeof(TEmailCfg) == 500);
VZ_AT(TEmailCfg, Active, 0);
VZ_AT(TEmailCfg, Server, 4);
VZ_AT(TEmailCfg, Reserved1, 44);
VZ_AT(TEmailCfg, Sender, 48);
VZ_AT(TEmailCfg, Recipients, 88);
VZ_AT(TEmailCfg, Account, 408);
VZ_AT(TEmailCfg, Password, 448);
VZ_AT(TEmailCfg, Reserved2, 488);

static_assert(sizeof(TRfSensor) == 40);
VZ_AT(TRfSensor, Name, 0);
VZ_AT(TRfSensor, Days, 20);
VZ_AT(TRfSensor, Reserved1, 21);
VZ_AT(TRfSensor, StartHour, 24);
VZ_AT(TRfSensor, StartMinute, 25);
VZ_AT(TRfSensor, EndHour, 26);
VZ_AT(TRfSensor, EndMinute, 27);
VZ_AT(TRfSensor, Active, 28);
VZ_AT(TRfSensor, Record, 29);
VZ_AT(TRfSensor, AlarmOut, 30);
VZ_AT(TRfSensor, Reserved2, 31);
VZ_AT(TRfSensor, Ftp, 32);
VZ_AT(TRfSensor, Email, 33);
VZ_AT(TRfSensor, SecondOut, 34);
VZ_AT(TRfSensor, Reserved3, 35);
static_assert(sizeof(TRfCfg) == 648);
VZ_AT(TRfCfg, ArmMode, 0);
VZ_AT(TRfCfg, Sensors, 4);
VZ_AT(TRfCfg, Reserved, 644);

static_assert(sizeof(TDevCfg) == 5216);
VZ_AT(TDevCfg, Net, 0);
VZ_AT(TDevCfg, WiFi, 372);
VZ_AT(TDevCfg, DevInfo, 572);
VZ_AT(TDevCfg, User, 752);
VZ_AT(TDevCfg, Alm, 1800);
VZ_AT(TDevCfg, Rs485, 2068);
VZ_AT(TDevCfg, DiDo, 2348);
VZ_AT(TDevCfg, Video, 2876);
VZ_AT(TDevCfg, Audio, 3024);
VZ_AT(TDevCfg, MD, 3072);
VZ_AT(TDevCfg, HideArea, 3168);
VZ_AT(TDevCfg, Disk, 3240);
VZ_AT(TDevCfg, Rec, 4128);
VZ_AT(TDevCfg, FTP, 4388);
VZ_AT(TDevCfg, P2P, 4620);
VZ_AT(TDevCfg, Email, 4708);
VZ_AT(TDevCfg, Reserved, 5208);

#undef VZ_AT

}  // namespace vz
