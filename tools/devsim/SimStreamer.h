#pragma once
// The media a stream connection pushes after a start-stream request, on a
// thread of its own beside the connection's reading thread:
//   - video frames of every channel in the main-stream mask (stream type 0)
//     and, when the device has a sub stream, of every channel in the
//     sub-stream mask (stream type 1), paced at the channel's frame rate and
//     taken from the shared encoded loops (SimEncodeCache);
//   - audio frames of every channel in the audio mask whose audio is on,
//     a tone in the channel's PCM format (SimAudio);
//   - a status unit per channel every second (sample: video frames sent on
//     the channel's main stream in that second);
//   - alarm packets as the device's alarm events come (SimAlarms);
//   - whatever the device's media fault asks for.
// Every frame carries the device clock at the moment it is sent.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "SimAudio.h"
#include "SimEncoder.h"

namespace vzsim {

class SimDevice;
class SimLink;
struct FaultSpec;

struct SimStreamMasks {
  uint32_t main = 0, audio = 0, sub = 0;
};

class SimStreamer {
 public:
  SimStreamer(SimDevice& device, SimLink& link, uint32_t loginId, uint64_t connection);
  ~SimStreamer();  // stops
  SimStreamer(const SimStreamer&) = delete;
  SimStreamer& operator=(const SimStreamer&) = delete;

  // Starts (or restarts with new masks) sending.
  void Start(const SimStreamMasks& masks);
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;

  struct Video {
    int channel = 0;
    uint32_t streamType = 0;
    std::shared_ptr<const SimLoop> loop;
    std::shared_ptr<const SimLoop> jpeg;  // same picture as JPEG, made when first needed
    std::shared_future<std::shared_ptr<const SimLoop>> jpegPending;
    bool jpegNow = false;
    size_t next = 0;
    Clock::duration period{};
    Clock::time_point due{};
  };
  struct Audio {
    int channel = 0;
    std::unique_ptr<SimAudio> tone;
    Clock::duration period{};
    Clock::time_point due{};
  };

  void Run(SimStreamMasks masks);
  void Prepare(const SimStreamMasks& masks);
  // Each send returns false when the connection can take no more.
  bool SendUnit(uint32_t marker, const uint8_t* frameHeadTail, const uint8_t* payload, size_t length);
  bool SendVideo(Video& v, const FaultSpec& fault);
  bool SendAudio(Audio& a);
  bool SendStatus();
  bool SendAlarms();
  bool SendGarbage(int bytes);
  bool SendOverLong();
  int64_t StampUs() const;  // the device clock, less any clock-back fault

  SimDevice& device_;
  SimLink& link_;
  const uint32_t loginId_;
  const uint64_t connection_;
  std::thread thread_;
  std::atomic<bool> stop_{false};

  // Owned by the sending thread while it runs.
  int channels_ = 1;
  std::vector<Video> videos_;
  std::vector<Audio> audios_;
  std::vector<int> sentThisSecond_;  // main-stream frames per channel
  uint64_t alarmSeen_ = 0;
  std::vector<uint8_t> unit_;
  uint32_t noise_ = 0x12345678u;
  int64_t clockBackUs_ = 0;  // of the fault switched on now
};

}  // namespace vzsim
