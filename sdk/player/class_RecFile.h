#pragma once
// TRecFile: one open record file and the write position of its frames:
// the file itself, where the next frame goes, and the offset of the latest
// video key frame written (the back-link of the next frame). No lock of its
// own: the recorder that owns it serialises every call.
#include <cstdint>
#include <string>

#include "AVFrameHead.h"
#include "RecFileFormat.h"

namespace vz {

class TRecFile {
 public:
  TRecFile() = default;
  ~TRecFile();
  TRecFile(const TRecFile&) = delete;
  TRecFile& operator=(const TRecFile&) = delete;

  // Creates (or replaces) the file for reading and writing, with other
  // writers excluded by an exclusive lock; false when it cannot be created
  // or another recorder holds it.
  bool Create(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }

  // Writes the header at offset 0; the frame position is at least 256
  // afterwards.
  bool WriteHeader(const TRecFileHeader& header);
  // Someone else appended frames through Fd() (the pre-alarm cache): take
  // the end of the file as the next frame's position, and last_key as the
  // latest key frame when anything was appended.
  void AdoptAppended(int64_t last_key);

  // Appends a whole frame with its StreamType replaced by the back-link.
  // The first video key frame of the file links to itself. A write that
  // fails is cut off again, so the file keeps ending on a whole frame; the
  // frame is then lost (false).
  bool WriteFrame(const TFrameView& frame);

  uint64_t Position() const { return pos_; }
  uint64_t LastKey() const { return last_key_; }
  bool KeyWritten() const { return key_written_; }

  // Fills in the header's length (the file's size) and writes it again,
  // then closes. Returns the size (0 when nothing was open).
  uint64_t Close(TRecFileHeader& header);
  // Deletes the file last closed (a file that never got a frame).
  void RemoveClosed();

 private:
  int fd_ = -1;
  std::string path_;
  uint64_t pos_ = 0;
  uint64_t last_key_ = kRecFirstFrameOffset;
  bool key_written_ = false;
};

}  // namespace vz
