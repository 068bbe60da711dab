#pragma once
// Whole-file check of a record file: the header, every frame head, the
// back-link chain and the first-frame rule. The reader is given as a
// function so the same walk serves files on disk, bytes in memory and the
// fuzz target; it reads only frame heads, never payloads.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "RecFileFormat.h"

namespace vz {

// Reads up to n bytes at offset into dst; returns how many it read.
using TRecReadAt = std::function<std::size_t(uint64_t offset, uint8_t* dst, std::size_t n)>;

enum class TRecFirstFrame : uint8_t {
  KeyOnly,  // the first frame must be a video key frame
  AlarmLeadAllowed,  // alarm files: frames in front of the first key frame may link to 256
};

struct TRecCheckReport {
  bool HeaderRead = false;
  TRecFileHeader Header{};
  uint64_t FileSize = 0;
  uint64_t DataEnd = 0;  // RecDataEnd
  bool Unfinished = false;  // header length still 0: cut short while recording
  uint64_t Frames = 0;
  uint64_t VideoFrames = 0;
  uint64_t KeyFrames = 0;
  uint64_t AudioFrames = 0;
  uint64_t LeadFrames = 0;  // frames in front of the first key frame
  uint64_t LastFrameEnd = kRecFirstFrameOffset;  // end of the last whole frame
  uint64_t TailBytes = 0;  // bytes after it up to DataEnd (an incomplete frame)
  uint64_t FirstTimeStamp = 0;  // microseconds, of the first frame
  uint64_t LastTimeStamp = 0;
  uint64_t ChainKeys = 0;  // key frames reached walking back from the last frame
  uint64_t ErrorCount = 0;
  std::vector<std::string> Errors;  // the first kMaxErrorTexts of them
  static constexpr std::size_t kMaxErrorTexts = 16;
  bool Ok() const { return ErrorCount == 0; }
};

TRecCheckReport CheckRecFile(const TRecReadAt& read, uint64_t file_size, TRecFirstFrame rule);
// Opens path read-only; a file that cannot be opened is one error.
TRecCheckReport CheckRecFilePath(const std::string& path, TRecFirstFrame rule);

// Follows back-links from the frame at offset until a frame that links to
// itself. Returns the number of video key frames met on the way (the start
// frame counts when it is one), or -1 when a link leads to something that
// is not a frame head. Ends after at most one step per link, since every
// valid link descends.
int64_t WalkBackLinks(const TRecReadAt& read, uint64_t data_end, uint64_t offset);

}  // namespace vz
