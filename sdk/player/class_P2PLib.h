#pragma once
// TP2PLib: the binding of the two tunnel libraries (P2PApi.h) by dlopen.
//
// Binding: load the tunnel library; when it loaded, look up its entry
// points by name, in the order of TP2PEntries; then load the channel
// library (only then) and look up its entry points. An entry point that is
// not found stays null. Usable() is true only when both libraries loaded
// and every entry point the tunnel path calls is there; otherwise the
// tunnel path answers false without calling anything and nothing else of
// the SDK notices.
//
// Service start: the first tunnel connect of a binding calls, under the
// P2P lock, avInitialize(10) and IOTC_Initialize(0, the four master
// servers), and marks the service started even when one of them failed.
// The binding's end calls IOTC_DeInitialize when the service was started,
// then releases both libraries.
//
// The master servers are the four comma-separated entries of
// $VZ_P2P_MASTERS (two IPv4 addresses, then two host names) when set, else
// loopback placeholders: a deployment with a tunnel service sets them.
//
// Threads: construction and destruction belong to one thread; Api(), the
// lock and StartService may be used from any thread.
#include <atomic>
#include <string>

#include "P2PApi.h"
#include "SyncLock.h"

namespace vz {

struct TP2PEntries {
  p2p::TIOTC_Get_Version IOTC_Get_Version = nullptr;
  p2p::TIOTC_Get_Login_Info IOTC_Get_Login_Info = nullptr;
  p2p::TIOTC_Initialize IOTC_Initialize = nullptr;
  p2p::TIOTC_DeInitialize IOTC_DeInitialize = nullptr;
  p2p::TIOTC_Device_Login IOTC_Device_Login = nullptr;
  p2p::TIOTC_Connect_ByUID IOTC_Connect_ByUID = nullptr;
  p2p::TIOTC_Connect_Stop IOTC_Connect_Stop = nullptr;
  p2p::TIOTC_Session_Close IOTC_Session_Close = nullptr;
  p2p::TavGetAVApiVer avGetAVApiVer = nullptr;
  p2p::TavInitialize avInitialize = nullptr;
  p2p::TavSendIOCtrl avSendIOCtrl = nullptr;
  p2p::TavRecvIOCtrl avRecvIOCtrl = nullptr;
  p2p::TavSendIOCtrlExit avSendIOCtrlExit = nullptr;
  p2p::TavClientStart avClientStart = nullptr;
  p2p::TavClientStop avClientStop = nullptr;
  p2p::TavRecvFrameData2 avRecvFrameData2 = nullptr;
  p2p::TavRecvFrameData avRecvFrameData = nullptr;
  p2p::TavRecvAudioData avRecvAudioData = nullptr;
};

class TP2PLib {
 public:
  static constexpr const char* kTunnelLibrary = "libIOTCAPIs.so";
  static constexpr const char* kChannelLibrary = "libAVApis.so";
  static constexpr int kMaxChannels = 10;

  // Binds the two libraries: names are searched as dlopen does, paths with
  // a "/" are taken as they are.
  TP2PLib(const std::string& tunnel_library = kTunnelLibrary,
          const std::string& channel_library = kChannelLibrary);
  ~TP2PLib();
  TP2PLib(const TP2PLib&) = delete;
  TP2PLib& operator=(const TP2PLib&) = delete;

  // The process's binding of the two libraries by name, made at first use
  // and ended at process exit.
  static TP2PLib& Process();

  bool TunnelLoaded() const { return tunnel_ != nullptr; }
  bool ChannelLoaded() const { return channel_ != nullptr; }
  bool Usable() const;
  // Why the binding is not usable ("" when it is).
  const std::string& Error() const { return error_; }
  const TP2PEntries& Api() const { return api_; }

  // Process-wide in spirit: held around the service start and every
  // IOTC_Connect_ByUID of this binding.
  TSyncLock& Lock() { return lock_; }
  // Starts the service once (see above); call with Lock() held.
  void StartServiceLocked();
  bool ServiceStarted() const { return started_.load(); }

 private:
  void* tunnel_ = nullptr;
  void* channel_ = nullptr;
  TP2PEntries api_;
  std::string error_;
  TSyncLock lock_;
  std::atomic<bool> started_{false};
};

}  // namespace vz
