#include "TestEnv.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vztest {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const char* base = std::getenv("VZ_TEST_TMP");
  std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
  for (;;) {
    path_ = root / ("vzt_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::error_code ec;
    if (std::filesystem::create_directories(path_, ec)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vztest
