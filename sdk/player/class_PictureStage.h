#pragma once
// TPictureStage: a renderer's own copy of a decoded picture, for the
// conversion helper to read while the decoding thread goes on.
//
// Why a copy: a decoder writes each new picture into a buffer it used
// before. When another core has read that buffer (to convert it), every
// line the decoder writes must first be taken back from that core, and the
// decoding thread then runs measurably slower (bench/sdk_live: the motion
// compensation and transform routines, which write whole pictures, took
// about 15% longer per frame than in a decoder whose pictures nobody else
// reads). The copy is written with streaming stores: the lines go straight
// to memory, neither displacing what the decoder keeps in this core's
// caches nor ever being held by this core when it copies the next picture.
//
// One object per renderer, used by its decoding thread; the helper only
// reads the staged picture, between Stage and the next Stage (the caller
// orders the two, as the renderer does by finishing a job before it starts
// the next one).
#include <cstdint>
#include <memory>

#include "FrameSeams.h"

namespace vz {

class TPictureStage {
 public:
  TPictureStage() = default;
  TPictureStage(const TPictureStage&) = delete;
  TPictureStage& operator=(const TPictureStage&) = delete;

  // Copies the picture's planes (4:2:0) and returns a picture that reads
  // the copy: same size and flags, no Keep. False, out untouched, for a
  // picture without planes, of no size or with lines shorter than its width,
  // or when memory for the copy runs out.
  bool Stage(const TDecodedPicture& picture, TDecodedPicture& out);

 private:
  struct TFree {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t[], TFree> buffer_;
  size_t capacity_ = 0;
};

}  // namespace vz
