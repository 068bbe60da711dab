#include "LogWriter.h"

#include <sys/time.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "AppPaths.h"

namespace vz {
namespace {

struct LogState {
  std::mutex lock;    // guards every field below
  std::string path;   // fixed at the first line written
  std::FILE* file = nullptr;
  bool opened = false;  // an attempt to create the file was made
};

LogState& State() {
  static LogState state;
  return state;
}

struct LocalNow {
  std::tm tm{};
  int ms = 0;
};

LocalNow ReadLocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  LocalNow now;
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &now.tm);
  now.ms = static_cast<int>(ts.tv_nsec / 1000000);
  return now;
}

void OpenOnce(LogState& s) {
  if (s.opened) return;
  s.opened = true;
  const std::string folder = AppFolder() + "log/";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  LocalNow now = ReadLocalNow();
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &now.tm);
  s.path = folder + "log_" + stamp + ".txt";
  // Created empty, then kept open for appending.
  s.file = std::fopen(s.path.c_str(), "wb");
}

}  // namespace

void WriteLog(std::string_view text, bool withTime) {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  OpenOnce(s);
  if (!s.file) return;
  if (withTime) {
    LocalNow now = ReadLocalNow();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d:%02d:%02d_%03d  ", now.tm.tm_year + 1900,
                  now.tm.tm_mon + 1, now.tm.tm_mday, now.tm.tm_hour, now.tm.tm_min, now.tm.tm_sec, now.ms);
    std::fputs(stamp, s.file);
  }
  std::fwrite(text.data(), 1, text.size(), s.file);
  std::fputs("\r\n", s.file);
  std::fflush(s.file);
}

void WriteLogF(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  WriteLog(buffer, true);
}

std::string LogFilePath() {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.path;
}

}  // namespace vz
