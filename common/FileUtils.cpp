#include "FileUtils.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace vz {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

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
  for (size_t i = 0; i < length; ++i) c = kCrcTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
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
