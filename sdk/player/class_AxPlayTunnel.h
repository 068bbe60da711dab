#pragma once
// TAxPlayTunnel: the tunnel path of one live player (TAxPlay) whose device
// address is a tunnel UID: the player's IPlayTunnel, carried out by a
// TP2PConn over a tunnel-library binding, with the player's own state lent
// to it (IP2PHost).
//
// On connect the player is marked connecting and connected, its user name
// becomes "admin", its configuration copy gets the fixed tunnel
// configuration with the device's name as OSD title, its picture, renderer
// and decoder are set to 640 x 480 H.264 (the decoder reopened under the
// decoder lock) and its tunnel ids mirror the connection's. Frames from the
// tunnel reach the player's frame path (TAxPlay::HandleFrame), which lets
// them through to recorders and decoder as a tunnel source.
//
// RegisterTunnelPath() installs the factory that gives every player one of
// these over the process's binding (TP2PLib::Process()); the SDK does it at
// library start. Tests pass a binding of their own.
#include <memory>
#include <string>

#include "FrameSeams.h"
#include "class_P2PConn.h"

class TAxPlay;

namespace vz {

class TAxPlayTunnel : public IPlayTunnel, private IP2PHost {
 public:
  TAxPlayTunnel(TAxPlay& player, TP2PLib& lib);
  ~TAxPlayTunnel() override;

  bool Connect() override;
  bool Play() override { return conn_.Play(); }
  bool DisConn() override;
  bool PTZControl(int32_t cmd, int32_t channel, int32_t speed, int32_t point, int32_t extra) override;

  const TP2PConn& Conn() const { return conn_; }

 private:
  void TunnelConnecting() override;
  void TunnelUserName(const std::string& user) override;
  void TunnelConfigure(const std::string& osd_title) override;
  void TunnelConnected() override;
  void TunnelFrame(const uint8_t* frame, uint32_t total_bytes) override;
  void MirrorIds();

  TAxPlay& player_;
  TP2PConn conn_;
};

// Every player created from now on gets its tunnel path over `lib` (the
// process's binding when null), which must outlive those players.
void RegisterTunnelPath(TP2PLib* lib = nullptr);

}  // namespace vz
