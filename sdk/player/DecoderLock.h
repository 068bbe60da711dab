#pragma once
// The process-wide decoder lock: held around every close-and-reopen of a
// video decoder (connect, display-stream change, codec switch, renderer
// rebuild), so no two players reconfigure their decoders at the same time.
// The frame handler takes it through TFrameSeams::DecoderLock; TLiveDecode
// takes it for its own codec switches. Lock order: this lock first, then a
// decoder's own state lock.
#include <mutex>

namespace vz {

std::mutex& DecoderLock();

}  // namespace vz
