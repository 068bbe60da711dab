#include "class_Snapshot.h"

#include <filesystem>

#include "AppPaths.h"
#include "SnapshotFile.h"
#include "class_DRender.h"

namespace vz {

std::string LiveSnapshotFolder(const std::string& snapshot_path, const std::string& svr_addr,
                               int32_t data_port) {
  if (svr_addr.empty() || svr_addr == "." || svr_addr == ".." ||
      svr_addr.find('/') != std::string::npos || svr_addr.find('\0') != std::string::npos)
    return {};
  std::string folder = snapshot_path.empty() ? AppFolder() + "Snapshot/" : snapshot_path;
  if (folder.back() != '/') folder += '/';
  return folder + svr_addr + "_" + std::to_string(data_port) + "/";
}

bool TSnapshot::SaveLiveJpg(const TRender& render, int32_t channel, const char* file_name,
                            const std::string& snapshot_path, const std::string& svr_addr,
                            int32_t data_port) {
  if (busy_.exchange(true)) return false;
  struct TRelease {
    std::atomic<bool>& flag;
    ~TRelease() { flag.store(false); }
  } release{busy_};
  try {
    std::string path;
    if (file_name && *file_name) {
      path = file_name;
    } else {
      const std::string folder = LiveSnapshotFolder(snapshot_path, svr_addr, data_port);
      if (folder.empty()) return false;
      path = SnapshotFileName(folder, channel, "jpg");
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return false;
    return SaveJpegFile(render.Capture(), path);
  } catch (...) {
    return false;
  }
}

}  // namespace vz
