#pragma once
// The device's side of one connection: the login, then one command packet
// (or firmware chunk) after another until the peer closes, the device
// reboots or stops, or a fault ends the connection. Every length the peer
// sends is checked before anything is read into memory.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "SimDevice.h"
#include "SimLayout.h"
#include "SimLink.h"
#include "SimStreamer.h"

namespace vzsim {

class SimSession {
 public:
  // The first packet must arrive within this time.
  static constexpr int kLoginWaitMs = 30000;
  // The device takes no firmware image larger than this.
  static constexpr uint32_t kMaxImage = 64u << 20;

  SimSession(SimDevice& device, SimLink& link, uint64_t connection);
  ~SimSession();
  void Run();

 private:
  using Packet = std::array<uint8_t, layout::kPktSize>;

  // One step of the loop; false ends the connection.
  bool Step();
  bool HandlePacket(Packet& in);
  bool HandleChunk(uint32_t length);
  bool HandleTalk(uint32_t length);
  void StartStream(const Packet& in);
  bool Login(const Packet& in);
  bool Command(Packet& in, const FaultSpec& fault);
  // Sends `reply` after applying the fault; false when the connection ends.
  bool Answer(Packet& reply, uint32_t cmd, const FaultSpec& fault);
  bool SendAll(const FaultSpec& fault);
  void Refuse(Packet& reply);
  bool Records(Packet& in, Packet& reply, const FaultSpec& fault, bool* handled);
  void Colors(const Packet& in);
  void Ptz(const Packet& in);
  bool UploadBegin(const Packet& in, Packet& reply);
  void UploadEnd();
  void Survey(Packet& reply);

  SimDevice& device_;
  SimLink& link_;
  const uint64_t connection_;
  uint32_t loginId_ = 0;
  int level_ = 0;
  bool stream_ = false;

  bool uploading_ = false;
  uint32_t uploadSize_ = 0;
  uint32_t uploadCrc_ = 0;
  uint64_t uploadReceived_ = 0;
  std::vector<uint8_t> upload_;

  // Sends media after a start-stream request; destroyed first, before the
  // link it writes to goes away.
  std::unique_ptr<SimStreamer> streamer_;
};

}  // namespace vzsim
