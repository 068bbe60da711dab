#include "SnapshotFile.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QImage>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "FileUtils.h"

namespace vz {

namespace {

constexpr int kJpegQuality = 100;

// Creates path exclusively and writes the bytes; removes it again on error.
bool WriteNewFile(const std::string& path, const uint8_t* data, std::size_t n) {
  if (!ForceDir(FolderOf(path))) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    if (ok) {
      data += w;
      n -= static_cast<std::size_t>(w);
    }
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::string SnapshotFileName(const std::string& folder, int32_t channel, const char* ext) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  char name[96];
  std::snprintf(name, sizeof name, "%s_%03d_%d.%s", stamp, static_cast<int>(ms), static_cast<int>(channel), ext);
  return folder + name;
}

bool SaveJpegFile(const QImage& picture, const std::string& path) {
  if (picture.isNull() || path.empty() || FileExists(path)) return false;
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  tjhandle tj = tjInitCompress();
  if (tj == nullptr) return false;
  unsigned char* jpeg = nullptr;
  unsigned long jpegSize = 0;
  // RGB32 is B, G, R, X in memory on the little-endian hosts we build for.
  const int rc = tjCompress2(tj, rgb.constBits(), rgb.width(), static_cast<int>(rgb.bytesPerLine()), rgb.height(),
                             TJPF_BGRX, &jpeg, &jpegSize, TJSAMP_444, kJpegQuality, TJFLAG_ACCURATEDCT);
  bool ok = rc == 0 && jpeg != nullptr && WriteNewFile(path, jpeg, jpegSize);
  tjFree(jpeg);
  tjDestroy(tj);
  return ok;
}

bool SaveBmp32File(const QImage& picture, const std::string& path) {
  if (picture.isNull() || path.empty() || FileExists(path)) return false;
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  const uint32_t w = static_cast<uint32_t>(rgb.width());
  const uint32_t h = static_cast<uint32_t>(rgb.height());
  const uint32_t pixelBytes = w * h * 4;
  constexpr uint32_t kHeadBytes = 14 + 40;
  std::vector<uint8_t> out;
  out.reserve(kHeadBytes + pixelBytes);
  out.push_back('B');
  out.push_back('M');
  PutLe(out, kHeadBytes + pixelBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, kHeadBytes, 4);
  PutLe(out, 40, 4);  // info header size
  PutLe(out, w, 4);
  PutLe(out, h, 4);   // positive: rows bottom-up
  PutLe(out, 1, 2);   // planes
  PutLe(out, 32, 2);  // bits per pixel
  PutLe(out, 0, 4);   // no compression
  PutLe(out, pixelBytes, 4);
  PutLe(out, 2835, 4);  // 72 dpi
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int y = static_cast<int>(h) - 1; y >= 0; --y) {
    const uint8_t* line = rgb.constScanLine(y);
    out.insert(out.end(), line, line + w * 4);
  }
  return WriteNewFile(path, out.data(), out.size());
}

}  // namespace vz
