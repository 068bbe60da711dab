#include "Execute.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace vz {
namespace {

class TSpawnActions {
 public:
  TSpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  ~TSpawnActions() {
    if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;
  bool ok() const { return ok_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

}  // namespace

bool Execute(const std::string& file, const std::vector<std::string>& arguments, const std::string& folder) {
  if (file.empty()) return false;
  TSpawnActions actions;
  if (!actions.ok()) return false;
  if (!folder.empty() && ::posix_spawn_file_actions_addchdir_np(actions.get(), folder.c_str()) != 0) return false;

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(file.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const bool search = file.find('/') == std::string::npos;
  const int rc = search ? ::posix_spawnp(&pid, file.c_str(), actions.get(), nullptr, argv.data(), environ)
                        : ::posix_spawn(&pid, file.c_str(), actions.get(), nullptr, argv.data(), environ);
  if (rc != 0) return false;
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // No thread for the reaper: the child still runs; it is collected as a
    // zombie only when this process ends.
  }
  return true;
}

bool OpenWithDesktop(const std::string& target) {
  if (target.empty()) return false;
  return Execute("xdg-open", {target});
}

}  // namespace vz
