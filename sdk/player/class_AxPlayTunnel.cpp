#include "class_AxPlayTunnel.h"

#include <ctime>

#include "PlayParts.h"
#include "VzMessageEvent.h"
#include "class_AxPlay.h"
#include "vz_values.h"

namespace vz {

TAxPlayTunnel::TAxPlayTunnel(TAxPlay& player, TP2PLib& lib) : player_(player), conn_(lib, *this) {}

TAxPlayTunnel::~TAxPlayTunnel() = default;

void TAxPlayTunnel::MirrorIds() {
  player_.SetP2PSid(conn_.Sid());
  player_.SetP2PChannel(conn_.Channel());
}

bool TAxPlayTunnel::Connect() {
  player_.SetConnState(true, true, player_.IsPlay());
  const TConnectArgs args = player_.ConnectArgs();
  const bool ok = conn_.Connect(args.DevAddr, args.Password);
  MirrorIds();
  player_.SetConnState(false, ok, ok && player_.IsPlay());
  return ok;
}

bool TAxPlayTunnel::DisConn() {
  const bool ok = conn_.DisConn();
  MirrorIds();
  return ok;
}

bool TAxPlayTunnel::PTZControl(int32_t cmd, int32_t, int32_t, int32_t, int32_t) {
  return conn_.PTZControl(cmd);
}

void TAxPlayTunnel::TunnelConnecting() {
  PostAppMessage(kMsgConnecting, reinterpret_cast<uintptr_t>(&player_), 0);
  player_.ResetWatchdog();
}

void TAxPlayTunnel::TunnelUserName(const std::string& user) {
  TConnectArgs args = player_.ConnectArgs();
  args.UserName = user;
  player_.SetConnectArgs(args);
}

void TAxPlayTunnel::TunnelConfigure(const std::string& osd_title) {
  TDevCfg cfg = player_.Cfg();
  TP2PConn::ApplyTunnelConfig(cfg, osd_title);
  player_.SetCfg(cfg);
  player_.SetTunnelDevType(cfg.DevInfo.DevType);
  player_.SetPictureSize(TP2PConn::kWidth, TP2PConn::kHeight);
  MirrorIds();
  if (IPlayVideo* video = player_.Video()) {
    video->SetRenderSize(TP2PConn::kWidth, TP2PConn::kHeight);
    // Closes and reopens under the decoder lock, which it takes itself.
    video->OpenVideo(H264);
  }
}

void TAxPlayTunnel::TunnelConnected() {
  PostAppMessage(kMsgConnected, reinterpret_cast<uintptr_t>(&player_), 0);
}

void TAxPlayTunnel::TunnelFrame(const uint8_t* frame, uint32_t total_bytes) {
  player_.SetLastRecvTime(static_cast<int64_t>(std::time(nullptr)));
  if (IPlayVideo* video = player_.Video()) video->SetTunnelChannel(player_.P2PChannel());
  player_.HandleFrame(frame, total_bytes);
}

void RegisterTunnelPath(TP2PLib* lib) {
  RegisterPlayTunnel([lib](TAxPlay& player) -> std::unique_ptr<IPlayTunnel> {
    return std::make_unique<TAxPlayTunnel>(player, lib ? *lib : TP2PLib::Process());
  });
}

namespace {
// The shared library's start: players made through the API get the tunnel path.
[[maybe_unused]] const bool kTunnelPathRegistered = (RegisterTunnelPath(), true);
}  // namespace

}  // namespace vz
