#pragma once
// TNetTalk: two-way talk, the PC's microphone to one player's device. The
// recorded blocks go out as talk packets on the player's stream connection.
//
// Threads: SetPlayer and the destructor run on the application's thread;
// the microphone's blocks arrive on the capture thread. Changing the player
// stops the capture first (which waits for a block in flight), so a player
// that was replaced or unset receives nothing more once SetPlayer returns
// and may then be freed.
#include <mutex>

#include "class_WaveIn.h"

class TAxPlay;

namespace vz {

class TNetTalk {
 public:
  TNetTalk();
  ~TNetTalk();
  TNetTalk(const TNetTalk&) = delete;
  TNetTalk& operator=(const TNetTalk&) = delete;

  // A player: capture restarts in that player's audio format, sending to
  // it. Null: capture stops.
  void SetPlayer(TAxPlay* player);

 private:
  void Send(const uint8_t* samples, uint32_t count);

  TWaveIn wave_in_;
  std::mutex player_lock_;
  TAxPlay* player_ = nullptr;  // guarded by player_lock_
};

}  // namespace vz
