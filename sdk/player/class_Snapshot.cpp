#include "class_Snapshot.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

#include "AppPaths.h"
#include "class_DRender.h"

namespace vz {

namespace {

bool WriteExclusive(const std::string& path, const unsigned char* data, unsigned long size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  unsigned long done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<unsigned long>(n);
  }
  const bool ok = ::close(fd) == 0 && done == size;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

struct TjFree {
  void operator()(void* h) const { tjDestroy(h); }
};

}  // namespace

bool SaveJpegFile(const QImage& picture, const std::string& path) {
  if (picture.isNull() || path.empty()) return false;
  const QImage image = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
  std::unique_ptr<void, TjFree> tj(tjInitCompress());
  if (!tj) return false;
  unsigned char* jpeg = nullptr;
  unsigned long jpeg_size = 0;
  // QImage's 32-bit pixels are B, G, R, X in memory on this platform.
  const int rc = tjCompress2(tj.get(), image.constBits(), image.width(),
                             static_cast<int>(image.bytesPerLine()), image.height(), TJPF_BGRX, &jpeg,
                             &jpeg_size, TJSAMP_444, 100, TJFLAG_ACCURATEDCT);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> hold(jpeg, tjFree);
  if (rc != 0 || !jpeg) return false;
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  return WriteExclusive(path, jpeg, jpeg_size);
}

std::string LiveSnapshotFolder(const std::string& snapshot_path, const std::string& svr_addr,
                               int32_t data_port) {
  if (svr_addr.empty() || svr_addr == "." || svr_addr == ".." ||
      svr_addr.find('/') != std::string::npos || svr_addr.find('\0') != std::string::npos)
    return {};
  std::string folder = snapshot_path.empty() ? AppFolder() + "Snapshot/" : snapshot_path;
  if (folder.back() != '/') folder += '/';
  return folder + svr_addr + "_" + std::to_string(data_port) + "/";
}

std::string SnapshotFileName(const std::string& folder, std::chrono::system_clock::time_point when,
                             int32_t channel, const char* extension) {
  const auto since = when.time_since_epoch();
  const std::time_t secs =
      static_cast<std::time_t>(std::chrono::floor<std::chrono::seconds>(since).count());
  const int ms = static_cast<int>(
      (std::chrono::floor<std::chrono::milliseconds>(since) -
       std::chrono::floor<std::chrono::seconds>(since))
          .count());
  std::tm local{};
  localtime_r(&secs, &local);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d_%03d_%d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms,
                static_cast<int>(channel));
  return folder + stamp + extension;
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
      path = SnapshotFileName(folder, std::chrono::system_clock::now(), channel, ".jpg");
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return false;
    return SaveJpegFile(render.Capture(), path);
  } catch (...) {
    return false;
  }
}

}  // namespace vz
