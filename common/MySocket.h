#pragma once
// TMyCSkt: the TCP client under every device connection. One socket, a host
// name resolved to a dotted address, a connect with a time-out and exact-size
// transfers with time-outs.
//
// The same class serves the SDK and the client program; which behaviour an
// object has is chosen at construction by its flavour:
//
//   behaviour            Sdk                               Client
//   ------------------   -------------------------------   ------------------------------
//   SocketStyles         {ssClose}                         {ssRead, ssClose}
//   blocking open        SO_REUSEADDR, 5 s linger          TCP_NODELAY on request,
//                                                          OnConnect raised
//   open while active    closes and opens again            no-op
//   peer closed          closes without an event           OnDisConnect, then closes
//   receive thread,      absent (false / no-op)            present
//   WaitReadable
//
// Linux mapping of the asynchronous socket notifications: there is no hidden
// window. A connect waits with poll() in 10 ms slices so the abort flag set
// by StopRecvThread ends it; OnConnect is raised on the connecting thread.
// OnRead and OnDisConnect are raised by the receive thread (client flavour),
// the only place that watches an idle socket. Every transfer is bounded by
// poll() with the remaining time, whatever the socket's blocking mode.
//
// A connect that completes with an error (refused, unreachable) is not
// reported early: the wait runs into ConnTimeOut, as callers of FastPing
// expect a reachability answer "within about the time-out" either way.
//
// Closing after a transfer error or a peer close shuts the connection down
// and clears Active at once; the descriptor itself is released by Close(),
// the next Open or the destructor, so another thread never sees a number
// that was reused for a different file.
//
// Threads: one owning thread calls every method; the receive thread only
// reads and raises OnRecvDataNotify / OnRead / OnDisConnect on itself.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

enum class TSktFlavour { Sdk, Client };
enum class TPktHeadLen { head8, head16 };
enum class TClientType { ctBlocking, ctNonBlocking };

// Element n is the notification bit 1 << n (read 1, write 2, OOB 4, accept 8,
// connect 16, close 32).
enum TSocketStyle : uint32_t {
  ssRead = 1u << 0,
  ssWrite = 1u << 1,
  ssOOB = 1u << 2,
  ssAccept = 1u << 3,
  ssConnect = 1u << 4,
  ssClose = 1u << 5,
};
using TSocketStyles = uint32_t;

class TMyCSkt {
 public:
  // Largest unit body the receive thread accepts; longer units are skipped.
  static constexpr uint32_t kMaxUnitLen = 524288;
  // Largest piece handed to one send().
  static constexpr int kSendPiece = 536;

  using TNotifyEvent = std::function<void(TMyCSkt& sender)>;
  using TRecvDataEvent = std::function<void(TMyCSkt& sender, const uint8_t* buf, int len)>;
  using TErrorEvent = std::function<void(TMyCSkt& sender, int errorCode)>;

  explicit TMyCSkt(TSktFlavour flavour);
  virtual ~TMyCSkt();
  TMyCSkt(const TMyCSkt&) = delete;
  TMyCSkt& operator=(const TMyCSkt&) = delete;

  TSktFlavour Flavour() const { return flavour_; }

  // Properties.
  TPktHeadLen PktHeadLen() const { return pktHeadLen_; }
  void SetPktHeadLen(TPktHeadLen v) { pktHeadLen_ = v; }
  const std::string& Address() const { return address_; }
  const std::string& Host() const { return host_; }
  // Resolves only when the value differs from the current one; a name that
  // does not resolve leaves Address empty.
  void SetHost(const std::string& host);
  int Port() const { return port_; }
  void SetPort(int port) { port_ = port; }
  bool Active() const { return active_.load(); }
  void SetActive(bool active);
  TSocketStyles SocketStyles() const { return socketStyles_; }
  void SetSocketStyles(TSocketStyles s) { socketStyles_ = s; }
  uint32_t ConnTimeOut() const { return connTimeOutMs_; }
  void SetConnTimeOut(uint32_t ms) { connTimeOutMs_ = ms; }
  TClientType ClientType() const { return clientType_; }
  void SetClientType(TClientType t) { clientType_ = t; }
  bool SendNoDelay() const { return sendNoDelay_; }
  void SetSendNoDelay(bool v) { sendNoDelay_ = v; }
  int SendBufSize() const { return sendBufSize_; }
  void SetSendBufSize(int v) { sendBufSize_ = v; }
  int RecvBufSize() const { return recvBufSize_; }
  void SetRecvBufSize(int v) { recvBufSize_ = v; }

