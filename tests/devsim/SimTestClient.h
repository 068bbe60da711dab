#pragma once
// A bare loopback client for talking to the simulator packet by packet:
// blocking socket with generous receive and send time-outs, no retries.
#include <cstdint>
#include <string>
#include <vector>

#include "vz_protocol.h"

namespace devsimtest {

class SimTestClient {
 public:
  static constexpr int kTimeoutMs = 15000;
  SimTestClient() = default;
  ~SimTestClient();
  SimTestClient(const SimTestClient&) = delete;
  SimTestClient& operator=(const SimTestClient&) = delete;

  bool Connect(uint16_t port);
  void Close();
  // Stamps the packet with this client's login id, then sends it.
  bool Send(vz::TCmdPkt pkt);
  bool SendRaw(const void* data, size_t size);
  bool Recv(vz::TCmdPkt& out);
  bool RecvBytes(std::vector<uint8_t>& out, size_t n);
  // Bytes that arrive until the device closes (at most `limit`); true when
  // the connection did close.
  bool ReadUntilClosed(std::vector<uint8_t>& out, size_t limit = 1 << 20);
  // Login exchange; the reply is parsed into `reply` when given.
  bool Login(const std::string& user, const std::string& password, int32_t streamFlag = 0,
             vz::TLoginReply* reply = nullptr);
  // Sends and reads the reply packet.
  bool Exchange(const vz::TCmdPkt& request, vz::TCmdPkt& reply);
  // True when bytes (or the close) arrive within `ms`.
  bool WaitReadable(int ms);
  uint32_t LoginId() const { return loginId_; }
  void SetLoginId(uint32_t id) { loginId_ = id; }

 private:
  int fd_ = -1;
  uint32_t loginId_ = 0;
};

// Connects, retrying until `ms` have passed; for devices that are coming back.
bool ConnectsWithin(uint16_t port, int ms);

}  // namespace devsimtest
