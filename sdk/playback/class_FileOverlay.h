#pragma once
// TFileOverlay: the four overlay texts of a playing record file. Items 0-2
// (time, title, statistics) follow the OSD settings the recorder copied into
// the file header, as the live picture shows them; item 3 is the fast-mode
// speed "X %d".
//
// Owned and used by the playback thread only.
#include <cstdint>
#include <string>

#include "FilePlaySeams.h"
#include "RecFileFormat.h"
#include "vz_records.h"

namespace vz {

class TFileOverlay {
 public:
  // Takes the video settings out of a record file header.
  explicit TFileOverlay(const TRecFileHeader& header);

  // Refreshes the items for a frame of this second (seconds since 1970 of
  // the recording's local clock).
  void Refresh(uint64_t second, const std::string& statusLine, int32_t speed, int32_t pictureHeight);
  const TFileTexts& Texts() const { return texts_; }

 private:
  void FromOsd(const TOsdItem& osd, TFileText& text);

  TVideoCfg video_{};
  TFileTexts texts_;
};

// "yyyy-mm-dd hh:nn:ss" of seconds since 1970 on the recording's own clock.
std::string FormatFrameSecond(uint64_t second);

}  // namespace vz
