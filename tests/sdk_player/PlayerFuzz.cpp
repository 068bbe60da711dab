// Arbitrary unit streams through the player's dispatch and frame handler:
// the input is cut into units by their own heads, as the reading step does.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "class_AxPlay.h"
#include "class_avCache.h"
#include "vz_protocol.h"

namespace {

TAxPlay& Player() {
  static TAxPlay* p = [] {
    TAxPlay* q = TAxPlay::New(0);
    q->SetAutoReConn(false);
    q->SetAudioPlayMask(~0ull);
    q->PreAlarmCache().SetPreAlarmTime(1);
    q->SetOnAVData([](TAxPlay&, const uint8_t*, int32_t, uint32_t) {});
    q->SetOnStatus([](TAxPlay&, const uint8_t*, uint32_t) {});
    q->SetOnAlarm([](TAxPlay&, int32_t, int32_t, int32_t, double) {});
    return q;
  }();
  return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TAxPlay& p = Player();
  if (data == nullptr || size == 0) {
    p.DispatchUnit(nullptr, 0, false);
    return 0;
  }
  // First byte: settings that steer the frame handler.
  p.SetDisplayStreamType(data[0] & 1);
  p.SetRecordStreamType((data[0] >> 1) & 1);
  p.SetDecodeStyle(static_cast<uint8_t>((data[0] >> 2) % 3));
  size_t at = 1;
  std::vector<uint8_t> unit;
  while (at + vz::kUnitHeadSize <= size) {
    vz::TUnitHead head{};
    vz::ParseUnitHead(data + at, size - at, head);
    const size_t avail = size - at - vz::kUnitHeadSize;
    const size_t body = head.Length <= avail ? head.Length : avail;
    // An exact copy, so reads past the unit show up.
    unit.assign(data + at, data + at + vz::kUnitHeadSize + body);
    p.DispatchUnit(unit.data(), static_cast<uint32_t>(unit.size()), (data[0] & 0x80) != 0);
    at += vz::kUnitHeadSize + body;
  }
  return 0;
}
