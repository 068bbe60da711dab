#pragma once
// The 24-byte head in front of every audio and video frame: on the stream
// socket, over the tunnel (where we build it ourselves) and in record files.
// Frames arrive from devices, so the head is only ever read through
// ParseFrameHead, which checks the announced length against the bytes that
// are really there.
#include <cstddef>
#include <cstdint>

#include "vz_protocol.h"  // kMarkerVideo, kMarkerAudio, kMaxUnitLength; pins little-endian

namespace vz {

#pragma pack(push, 1)
struct TAVFrameHead {
  uint32_t Magic;  // kMarkerVideo or kMarkerAudio
  uint32_t Len;  // bytes after the first 8: payload + 16
  uint64_t TimeStamp;  // capture time, microseconds since 1970 (device local clock)
  uint8_t Chl;  // channel, from 0
  uint8_t IsIFrame;  // 1 = video key frame
  uint16_t Reserved;
  int32_t StreamType;  // wire: 0 main, 1 sub; record file: back-link offset
};
#pragma pack(pop)

static_assert(sizeof(TAVFrameHead) == 24, "TAVFrameHead size");
static_assert(offsetof(TAVFrameHead, Magic) == 0, "TAVFrameHead.Magic");
static_assert(offsetof(TAVFrameHead, Len) == 4, "TAVFrameHead.Len");
static_assert(offsetof(TAVFrameHead, TimeStamp) == 8, "TAVFrameHead.TimeStamp");
static_assert(offsetof(TAVFrameHead, Chl) == 16, "TAVFrameHead.Chl");
static_assert(offsetof(TAVFrameHead, IsIFrame) == 17, "TAVFrameHead.IsIFrame");
static_assert(offsetof(TAVFrameHead, Reserved) == 18, "TAVFrameHead.Reserved");
static_assert(offsetof(TAVFrameHead, StreamType) == 20, "TAVFrameHead.StreamType");

constexpr std::size_t kFrameHeadSize = sizeof(TAVFrameHead);
constexpr uint32_t kFrameLenOverhead = 16;  // Len counts the head's last 16 bytes
constexpr std::size_t kStreamTypeOffset = offsetof(TAVFrameHead, StreamType);
constexpr uint32_t kMinAudioPlayBytes = 1024;  // shorter audio payloads are not played
constexpr uint64_t kMicrosPerSecond = 1000000;

enum class TFrameKind : uint8_t { Video, Audio };

// A checked view of one frame. Payload points into the caller's bytes.
struct TFrameView {
  TAVFrameHead Head;  // copied out: the caller's bytes may be unaligned
  TFrameKind Kind;
  const uint8_t* Frame;  // the frame start (head)
  uint32_t FrameBytes;  // Len + 8
  const uint8_t* Payload;
  uint32_t PayloadBytes;  // Len - 16
  uint64_t Second() const { return Head.TimeStamp / kMicrosPerSecond; }
};

// True when data holds a video or audio frame whose head announces a
// payload of at least one byte and no more than kMaxUnitLength bytes after
// the unit head, all of it inside size bytes. Bytes beyond the frame are
// ignored. nullptr/0 answer false.
bool ParseFrameHead(const uint8_t* data, std::size_t size, TFrameView& out);

// Fills the head of a frame of payload_bytes received over the tunnel. The
// tunnel carries only video of one stream; flag_byte is byte 2 of its frame
// information (1 = key frame).
TAVFrameHead MakeTunnelFrameHead(uint32_t payload_bytes, uint8_t flag_byte, uint64_t now_us);

// Overwrites the StreamType field of a frame in place (record back-links).
void SetFrameStreamType(uint8_t* frame, int32_t value);

}  // namespace vz
