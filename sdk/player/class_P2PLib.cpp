#include "class_P2PLib.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "LogWriter.h"

namespace vz {
namespace {

template <typename T>
void Bind(void* module, const char* name, T& entry, std::string& missing) {
  entry = reinterpret_cast<T>(::dlsym(module, name));
  if (!entry) missing += std::string(missing.empty() ? "" : ", ") + name;
}

std::string DlError() {
  const char* e = ::dlerror();
  return e ? e : "unknown error";
}

std::vector<std::string> MasterServers() {
  std::vector<std::string> out = {"127.0.0.1", "127.0.0.1", "localhost", "localhost"};
  const char* env = std::getenv("VZ_P2P_MASTERS");
  if (!env || !*env) return out;
  std::vector<std::string> given;
  std::string_view rest(env);
  while (true) {
    const size_t comma = rest.find(',');
    given.emplace_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (given.size() == 4) return given;
  WriteLog("P2P VZ_P2P_MASTERS needs four entries; the defaults are used");
  return out;
}

}  // namespace

TP2PLib::TP2PLib(const std::string& tunnel_library, const std::string& channel_library) {
  tunnel_ = ::dlopen(tunnel_library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!tunnel_) {
    error_ = DlError();
    return;
  }
  std::string missing;
  Bind(tunnel_, "IOTC_Get_Version", api_.IOTC_Get_Version, missing);
  Bind(tunnel_, "IOTC_Get_Login_Info", api_.IOTC_Get_Login_Info, missing);
  Bind(tunnel_, "IOTC_Initialize", api_.IOTC_Initialize, missing);
  Bind(tunnel_, "IOTC_DeInitialize", api_.IOTC_DeInitialize, missing);
  Bind(tunnel_, "IOTC_Device_Login", api_.IOTC_Device_Login, missing);
  Bind(tunnel_, "IOTC_Connect_ByUID", api_.IOTC_Connect_ByUID, missing);
  Bind(tunnel_, "IOTC_Connect_Stop", api_.IOTC_Connect_Stop, missing);
  Bind(tunnel_, "IOTC_Session_Close", api_.IOTC_Session_Close, missing);
  channel_ = ::dlopen(channel_library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!channel_) {
    error_ = DlError();
    return;
  }
  Bind(channel_, "avGetAVApiVer", api_.avGetAVApiVer, missing);
  Bind(channel_, "avInitialize", api_.avInitialize, missing);
  Bind(channel_, "avSendIOCtrl", api_.avSendIOCtrl, missing);
  Bind(channel_, "avRecvIOCtrl", api_.avRecvIOCtrl, missing);
  Bind(channel_, "avSendIOCtrlExit", api_.avSendIOCtrlExit, missing);
  Bind(channel_, "avClientStart", api_.avClientStart, missing);
  Bind(channel_, "avClientStop", api_.avClientStop, missing);
  Bind(channel_, "avRecvFrameData2", api_.avRecvFrameData2, missing);
  Bind(channel_, "avRecvFrameData", api_.avRecvFrameData, missing);
  Bind(channel_, "avRecvAudioData", api_.avRecvAudioData, missing);
  if (!missing.empty()) error_ = "missing entry points: " + missing;
}

TP2PLib::~TP2PLib() {
  if (started_.load() && api_.IOTC_DeInitialize) api_.IOTC_DeInitialize();
  if (channel_) ::dlclose(channel_);
  if (tunnel_) ::dlclose(tunnel_);
}

TP2PLib& TP2PLib::Process() {
  static TP2PLib binding;
  return binding;
}

bool TP2PLib::Usable() const {
  const TP2PEntries& a = api_;
  return tunnel_ && channel_ && a.IOTC_Initialize && a.IOTC_Connect_ByUID && a.IOTC_Session_Close &&
         a.avInitialize && a.avSendIOCtrl && a.avRecvIOCtrl && a.avClientStart && a.avClientStop &&
         a.avRecvFrameData;
}

void TP2PLib::StartServiceLocked() {
  if (started_.load() || !Usable()) return;
  api_.avInitialize(kMaxChannels);
  const std::vector<std::string> m = MasterServers();
  api_.IOTC_Initialize(0, m[0].c_str(), m[1].c_str(), m[2].c_str(), m[3].c_str());
  started_.store(true);
}

}  // namespace vz
