#include "class_DecodeGate.h"

namespace vz {

void TDecodeGate::SetDecodeStyle(uint8_t style) {
  if (style == style_.load()) return;
  wait_for_key_.store(style == Decode_All);
  style_.store(style);
}

bool TDecodeGate::Admit(bool is_key_frame) {
  switch (style_.load()) {
    case Decode_IFrame:
      return is_key_frame;
    case Decode_All:
      if (is_key_frame) wait_for_key_.store(false);
      return !wait_for_key_.load();
    default:  // Decode_None and unknown styles decode nothing
      return false;
  }
}

}  // namespace vz
