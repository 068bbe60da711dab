#pragma once
// The web server of one simulated device, on its own loopback port:
// - "/cfg.cgi?User=..&Psd=..&MsgID=n": with an account of the device, 68 and
//   69 (test e-mail, test FTP) answer "OK"; 70 answers the remembered Wi-Fi
//   networks as INI text (sections "0", "1", ...); 71 forgets the network
//   named by SSID ("OK", or "ERROR" when none has that name). A wrong user
//   or password gets 401, a missing or unknown MsgID 400;
// - "/logo.png": a small PNG image;
// - any other path: the file of that path below the device's file folder
//   (its recordings), 404 when there is none. Paths with ".." are refused.
// Tests may replace the body of any MsgID and read what was asked.
//
// Threads: one serving thread answers the connections one after another;
// every wait polls with a short time-out and checks the stop flag. The
// public functions may be called from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimHttpRequest.h"

namespace vzsim {

struct SimWiFi {
  std::string ssid, password, encryptType, auth, enc;
};

class SimHttp {
 public:
  // Answers the level of a matching account, 0 when none matches.
  using Authenticator = std::function<int(const std::string& user, const std::string& password)>;
  static constexpr size_t kHeardLimit = 256;
  static constexpr size_t kMaxHeadBytes = 8192;

  SimHttp(Authenticator auth, std::string fileRoot);
  ~SimHttp();  // stops
  SimHttp(const SimHttp&) = delete;
  SimHttp& operator=(const SimHttp&) = delete;

  // Listens on 127.0.0.1:port (0: any free port). False with `error`.
  bool Start(uint16_t port, std::string* error);
  void Stop();
  uint16_t Port() const { return port_.load(); }
  const std::string& FileRoot() const { return fileRoot_; }

  // The body answered to a MsgID from now on, in place of the built-in one.
  void SetCfgReply(int msgId, std::string body);
  void ClearCfgReplies();
  void SetWiFiList(std::vector<SimWiFi> networks);
  std::vector<SimWiFi> WiFiList() const;
  // The requests heard (at most the last kHeardLimit), oldest first.
  std::vector<SimHttpRequest> Heard() const;

  static std::string LogoPng();
  static std::string WiFiListText(const std::vector<SimWiFi>& networks);

 private:
  struct Reply {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    std::string file;  // when set, the body is this file's content
  };

  void ServeLoop();
  void ServeConnection(int fd);
  Reply Answer(const SimHttpRequest& request);
  Reply AnswerCfg(const SimHttpRequest& request);
  Reply AnswerFile(const std::string& path) const;
  bool SendAll(int fd, const char* data, size_t size) const;
  void SendReply(int fd, const Reply& reply) const;

  const Authenticator auth_;
  const std::string fileRoot_;
  std::atomic<uint16_t> port_{0};
  std::atomic<bool> stop_{false};
  int listenFd_ = -1;  // set before the serving thread starts, closed after it ends
  std::thread thread_;

  mutable std::mutex mutex_;
  std::map<int, std::string> cfgReplies_;  // guarded by mutex_
  std::vector<SimWiFi> wifi_;              // guarded by mutex_
  std::vector<SimHttpRequest> heard_;      // guarded by mutex_
};

}  // namespace vzsim
