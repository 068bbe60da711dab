#pragma once
// A small IPv4 UDP socket component with an optional multicast group.
//
// Setting Active opens the socket: SO_REUSEADDR, bind LocalIP:Port, join
// MultiCastIP on the interface LocalIP with the given TTL and loop-back, then
// a receive thread of the component's own waits for datagrams. Failures on
// the way are reported through OnError with the errno value; a failed
// create or bind leaves the component inactive, the other steps go on.
//
// Threads: the receive events run on the component's receive thread, one at
// a time, under the component's receive lock; the buffer they get is the
// component's own 8192-byte buffer and is valid only during the event.
// Properties, events and the send functions may be used from any thread.
// Changing an event waits for an event in progress to finish, so after
// SetOnRecvData(nullptr) returns the old handler is no longer running.
// An event must not change Active or destroy its own component (that would
// wait for the very thread it runs on); it may send.
// Property changes take effect on the next activation.
#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vz {

class TMyUDP;

using TOnErrorEvent = std::function<void(TMyUDP* sender, int errorCode)>;
// len: the datagram's size, or -1 when the read failed (or the datagram did
// not fit the buffer); fromPort in host order.
using TOnRecvDataEvent =
    std::function<void(TMyUDP* sender, const char* buf, int len, const std::string& fromIP, int fromPort)>;
using TOnRecvDataEventEx = std::function<void(TMyUDP* sender, const char* buf, int len, const sockaddr_in& addr)>;

class TMyUDP {
 public:
  static constexpr int kRecvBufSize = 8192;
  static constexpr int kDefaultSendTimeoutMs = 5000;

  TMyUDP();
  ~TMyUDP();  // deactivates first
  TMyUDP(const TMyUDP&) = delete;
  TMyUDP& operator=(const TMyUDP&) = delete;

  bool Active() const;
  void SetActive(bool active);

  std::string MultiCastIP() const;  // "239.255.255.250"; empty: no group
  void SetMultiCastIP(const std::string& ip);
  std::string LocalIP() const;  // "0.0.0.0"
  void SetLocalIP(const std::string& ip);
  int Port() const;  // 65535
  void SetPort(int port);
  bool Loop() const;  // false
  void SetLoop(bool loop);
  int TTL() const;  // 32
  void SetTTL(int ttl);

  void SetOnError(TOnErrorEvent handler);
  void SetOnRecvData(TOnRecvDataEvent handler);
  void SetOnRecvDataEx(TOnRecvDataEventEx handler);

  // Sends len bytes to addr, retrying a full send buffer every millisecond
  // for up to timeoutMs. The byte count, or -1 (closed, error, time-out).
  int SendBuf(const void* buf, int len, int timeoutMs, const sockaddr_in& addr);
  // To the dotted address ip (-1 when it is no address) with a 5000 ms time-out.
  int SendTo(const void* buf, int len, int port, const std::string& ip);
  // Switches SO_BROADCAST on (a failure goes to OnError, the send is still
  // tried) and sends to 255.255.255.255.
  int SendBroadcast(const void* buf, int len, int port);

 private:
  void Open();
  void Close();
  void ReportError(int code);
  void ReceiveLoop();
  void HandleReadable();
  void LeaveGroup();

  mutable std::mutex propLock_;  // guards the properties below and onError_
  std::string multiCastIP_ = "239.255.255.250";
  std::string localIP_ = "0.0.0.0";
  int port_ = 65535;
  bool loop_ = false;
  int ttl_ = 32;
  TOnErrorEvent onError_;

  // Serialises activation and deactivation; taken before sockLock_.
  std::mutex activeLock_;
  mutable std::mutex sockLock_;  // guards fd_ and wakeFd_
  int fd_ = -1;
  int wakeFd_ = -1;  // eventfd that ends the receive thread
  std::atomic<bool> active_{false};
  std::thread receiver_;  // only touched under activeLock_

  std::mutex recvLock_;  // guards the events below and buf_
  TOnRecvDataEvent onRecvData_;
  TOnRecvDataEventEx onRecvDataEx_;
  char buf_[kRecvBufSize];
};

}  // namespace vz
