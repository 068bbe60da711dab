#pragma once
// Small helpers the receiving-side benchmarks share.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>

#include "DevSim.h"

namespace vzbench {

// A positive whole number from the environment, else the fallback.
inline int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  const int n = v != nullptr ? std::atoi(v) : 0;
  return n > 0 ? n : fallback;
}

// User and system time of the whole process so far.
inline double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sums per_thread(its /proc folder) over this process's threads of the
// given name (the name the kernel keeps, at most 15 characters).
template <typename F>
double SumOverThreads(const std::string& name, F per_thread) {
  double total = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
    std::ifstream comm(task.path() / "comm");
    std::string n;
    std::getline(comm, n);
    if (n == name) total += per_thread(task.path());
  }
  return total;
}

// User and system time of the threads of that name, in seconds.
inline double ThreadsCpuSeconds(const std::string& name) {
  return SumOverThreads(name, [](const std::filesystem::path& task) {
    std::ifstream stat(task / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the parenthesised name: state is the 3rd, utime the 14th, stime the 15th.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0.0;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i >= 14) ticks += std::atof(field.c_str());
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
  });
}

// Seconds the threads of that name spent ready to run but waiting for a
// processor (the scheduler's run-queue wait).
inline double ThreadsQueuedSeconds(const std::string& name) {
  return SumOverThreads(name, [](const std::filesystem::path& task) {
    std::ifstream stat(task / "schedstat");  // on-cpu ns, queued ns, slices
    double run = 0, queued = 0;
    return stat >> run >> queued ? queued / 1e9 : 0.0;
  });
}

// The process's resident memory now.
inline double RssMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

// An H.264 camera at 25 frames a second with a key frame every second.
inline vzsim::SimCamera H264Camera(int width, int height, int kbps) {
  vzsim::SimCamera cam;
  cam.codec = 2;
  cam.width = width;
  cam.height = height;
  cam.fps = 25;
  cam.kbps = kbps;
  cam.keyInterval = 25;
  return cam;
}

}  // namespace vzbench
