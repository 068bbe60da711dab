#include "TestEnv.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vztest {

namespace {

std::filesystem::path DefaultRoot() {
  const char* base = std::getenv("VZ_TEST_TMP");
  return base ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
}

}  // namespace

std::filesystem::path ShortTempRoot() { return "/tmp"; }

TempDir::TempDir() : TempDir(DefaultRoot()) {}

TempDir::TempDir(const std::filesystem::path& root) {
  static std::atomic<unsigned> counter{0};
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

int ThreadsNamed(const std::string& prefix) {
  int n = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name.rfind(prefix, 0) == 0) ++n;
  }
  return n;
}

}  // namespace vztest
