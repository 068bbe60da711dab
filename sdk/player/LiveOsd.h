#pragma once
// The live player's on-screen display, refreshed for every displayed frame
// before the picture is drawn.
//
// Text items from the channel's video configuration: 0 the frame's time
// ("yyyy-mm-dd hh:nn:ss" of the device clock), 1 the channel title, 2 the
// frame-rate and bit-rate line. Each takes position, size, colour (palette
// index) and visibility from its OSD record item while that item's refresh
// flag is 0; otherwise it keeps what it had.
// Indicators, shown only while the player's OSD state is on: 0 the
// recording dot (red, 80 pixels from the right edge), 1 the alarm bell
// (yellow, 120 from the right), each shown in the second half of every
// second of the frame clock, so they blink once a second.
#include <cstdint>
#include <string>

#include "vz_records.h"

namespace vz {

class TRender;

struct TLiveOsdFrame {
  int64_t Second = 0;      // the frame's second (device clock)
  uint64_t TimeStamp = 0;  // the frame's time stamp, microseconds
  std::string StatusLine;  // "%2d fps ,  %3d Kbps"
  bool ShowOSD = true;     // the player's OSD state
  bool NormalRecording = false;
  bool AlarmOn = false;    // see AlarmIndicatorOn
};

// The alarm indicator is on while the frame is less than 10 seconds past
// the last alarm-on message (a frame older than the alarm counts too).
inline bool AlarmIndicatorOn(int64_t frame_second, int64_t alarm_time) {
  return frame_second - alarm_time < 10;
}

void UpdateLiveOsd(TRender& render, const TVideoCfg& video, const TLiveOsdFrame& frame);

}  // namespace vz
