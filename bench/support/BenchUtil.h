#pragma once
// Small helpers the receiving-side benchmarks share.
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <string>

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
