#include "class_DevHttp.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <utility>

#include "AppPaths.h"
#include "IniFile.h"
#include "LogWriter.h"

namespace vz {
namespace {

// The PC's tick count: milliseconds of the monotonic clock, wrapping at 2^32.
uint32_t TickCountMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Replaces path with bytes. The shared temporary folder may hold anything
// under that name (also a link planted by someone else), so the bytes go to
// a fresh file of our own that is then renamed over the name: a link is
// replaced, never followed.
bool ReplaceFile(const std::string& path, std::string_view bytes) {
  std::string scratch = path + ".XXXXXX";
  const int fd = ::mkstemp(scratch.data());
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || std::rename(scratch.c_str(), path.c_str()) != 0) {
    std::remove(scratch.c_str());
    return false;
  }
  return true;
}

}  // namespace

TDevHttp::TDevHttp(TDevHttpTarget target, TWebGetOptions options)
    : target_(std::move(target)), options_(std::move(options)) {}

std::string TDevHttp::QueryText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string TDevHttp::UrlHead(TCfgMsg msg) const {
  // "http://%s:%d/cfg.cgi?User=%s&Psd=%s&MsgID=%d"
  return "http://" + target_.Host + ":" + std::to_string(target_.Port) + "/cfg.cgi?User=" +
         QueryText(target_.User) + "&Psd=" + QueryText(target_.Password) +
         "&MsgID=" + std::to_string(static_cast<int>(msg));
}

std::string TDevHttp::CfgUrl(TCfgMsg msg) const { return UrlHead(msg); }

std::string TDevHttp::CfgUrl(TCfgMsg msg, uint32_t tick_ms) const {
  return UrlHead(msg) + "&s=" + std::to_string(static_cast<int32_t>(tick_ms));
}

std::string TDevHttp::CfgUrl(TCfgMsg msg, const std::string& ssid, uint32_t tick_ms) const {
  return UrlHead(msg) + "&SSID=" + QueryText(ssid) + "&s=" + std::to_string(static_cast<int32_t>(tick_ms));
}

bool TDevHttp::IsStatusOK(std::string_view body) {
  return body.size() < kShortStatusLimit && body.size() >= 2 && body[0] == 'O' && body[1] == 'K';
}

std::vector<TWiFiEntry> TDevHttp::ReadWiFiList(const TIniFile& ini) {
  std::vector<TWiFiEntry> rows;
  for (int n = 0;; ++n) {
    const std::string section = std::to_string(n);
    TWiFiEntry e;
    e.SSID = ini.ReadString(section, "SSID", "");
    if (e.SSID.empty()) break;
    e.Password = ini.ReadString(section, "Password", "");
    e.EncryptType = ini.ReadString(section, "EncryptType", "");
    e.Auth = ini.ReadString(section, "Auth", "");
    e.Enc = ini.ReadString(section, "Enc", "");
    rows.push_back(std::move(e));
  }
  return rows;
}

std::vector<TWiFiEntry> TDevHttp::ParseWiFiList(std::string_view body) {
  TIniFile ini;
  ini.LoadFromBytes(body);
  return ReadWiFiList(ini);
}

std::string TDevHttp::WiFiListFile() { return TempFolder() + kWiFiListFileName; }

THttpResult TDevHttp::Get(const std::string& url, std::string& body) const {
  THttpResult r;
  try {
    WebGetStream(url, body, options_);
    r.Outcome = THttpOutcome::Succeeded;
  } catch (const std::exception& e) {
    body.clear();
    r.Outcome = THttpOutcome::NotCompleted;
    r.Error = e.what();
    // The URL carries the password: only the host and the error are logged.
    WriteLogF("DevHttp %s:%d except:%s", target_.Host.c_str(), target_.Port, r.Error.c_str());
  }
  return r;
}

THttpResult TDevHttp::StatusRequest(const std::string& url) const {
  std::string body;
  THttpResult r = Get(url, body);
  if (r.Outcome == THttpOutcome::Succeeded && !IsStatusOK(body)) r.Outcome = THttpOutcome::Failed;
  return r;
}

THttpResult TDevHttp::ForgetWiFi(const std::string& ssid) const {
  return StatusRequest(CfgUrl(TCfgMsg::WiFiForget, ssid, TickCountMs()));
}

THttpResult TDevHttp::ListWiFi(std::vector<TWiFiEntry>& rows) const {
  rows.clear();
  std::string body;
  THttpResult r = Get(CfgUrl(TCfgMsg::WiFiList, TickCountMs()), body);
  if (r.Outcome != THttpOutcome::Succeeded) return r;
  const std::string file = WiFiListFile();
  if (ReplaceFile(file, body)) {
    TIniFile ini;
    ini.Load(file);  // an empty or unreadable reply leaves the list empty
    rows = ReadWiFiList(ini);
  } else {
    // The temporary folder refused the copy: the rows come from the reply itself.
    WriteLogF("DevHttp cannot keep %s", file.c_str());
    rows = ParseWiFiList(body);
  }
  return r;
}

}  // namespace vz
