#pragma once
// Where the units a live player owns but does not implement are plugged in:
// the decoder with its renderer, the recorders and the tunnel path. Each
// unit registers one factory, once, before players are created (the
// library's start-up code or a test's set-up); a player asks the factories
// at construction and keeps what they return for its life. A missing
// factory, or one that returns null or throws, leaves the player without
// that unit: frames still reach the hooks, operations of the unit answer
// false.
#include <functional>
#include <memory>

#include "FrameSeams.h"

class TAxPlay;

namespace vz {

using TPlayVideoFactory = std::function<std::unique_ptr<IPlayVideo>(TAxPlay& player)>;
using TPlayRecordingFactory = std::function<std::unique_ptr<IPlayRecording>(TAxPlay& player)>;
using TPlayTunnelFactory = std::function<std::unique_ptr<IPlayTunnel>(TAxPlay& player)>;

// Replace the factory (an empty one removes it). Thread-safe.
void RegisterPlayVideo(TPlayVideoFactory factory);
void RegisterPlayRecording(TPlayRecordingFactory factory);
void RegisterPlayTunnel(TPlayTunnelFactory factory);

// For the player: the factory's product, or null (see above).
std::unique_ptr<IPlayVideo> MakePlayVideo(TAxPlay& player);
std::unique_ptr<IPlayRecording> MakePlayRecording(TAxPlay& player);
std::unique_ptr<IPlayTunnel> MakePlayTunnel(TAxPlay& player);

}  // namespace vz
