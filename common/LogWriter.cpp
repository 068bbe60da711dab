#include "LogWriter.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
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
  int fd = -1;
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
  // Created when missing, never truncated: the SDK inside the client has a
  // writer of its own, and a companion program started in the same second
  // forms the same name. Each line goes out in one append, so the writers'
  // lines follow each other whole instead of overwriting each other.
  s.fd = ::open(s.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

}  // namespace

void WriteLog(std::string_view text, bool withTime) {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  OpenOnce(s);
  if (s.fd < 0) return;
  std::string line;
  line.reserve(text.size() + 32);
  if (withTime) {
    LocalNow now = ReadLocalNow();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d:%02d:%02d_%03d  ", now.tm.tm_year + 1900,
                  now.tm.tm_mon + 1, now.tm.tm_mday, now.tm.tm_hour, now.tm.tm_min, now.tm.tm_sec, now.ms);
    line += stamp;
  }
  line.append(text.data(), text.size());
  line += "\r\n";
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(s.fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk loses the line, never the process
    p += n;
    left -= static_cast<size_t>(n);
  }
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
