#pragma once
// TDevHttp: the actions a device offers only on its web server, each one
// HTTP GET of "cfg.cgi" with the login of the player: a test e-mail and a
// test FTP upload with the settings stored on the device, the list of the
// Wi-Fi networks the device remembers in station mode, and forgetting one
// of them.
//
// Replies:
// - short status (test e-mail, test FTP, forget): success when the body is
//   shorter than 20 bytes and starts with "OK"; any other body is a failure;
// - Wi-Fi list: INI text with sections "0", "1", ... holding SSID,
//   Password, EncryptType, Auth and Enc; the list ends at the first section
//   whose SSID is empty or missing. The body is kept unchanged in
//   "wifiSTALstGet.ini" in the temporary folder (replaced each time) and
//   read back from there.
// A request that cannot be completed (no connection, refused, an HTTP error
// status) is reported as NotCompleted with the HTTP client's error text.
//
// The texts put into the query (user name, password, SSID) are
// percent-encoded except for letters, digits and "-._~", so a blank, '&',
// '#' or '%' in them reaches the device as that character instead of
// breaking the query; plain names go out unchanged.
//
// Calls block until the device answers or the HTTP client gives up; any
// thread may call them, an object holds no state besides its target.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "WebGet.h"

class TIniFile;

namespace vz {

// The message identifiers of the configuration requests.
enum class TCfgMsg : int { TestEmail = 68, TestFtp = 69, WiFiList = 70, WiFiForget = 71 };

enum class THttpOutcome : uint8_t {
  Succeeded,     // the device answered and said yes (for the list: answered)
  Failed,        // the device answered with anything else
  NotCompleted,  // no answer: Error holds the HTTP client's text
};

struct THttpResult {
  THttpOutcome Outcome = THttpOutcome::NotCompleted;
  std::string Error;  // only with NotCompleted
};

// Where and as whom: the device's host as the player connected to it, its
// HTTP port (the web port of its network record) and the player's login.
struct TDevHttpTarget {
  std::string Host;
  int Port = 80;
  std::string User;
  std::string Password;
};

// One row of the remembered Wi-Fi networks.
struct TWiFiEntry {
  std::string SSID;
  std::string Password;  // read, never shown
  std::string EncryptType;
  std::string Auth;
  std::string Enc;
};

class TDevHttp {
 public:
  static constexpr const char* kWiFiListFileName = "wifiSTALstGet.ini";
  // A short status reply must be shorter than this to count as success.
  static constexpr size_t kShortStatusLimit = 20;

  explicit TDevHttp(TDevHttpTarget target, TWebGetOptions options = WebStreamOptions());

  THttpResult TestEmail() const { return StatusRequest(CfgUrl(TCfgMsg::TestEmail)); }
  THttpResult TestFtp() const { return StatusRequest(CfgUrl(TCfgMsg::TestFtp)); }
  THttpResult ForgetWiFi(const std::string& ssid) const;
  // rows is replaced; it stays empty unless the device answered with a list.
  THttpResult ListWiFi(std::vector<TWiFiEntry>& rows) const;

  // The request URLs ("s" is the tick count in milliseconds).
  std::string CfgUrl(TCfgMsg msg) const;
  std::string CfgUrl(TCfgMsg msg, uint32_t tick_ms) const;
  std::string CfgUrl(TCfgMsg msg, const std::string& ssid, uint32_t tick_ms) const;

  // The reply rules, on the bytes as the device sent them.
  static bool IsStatusOK(std::string_view body);
  static std::vector<TWiFiEntry> ReadWiFiList(const TIniFile& ini);
  static std::vector<TWiFiEntry> ParseWiFiList(std::string_view body);
  // TempFolder() + kWiFiListFileName.
  static std::string WiFiListFile();
  // Percent-encoding of everything but letters, digits and "-._~".
  static std::string QueryText(std::string_view text);

 private:
  std::string UrlHead(TCfgMsg msg) const;
  THttpResult StatusRequest(const std::string& url) const;
  // GET url; NotCompleted with the error text when the transfer failed.
  THttpResult Get(const std::string& url, std::string& body) const;

  TDevHttpTarget target_;
  TWebGetOptions options_;
};

}  // namespace vz