  // Events; assign before Open / StartRecvThread.
  TRecvDataEvent OnRecvDataNotify;
  TNotifyEvent OnConnect;
  TNotifyEvent OnDisConnect;
  TNotifyEvent OnRead;
  TErrorEvent OnError;  // declared for compatibility, never raised

  void Open() { SetActive(true); }
  void Close();
  // Takes over an already connected stream descriptor (an accepted socket,
  // one end of a socket pair) as if Open had connected it. False, with fd
  // left to the caller, when fd is negative.
  bool Attach(int fd);

  // True only when all len bytes were sent within timeoutMs.
  bool SendExact(const void* buf, int len, uint32_t timeoutMs);
  // True only when exactly len bytes arrived within timeoutMs. Len 0
  // succeeds without touching the socket. A peer close or a socket error
  // closes the connection; a time-out leaves it open.
  bool RecvExact(void* buf, int len, uint32_t timeoutMs);

  // Client flavour: poll for readability. False in the SDK flavour.
  bool WaitReadable(uint32_t timeoutMs);

  // Read-ahead, for a connection that carries a stream of units: a
  // RecvExact then keeps whatever one recv() brings, up to `bytes`, and
  // serves the next calls from it, so a burst of small units costs one
  // system call instead of two each. Readiness must then be asked of
  // Readable(), never of the descriptor. 0 (the default) reads exactly what
  // is asked. Set before the receive thread starts; whoever calls RecvExact
  // must also keep calls to Readable, Open and Close apart from it.
  void SetReadAhead(int bytes);
  // Whether a RecvExact would find data now or within timeoutMs (0: now):
  // bytes read ahead, or the descriptor readable (a peer close counts, so
  // the next RecvExact learns of it).
  bool Readable(int timeoutMs);
  // Whether at least `bytes` have arrived and wait to be taken, read ahead
  // or still in the socket.
  bool HasWaiting(int bytes);
  // Replaces the unit markers the receive thread accepts.
  void SetPktHeads(const std::vector<uint32_t>& markers);
  // Client flavour, socket active: starts the named receive thread.
  bool StartRecvThread();
  // Ends the receive thread (and any pending connect wait); joins it.
  void StopRecvThread();
  bool RecvThreadRunning() const { return recvThread_.joinable(); }

  // The descriptor, -1 when closed (tests and diagnostics).
  int Handle() const { return fd_.load(); }

 protected:
  // Shuts the connection down after an error or a peer close (see above).
  void Disconnect();

 private:
  void OpenNonBlocking();
  void OpenBlocking();
  void ReleaseSocket();
  bool RecvExactUntil(uint8_t* buf, int len, uint32_t timeoutMs, const std::atomic<bool>* cancel);
  // Moves up to `len` read-ahead bytes into buf; how many it moved.
  int TakeAhead(uint8_t* buf, int len);
  void RecvLoop();

  const TSktFlavour flavour_;
  // Owner thread only.
  TPktHeadLen pktHeadLen_ = TPktHeadLen::head8;
  std::string host_;
  std::string address_;
  int port_ = 0;
  TSocketStyles socketStyles_;
  uint32_t connTimeOutMs_ = 5000;
  TClientType clientType_ = TClientType::ctNonBlocking;
  bool sendNoDelay_ = false;
  int sendBufSize_ = 8192;
  int recvBufSize_ = 8192;
  // Written by the owner only while no receive thread runs; read by both.
  std::vector<uint32_t> markers_;
  std::atomic<int> fd_{-1};
  // Set by the owner on open/close and by either thread on Disconnect.
  std::atomic<bool> active_{false};
  // Ends the receive loop and a pending connect wait.
  std::atomic<bool> abort_{false};
  std::thread recvThread_;  // owner thread only
  // Read-ahead: bytes [aheadBegin_, aheadEnd_) of ahead_ are received and
  // not yet taken. Kept apart by the callers of RecvExact (see above).
  std::vector<uint8_t> ahead_;
  size_t aheadBegin_ = 0;
  size_t aheadEnd_ = 0;
};

// Reachability test of one TCP port: opens a non-blocking connection with
// the given time-out and closes it again. True when it connected.
bool SktFastPing(const char* host, int port, uint32_t timeoutMs);
