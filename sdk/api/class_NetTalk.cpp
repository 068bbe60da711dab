#include "class_NetTalk.h"

#include <vector>

#include "TalkPacket.h"
#include "WaveFormat.h"
#include "class_AxPlay.h"

namespace vz {

TNetTalk::TNetTalk() {
  wave_in_.SetOnData([this](TWaveIn&, const uint8_t* data, uint32_t count) { Send(data, count); });
}

TNetTalk::~TNetTalk() { SetPlayer(nullptr); }

void TNetTalk::SetPlayer(TAxPlay* player) {
  wave_in_.SetActive(false);
  {
    std::lock_guard<std::mutex> g(player_lock_);
    player_ = player;
  }
  if (player == nullptr) return;
  wave_in_.SetFormat(TalkWaveFormat(player->Cfg().Audio));
  wave_in_.SetActive(true);
}

void TNetTalk::Send(const uint8_t* samples, uint32_t count) {
  TAxPlay* player;
  {
    std::lock_guard<std::mutex> g(player_lock_);
    player = player_;
  }
  if (player == nullptr) return;
  // A block that cannot be sent is lost: talk is live, a late block is
  // worth nothing.
  const TConnectArgs args = player->ConnectArgs();
  std::vector<uint8_t> packet;
  if (!BuildTalkPacket(args.SvrAddr, args.DataPort, samples, count, packet)) return;
  player->SendRaw(packet.data(), static_cast<int32_t>(packet.size()));
}

}  // namespace vz
