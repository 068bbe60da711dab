#pragma once
// TRecFileReader: reads a record file frame by frame through its own handle,
// as the file player and the export cut do.
//
// The file is untrusted and may still be growing or have been cut short by a
// crash (its header length then still reads 0): every frame head goes
// through ParseRecFrameHead against RecDataEnd of the header and the real
// size at that moment, so a frame that does not end inside the data, or
// whose back-link does not lead back, counts as the end of the readable
// file, and the last complete frame is the last one read.
//
// One thread uses a reader at a time (the owner's).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "AVFrameHead.h"
#include "RecFileFormat.h"

namespace vz {

class TRecFileReader {
 public:
  static constexpr uint32_t kHeaderBytes = kRecHeaderSize;

  TRecFileReader() = default;
  ~TRecFileReader();
  TRecFileReader(const TRecFileReader&) = delete;
  TRecFileReader& operator=(const TRecFileReader&) = delete;

  // Opens for shared reading and reads the header; false when the file
  // cannot be opened or is shorter than the header.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  const TRecFileHeader& Header() const { return header_; }
  // The file's size now (it may grow while it is being recorded).
  uint64_t Size() const;
  // Where the frames end now (RecDataEnd).
  uint64_t DataEnd() const { return RecDataEnd(header_, Size()); }

  // Moves the read position; false (position unchanged) beyond the end.
  bool Seek(uint64_t offset);
  uint64_t Position() const { return pos_; }

  // Reads the frame at the position into buf (head and payload) and moves
  // past it. False, with the position unchanged, at the end of the data, at
  // a frame cut short, at a bad head or back-link, or at a frame larger
  // than capacity.
  bool ReadFrame(uint8_t* buf, std::size_t capacity, TRecFrame& head, TFrameView& frame);
  // Reads and checks just the head of the frame at the position, without
  // moving; false where ReadFrame would fail on the head.
  bool PeekHead(TRecFrame& head);
  // Moves past the frame PeekHead described, without reading its payload.
  void Skip(const TRecFrame& head) { pos_ = head.End(); }
  // Up to n bytes at offset, without moving; how many were read.
  std::size_t ReadSome(uint64_t offset, uint8_t* buf, std::size_t n);

  // Read calls made so far; any thread may ask (the benchmark counts them).
  uint64_t ReadCalls() const { return reads_.load(std::memory_order_relaxed); }

 private:
  bool ReadAt(uint64_t offset, uint8_t* buf, std::size_t bytes);

  int fd_ = -1;
  TRecFileHeader header_{};
  uint64_t pos_ = 0;
  std::atomic<uint64_t> reads_{0};
};

}  // namespace vz
