#include "RegStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <system_error>
#include <vector>

#include "AppPaths.h"
#include "IniFile.h"

namespace vz {
namespace {

// Serialises the reload-change-save cycles of this process; flock(2) alone
// does not order threads that share one open file table.
std::mutex& StoreMutex() {
  static std::mutex m;
  return m;
}

std::string ConfigHome() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return x;
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config";
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return std::string(found->pw_dir) + "/.config";
  }
  return "/tmp/.config";
}

// The parts of a key or sub-key path, without empty, "." and ".." parts.
std::vector<std::string> PathParts(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    part.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/') {
      flush();
    } else if (c != '\0') {
      part += c;
    }
  }
  flush();
  return parts;
}

std::string JoinParts(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& p : parts) {
    if (!joined.empty()) joined += '/';
    joined += p;
  }
  return joined;
}

// Holds an exclusive flock on a folder while alive (nothing when the folder
// cannot be opened: the in-process lock still holds).
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

template <typename Result>
Result ReadLocked(std::string_view key, const std::function<Result(const TIniFile&)>& read) {
  const std::string path = RegFilePath(key);
  std::lock_guard<std::mutex> guard(StoreMutex());
  FolderLock folderLock(std::filesystem::path(path).parent_path().string());
  TIniFile ini(path);
  return read(ini);
}

// change answers whether the store took the value (TIniFile refuses names a
// file could not give back).
bool WriteLocked(std::string_view key, const std::function<bool(TIniFile&)>& change) {
  const std::string path = RegFilePath(key);
  const std::string folder = std::filesystem::path(path).parent_path().string();
  std::lock_guard<std::mutex> guard(StoreMutex());
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  FolderLock folderLock(folder);
  TIniFile ini(path);
  return change(ini) && ini.Save();
}

}  // namespace

std::string RegFilePath(std::string_view key) {
  std::vector<std::string> parts = PathParts(key);
  if (parts.empty()) parts = {"SoftWare", ExeBaseName().empty() ? std::string("vzSDK") : ExeBaseName()};
  return ConfigHome() + "/vzSoft/" + JoinParts(parts) + ".ini";
}

std::string RegSectionName(std::string_view section) { return JoinParts(PathParts(section)); }

std::string RegReadString(std::string_view section, std::string_view name, std::string_view def,
                          std::string_view key) {
  const std::string s = RegSectionName(section);
  return ReadLocked<std::string>(key, [&](const TIniFile& ini) { return ini.ReadString(s, name, def); });
}

bool RegWriteString(std::string_view section, std::string_view name, std::string_view value,
                    std::string_view key) {
  const std::string s = RegSectionName(section);
  return WriteLocked(key, [&](TIniFile& ini) {
    ini.WriteString(s, name, value);
    return ini.ValueExists(s, name);
  });
}

int64_t RegReadInteger(std::string_view section, std::string_view name, int64_t def, std::string_view key) {
  const std::string s = RegSectionName(section);
  return ReadLocked<int64_t>(key, [&](const TIniFile& ini) { return ini.ReadInteger(s, name, def); });
}

bool RegWriteInteger(std::string_view section, std::string_view name, int64_t value, std::string_view key) {
  return RegWriteString(section, name, std::to_string(value), key);
}

bool RegReadBool(std::string_view section, std::string_view name, bool def, std::string_view key) {
  const std::string s = RegSectionName(section);
  return ReadLocked<bool>(key, [&](const TIniFile& ini) { return ini.ReadBool(s, name, def); });
}

bool RegWriteBool(std::string_view section, std::string_view name, bool value, std::string_view key) {
  return RegWriteString(section, name, value ? "1" : "0", key);
}

int64_t IniReadInteger(const std::string& file, std::string_view section, std::string_view name, int64_t def) {
  return TIniFile(file).ReadInteger(section, name, def);
}

}  // namespace vz
