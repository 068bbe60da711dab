#include "AppPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vz {
namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool IsWritableFolder(const std::string& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string XdgDataHome() {
  if (const char* d = std::getenv("XDG_DATA_HOME"); d && *d) return d;
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.local/share";
  return "/tmp";
}

}  // namespace

std::string ExePath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string ExeBaseName() {
  return std::filesystem::path(ExePath()).stem().string();
}

std::string AppFolder() {
  std::string folder;
  if (const char* home = std::getenv("VZ_HOME"); home && *home) {
    folder = home;
  } else {
    std::string exeFolder = std::filesystem::path(ExePath()).parent_path().string();
    if (IsWritableFolder(exeFolder)) {
      folder = exeFolder;
    } else {
      folder = XdgDataHome() + (ExeBaseName() == "vzSurveillance" ? "/vzSurveillance" : "/vzSDK");
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return WithSlash(folder);
}

std::string TempFolder() {
  const char* t = std::getenv("TMPDIR");
  return WithSlash(t && *t ? t : "/tmp");
}

std::string AppIniName() { return AppFolder() + ExeBaseName() + ".ini"; }

}  // namespace vz
