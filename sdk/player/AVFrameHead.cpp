#include "AVFrameHead.h"

#include <cstring>

namespace vz {

bool ParseFrameHead(const uint8_t* data, std::size_t size, TFrameView& out) {
  if (data == nullptr || size <= kFrameHeadSize) return false;
  TAVFrameHead h;
  std::memcpy(&h, data, sizeof h);
  if (h.Magic != kMarkerVideo && h.Magic != kMarkerAudio) return false;
  // At least one payload byte; never more than the socket reader accepts.
  if (h.Len <= kFrameLenOverhead || h.Len > kMaxUnitLength) return false;
  const std::size_t frame_bytes = static_cast<std::size_t>(h.Len) + kUnitHeadSize;
  if (frame_bytes > size) return false;
  out.Head = h;
  out.Kind = h.Magic == kMarkerVideo ? TFrameKind::Video : TFrameKind::Audio;
  out.Frame = data;
  out.FrameBytes = static_cast<uint32_t>(frame_bytes);
  out.Payload = data + kFrameHeadSize;
  out.PayloadBytes = h.Len - kFrameLenOverhead;
  return true;
}

TAVFrameHead MakeTunnelFrameHead(uint32_t payload_bytes, uint8_t flag_byte, uint64_t now_us) {
  TAVFrameHead h{};
  h.Magic = kMarkerVideo;
  h.Len = payload_bytes + kFrameLenOverhead;
  h.TimeStamp = now_us;
  h.Chl = 0;
  h.IsIFrame = flag_byte == 1 ? 1 : 0;
  h.Reserved = 0;
  h.StreamType = 1;
  return h;
}

void SetFrameStreamType(uint8_t* frame, int32_t value) {
  std::memcpy(frame + kStreamTypeOffset, &value, sizeof value);
}

}  // namespace vz
