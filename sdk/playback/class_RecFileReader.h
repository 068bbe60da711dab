#pragma once
// TRecFileReader: reads a record file frame by frame through its own handle,
// as the file player, the export cut and the benchmarks do.
//
// The file is untrusted and may still be growing or have been cut short by a
// crash (its header length then still reads 0): the reader never takes a
// length from the header; every read is bounded by the bytes really there,
// and a frame that does not end inside the file counts as the end of the
// file. Only bytes that ParseFrameHead accepts as one whole frame are handed
// out, so the last complete frame is the last one read.
//
// One thread uses a reader at a time (the owner's).
#include <cstddef>
#include <cstdint>
#include <string>

#include "AVFrameHead.h"

namespace vz {

class TRecFileReader {
 public:
  static constexpr uint32_t kHeaderBytes = 256;

  TRecFileReader() = default;
  ~TRecFileReader();
  TRecFileReader(const TRecFileReader&) = delete;
  TRecFileReader& operator=(const TRecFileReader&) = delete;

  // Opens for shared reading at offset 0; false when it cannot be opened.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The file's size now (it may grow while it is being recorded).
  uint64_t Size() const;
  // The 256 bytes at offset 0; false when the file is shorter.
  bool ReadHeader(uint8_t* header);

  // Moves the read position; false (position unchanged) beyond the end.
  bool Seek(uint64_t offset);
  uint64_t Position() const { return pos_; }

  // Reads the frame at the position into buf (head and payload) and moves
  // past it. False, with the position unchanged, at the end of the file, at
  // a frame cut short, at bytes that are no frame head, or at a frame larger
  // than capacity.
  bool ReadFrame(uint8_t* buf, std::size_t capacity, TFrameView& frame);
  // Up to n bytes at offset, without moving; how many were read.
  std::size_t ReadSome(uint64_t offset, uint8_t* buf, std::size_t n);

  // Read calls made so far (the benchmark counts them).
  uint64_t ReadCalls() const { return reads_; }

 private:
  bool ReadAt(uint64_t offset, uint8_t* buf, std::size_t bytes);

  int fd_ = -1;
  uint64_t pos_ = 0;
  uint64_t reads_ = 0;
};

// The offset the frame at offset links back to, when the link is sound: it
// leads back to a frame, or to the frame itself only for the first key
// frame of a file or the first frame of the file. Following sound links therefore always ends.
bool SoundBackLink(const TFrameView& frame, uint64_t offset, uint64_t& link);

}  // namespace vz
