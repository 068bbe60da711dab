#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "AppPaths.h"

namespace vz {
namespace {

struct Claims {
  std::mutex lock;               // guards fds
  std::map<std::string, int> fds;  // lock path -> open, locked descriptor
};

Claims& TheClaims() {
  static Claims claims;
  return claims;
}

// A name becomes one file name: folder separators are not allowed in it.
std::string SafeName(const std::string& name) {
  std::string safe = name.empty() ? ExeBaseName() : name;
  if (safe.empty()) safe = "vz";
  for (char& c : safe) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (safe == "." || safe == "..") safe = "_";
  return safe;
}

}  // namespace

std::string SingleInstanceLockPath(const std::string& name) {
  const std::string safe = SafeName(name);
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    std::string folder = runtime;
    if (folder.back() != '/') folder += '/';
    return folder + safe + ".lock";
  }
  return "/tmp/" + safe + "-" + std::to_string(::getuid()) + ".lock";
}

bool SingleInstance(const std::string& name) {
  const std::string path = SingleInstanceLockPath(name);
  Claims& claims = TheClaims();
  std::lock_guard<std::mutex> guard(claims.lock);
  if (claims.fds.count(path)) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  claims.fds.emplace(path, fd);
  return true;
}

void ReleaseSingleInstance(const std::string& name) {
  const std::string path = SingleInstanceLockPath(name);
  Claims& claims = TheClaims();
  std::lock_guard<std::mutex> guard(claims.lock);
  auto it = claims.fds.find(path);
  if (it == claims.fds.end()) return;
  ::close(it->second);  // closing the only descriptor drops the flock
  claims.fds.erase(it);
}

}  // namespace vz
