#include "FileUtils.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace vz {
namespace {

// Eight tables for "slicing by 8": table k advances a byte that sits k
// bytes before the end of an 8-byte block, so one block costs 8 look-ups
// and no serial dependency between its bytes.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool ForceDir(const std::string& path) {
  if (path.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

uint64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<uint64_t>(st.st_size);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

uint32_t Crc32(const void* data, size_t length, uint32_t crc) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t c = ~crc;
  for (; length >= 8; p += 8, length -= 8) {
    // Bytes are combined explicitly, so the result does not depend on the
    // machine's byte order.
    const uint32_t lo = c ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    const uint32_t hi = uint32_t{p[4]} | uint32_t{p[5]} << 8 | uint32_t{p[6]} << 16 | uint32_t{p[7]} << 24;
    c = kCrc[7][lo & 0xFF] ^ kCrc[6][(lo >> 8) & 0xFF] ^ kCrc[5][(lo >> 16) & 0xFF] ^ kCrc[4][lo >> 24] ^
        kCrc[3][hi & 0xFF] ^ kCrc[2][(hi >> 8) & 0xFF] ^ kCrc[1][(hi >> 16) & 0xFF] ^ kCrc[0][hi >> 24];
  }
  for (; length > 0; ++p, --length) c = kCrc[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t FileCRC32(const std::string& path) {
  if (!FileExists(path)) return 0;
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
  if (!in) return 0;
  uint8_t buffer[64 * 1024];
  uint32_t crc = 0;
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, in.get());
    crc = Crc32(buffer, got, crc);
    if (got < sizeof buffer) break;
  }
  return std::ferror(in.get()) ? 0 : crc;
}

}  // namespace vz
