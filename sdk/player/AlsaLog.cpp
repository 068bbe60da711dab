#include "AlsaLog.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "LogWriter.h"

namespace vz {
namespace {

constexpr std::size_t kCaptureLimit = 400;
// Distinct texts logged per process; the sound layer repeats itself on every
// failed open and one copy of each is enough.
constexpr std::size_t kDistinctLimit = 64;

thread_local TAlsaErrorCapture* t_capture = nullptr;

std::mutex g_seenLock;
std::set<std::string> g_seen;  // guarded by g_seenLock

__attribute__((format(printf, 5, 6))) void AlsaErrorHandler(const char* file, int line,
                                                             const char* function, int err,
                                                             const char* fmt, ...) {
  (void)file;
  (void)line;
  char text[256] = "";
  if (fmt) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
  }
  std::string message = std::string(function ? function : "?") + ": " + text;
  if (err != 0) message += std::string(" (") + snd_strerror(err) + ")";
  if (t_capture) {
    t_capture->Append(message);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(g_seenLock);
    if (g_seen.size() >= kDistinctLimit || !g_seen.insert(message).second) return;
  }
  WriteLog("ALSA " + message);
}

}  // namespace

void TAlsaErrorCapture::Append(const std::string& text) {
  if (text_.size() >= kCaptureLimit) return;
  if (!text_.empty()) text_ += "; ";
  text_.append(text, 0, kCaptureLimit - text_.size());
}

void InstallAlsaLog() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&AlsaErrorHandler); });
}

TAlsaErrorCapture::TAlsaErrorCapture() : outer_(t_capture) { t_capture = this; }

TAlsaErrorCapture::~TAlsaErrorCapture() { t_capture = outer_; }

}  // namespace vz
