#pragma once
// The record file ("av"): a 256-byte header, then whole frames (24-byte
// frame head + payload) back to back, little-endian. In the file the frame
// head's StreamType field holds the back-link: the offset of the latest
// video key frame written before the frame; the first key frame of a file
// links to itself. Frames in front of the first key frame (only an alarm
// file whose pre-alarm cache held no key frame has them) link to the first
// frame offset, 256.
//
// A record file is untrusted input: it may come from another program, be
// damaged, or be cut short by a crash or power loss while recording (its
// header length is then still 0). Readers go through the parsers below,
// which never look beyond the bytes they are given, take the real file size
// as the end of the data and stop at the last whole frame.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "AVFrameHead.h"

namespace vz {

struct TVideoCfg;
struct TAudioCfg;

constexpr uint32_t kRecHeaderSize = 256;
constexpr uint64_t kRecFirstFrameOffset = kRecHeaderSize;
constexpr const char* kRecFileExt = "av";
// The maker text of files we write; readers ignore the field.
constexpr const char* kRecMakerText = "vzSDK record 1";
// Largest whole frame a record file can hold: a stream unit of the largest
// accepted length plus its 8-byte head.
constexpr uint32_t kRecMaxFrameBytes = kMaxUnitLength + 8;

enum class TRecKind : int32_t { Normal = 1, Alarm = 2 };

// Codec kinds at header offset 76.
constexpr int32_t kRecCodecMpeg4 = 0;
constexpr int32_t kRecCodecMjpeg = 1;
constexpr int32_t kRecCodecH264 = 2;

// Packed so the layout is exactly the file's; aligned to 4 so that every
// 32-bit field (all sit at multiples of 4) can be read in place.
#pragma pack(push, 1)
// Bytes 12..139 of the channel's TVideoCfg, as copied into the header.
struct alignas(4) TRecVideoPart {
  int32_t VideoSystem;  // header 64
  int32_t Width;  // header 68: width of the last decoded picture
  int32_t Height;  // header 72
  int32_t Codec;  // header 76: kRecCodec*
  uint8_t Colours[4];  // header 80
  int32_t FrameRate;  // header 84: main-stream frame rate as configured
  uint8_t Rest[104];  // header 88..191: the rest of the record, OSD settings included
};

// Bytes 8..39 of the channel's TAudioCfg.
struct alignas(4) TRecAudioPart {
  int32_t Codec;  // header 192; the wave format tag of exports
  int32_t Channels;  // header 196
  int32_t SampleRate;  // header 200
  int32_t AvgBytesPerSec;  // header 204
  int32_t BlockAlign;  // header 208
  int32_t BitsPerSample;  // header 212
  uint8_t Reserved[8];  // header 216
};

struct alignas(4) TRecFileHeader {
  int32_t DevType;  // 0
  uint32_t FileLen;  // 4: bytes, header included; 0 while recording
  uint32_t StartTime;  // 8: seconds since 1970, local clock
  uint32_t EndTime;  // 12: at close; an alarm file holds its planned end while recording
  char Maker[20];  // 16: NUL-padded
  char SvrAddr[20];  // 36: NUL-terminated
  int32_t One1;  // 56: always 1
  int32_t One2;  // 60: always 1
  TRecVideoPart Video;  // 64
  TRecAudioPart Audio;  // 192
  uint8_t Zero[32];  // 224
};
#pragma pack(pop)

static_assert(sizeof(TRecVideoPart) == 128, "TRecVideoPart size");
static_assert(sizeof(TRecAudioPart) == 32, "TRecAudioPart size");
static_assert(sizeof(TRecFileHeader) == kRecHeaderSize, "TRecFileHeader size");
static_assert(alignof(TRecFileHeader) == 4, "TRecFileHeader alignment");
static_assert(offsetof(TRecFileHeader, FileLen) == 4, "FileLen");
static_assert(offsetof(TRecFileHeader, StartTime) == 8, "StartTime");
static_assert(offsetof(TRecFileHeader, EndTime) == 12, "EndTime");
static_assert(offsetof(TRecFileHeader, Maker) == 16, "Maker");
static_assert(offsetof(TRecFileHeader, SvrAddr) == 36, "SvrAddr");
static_assert(offsetof(TRecFileHeader, One1) == 56, "One1");
static_assert(offsetof(TRecFileHeader, One2) == 60, "One2");
static_assert(offsetof(TRecFileHeader, Video) == 64, "Video");
static_assert(offsetof(TRecFileHeader, Video) + offsetof(TRecVideoPart, Width) == 68, "Width");
static_assert(offsetof(TRecFileHeader, Video) + offsetof(TRecVideoPart, Height) == 72, "Height");
static_assert(offsetof(TRecFileHeader, Video) + offsetof(TRecVideoPart, Codec) == 76, "Codec");
static_assert(offsetof(TRecFileHeader, Video) + offsetof(TRecVideoPart, FrameRate) == 84, "FrameRate");
static_assert(offsetof(TRecFileHeader, Audio) == 192, "Audio");
static_assert(offsetof(TRecFileHeader, Audio) + offsetof(TRecAudioPart, BitsPerSample) == 212, "Bits");
static_assert(offsetof(TRecFileHeader, Zero) == 224, "Zero");

// Header offset of the byte that takes the value of the byte behind it when
// the last received frame came from the sub stream.
constexpr std::size_t kRecSubStreamByte = 165;

// Header bytes <-> the configuration records they are copied from. The
// header keeps record bytes 12..139 (video) and 8..39 (audio).
void SetRecVideoPart(TRecFileHeader& header, const TVideoCfg& video);
void SetRecAudioPart(TRecFileHeader& header, const TAudioCfg& audio);
// A zeroed record with the header's bytes put back in place; the file
// player draws the OSD from it.
void RecVideoPartToCfg(const TRecFileHeader& header, TVideoCfg& out);
void RecAudioPartToCfg(const TRecFileHeader& header, TAudioCfg& out);

// A fresh header: maker text, the two fixed ones, everything else zero.
TRecFileHeader MakeRecHeader();
// Copies the device address into its 20-byte field. An address of 20 bytes
// or more, or one with a NUL inside, does not fit and is refused (false,
// field untouched): a cut address would name another device.
bool SetRecSvrAddr(TRecFileHeader& header, std::string_view addr);
// The address field up to its NUL or its end.
std::string_view RecSvrAddr(const TRecFileHeader& header);

// Copies the header out of size bytes; false when fewer than 256 are there.
// Nothing in the header is trusted beyond that: see RecDataEnd.
bool ParseRecHeader(const uint8_t* data, std::size_t size, TRecFileHeader& out);

// Where the frames end. The header's length counts only when it lies
// within the real file; a file cut short while recording still says 0, and
// one damaged says anything, so the real size decides then.
uint64_t RecDataEnd(const TRecFileHeader& header, uint64_t file_size);

// A frame head read from a record file.
struct TRecFrame {
  TAVFrameHead Head;
  TFrameKind Kind;
  uint64_t Offset;  // of the head
  uint32_t FrameBytes;  // Len + 8: head and payload
  uint64_t BackLink;  // StreamType read as an unsigned offset
  uint64_t End() const { return Offset + FrameBytes; }
  bool IsVideoKey() const { return Kind == TFrameKind::Video && Head.IsIFrame != 0; }
  // The first key frame of a file, or a frame in front of it at offset 256.
  bool LinksToItself() const { return BackLink == Offset; }
};

enum class TRecFrameStatus : uint8_t {
  Ok,
  End,  // offset is at (or past) the end of the data
  Truncated,  // a frame starts here but its bytes run past the end of the data
  BadHead,  // no video/audio marker, or a length no recorder writes
  BadLink,  // back-link outside the file's frames or ahead of the frame
};

// Checks the frame head at offset. head holds the n bytes read there (the
// first 24 are used; fewer is Truncated unless the data ends at offset).
// data_end is RecDataEnd. A valid back-link points at or after the first
// frame and not beyond the frame itself, so following links from any frame
// strictly descends until a frame links to itself: a walk always ends.
TRecFrameStatus ParseRecFrameHead(const uint8_t* head, std::size_t n, uint64_t offset,
                                  uint64_t data_end, TRecFrame& out);

const char* RecFrameStatusText(TRecFrameStatus status);

}  // namespace vz
