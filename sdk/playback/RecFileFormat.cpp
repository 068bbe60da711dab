#include "RecFileFormat.h"

#include <cstring>
#include <string>

#include "vz_records.h"

namespace vz {

namespace {

constexpr std::size_t kVideoFrom = 12;  // record offset of header byte 64
constexpr std::size_t kAudioFrom = 8;  // record offset of header byte 192

static_assert(sizeof(TVideoCfg) >= kVideoFrom + sizeof(TRecVideoPart), "video record too short");
static_assert(sizeof(TAudioCfg) >= kAudioFrom + sizeof(TRecAudioPart), "audio record too short");

}  // namespace

void SetRecVideoPart(TRecFileHeader& header, const TVideoCfg& video) {
  std::memcpy(&header.Video, reinterpret_cast<const uint8_t*>(&video) + kVideoFrom, sizeof header.Video);
}

void SetRecAudioPart(TRecFileHeader& header, const TAudioCfg& audio) {
  std::memcpy(&header.Audio, reinterpret_cast<const uint8_t*>(&audio) + kAudioFrom, sizeof header.Audio);
}

void RecVideoPartToCfg(const TRecFileHeader& header, TVideoCfg& out) {
  std::memset(&out, 0, sizeof out);
  std::memcpy(reinterpret_cast<uint8_t*>(&out) + kVideoFrom, &header.Video, sizeof header.Video);
}

void RecAudioPartToCfg(const TRecFileHeader& header, TAudioCfg& out) {
  std::memset(&out, 0, sizeof out);
  std::memcpy(reinterpret_cast<uint8_t*>(&out) + kAudioFrom, &header.Audio, sizeof header.Audio);
}

TRecFileHeader MakeRecHeader() {
  TRecFileHeader h;
  std::memset(&h, 0, sizeof h);
  static_assert(std::char_traits<char>::length(kRecMakerText) < sizeof h.Maker, "maker text");
  std::memcpy(h.Maker, kRecMakerText, std::strlen(kRecMakerText));
  h.One1 = 1;
  h.One2 = 1;
  return h;
}

bool SetRecSvrAddr(TRecFileHeader& header, std::string_view addr) {
  if (addr.size() >= sizeof header.SvrAddr) return false;
  if (addr.find('\0') != std::string_view::npos) return false;
  std::memset(header.SvrAddr, 0, sizeof header.SvrAddr);
  std::memcpy(header.SvrAddr, addr.data(), addr.size());
  return true;
}

std::string_view RecSvrAddr(const TRecFileHeader& header) {
  const void* nul = std::memchr(header.SvrAddr, 0, sizeof header.SvrAddr);
  const std::size_t n =
      nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - header.SvrAddr)
                     : sizeof header.SvrAddr;
  return std::string_view(header.SvrAddr, n);
}

bool ParseRecHeader(const uint8_t* data, std::size_t size, TRecFileHeader& out) {
  if (data == nullptr || size < kRecHeaderSize) return false;
  std::memcpy(&out, data, sizeof out);
  return true;
}

uint64_t RecDataEnd(const TRecFileHeader& header, uint64_t file_size) {
  if (header.FileLen > kRecHeaderSize && header.FileLen <= file_size) return header.FileLen;
  return file_size;
}

TRecFrameStatus ParseRecFrameHead(const uint8_t* head, std::size_t n, uint64_t offset,
                                  uint64_t data_end, TRecFrame& out) {
  if (offset >= data_end) return TRecFrameStatus::End;
  if (offset < kRecFirstFrameOffset) return TRecFrameStatus::BadLink;
  if (head == nullptr || n < kFrameHeadSize || data_end - offset < kFrameHeadSize) {
    return TRecFrameStatus::Truncated;
  }
  TAVFrameHead h;
  std::memcpy(&h, head, sizeof h);
  if (h.Magic != kMarkerVideo && h.Magic != kMarkerAudio) return TRecFrameStatus::BadHead;
  if (h.Len <= kFrameLenOverhead || h.Len > kMaxUnitLength) return TRecFrameStatus::BadHead;
  const uint64_t frame_bytes = static_cast<uint64_t>(h.Len) + kUnitHeadSize;
  if (frame_bytes > data_end - offset) return TRecFrameStatus::Truncated;
  const uint64_t link = static_cast<uint32_t>(h.StreamType);
  if (link < kRecFirstFrameOffset || link > offset) return TRecFrameStatus::BadLink;
  out.Head = h;
  out.Kind = h.Magic == kMarkerVideo ? TFrameKind::Video : TFrameKind::Audio;
  out.Offset = offset;
  out.FrameBytes = static_cast<uint32_t>(frame_bytes);
  out.BackLink = link;
  return TRecFrameStatus::Ok;
}

const char* RecFrameStatusText(TRecFrameStatus status) {
  switch (status) {
    case TRecFrameStatus::Ok:
      return "ok";
    case TRecFrameStatus::End:
      return "end of data";
    case TRecFrameStatus::Truncated:
      return "incomplete frame";
    case TRecFrameStatus::BadHead:
      return "bad frame head";
    case TRecFrameStatus::BadLink:
      return "bad back-link";
  }
  return "?";
}

}  // namespace vz
