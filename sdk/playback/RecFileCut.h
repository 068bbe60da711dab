#pragma once
// Cutting a piece out of a record file into a new record file: from the
// first video key frame at or after a byte offset (searched byte by byte, so
// any offset will do) up to the frame that crosses the end offset. Frames
// are copied unchanged behind the given header, except that back-links
// follow the frames to their new offsets: unchanged links would point into
// the piece at the wrong places (or past it), and backward moves in the
// piece would break.
#include <cstdint>
#include <functional>
#include <string>

namespace vz {

// Offset of the first video key frame head at or after from, or -1 when the
// file ends first. The head must announce a length a recorder can write.
int64_t FindKeyFrameFrom(const std::string& path, uint64_t from);

// Writes header (256 bytes, unchanged) and the frames from the key frame at or after
// from until the position after a frame is at or beyond to, or a frame
// cannot be read. Without a key frame the destination holds the header
// only. betweenFrames (may be empty) runs after each frame copied. False,
// with nothing left behind, when from >= to, the source cannot be opened or
// the destination cannot be created or written.
bool CutRecFile(const std::string& source, const uint8_t* header, uint32_t from, uint32_t to,
                const std::string& dest, const std::function<void()>& betweenFrames);

}  // namespace vz
