#pragma once
// TDecodeGate: which live video frames for display reach the decoder.
// Decode_None drops everything, Decode_IFrame passes key frames only,
// Decode_All passes everything from the next key frame on (after a switch
// to it and after every decoder open, decoding restarts at a key frame).
//
// The style is set from API threads, the key wait re-armed by whoever opens
// the decoder; Admit runs on the receiving thread. All state is atomic.
#include <atomic>
#include <cstdint>

namespace vz {

enum TxDecodeStyle : uint8_t { Decode_None = 0, Decode_IFrame = 1, Decode_All = 2 };

class TDecodeGate {
 public:
  // A change of style re-arms the key wait when the new style is Decode_All.
  void SetDecodeStyle(uint8_t style);
  uint8_t DecodeStyle() const { return style_.load(); }
  // Called when the decoder is (re)opened.
  void WaitForKey() { wait_for_key_.store(true); }
  bool WaitingForKey() const { return wait_for_key_.load(); }

  bool Admit(bool is_key_frame);

 private:
  std::atomic<uint8_t> style_{Decode_None};
  std::atomic<bool> wait_for_key_{true};
};

}  // namespace vz
