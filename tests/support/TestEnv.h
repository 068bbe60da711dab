#pragma once
// Small helpers shared by the test areas.
#include <filesystem>
#include <string>

namespace vztest {

// A fresh, empty folder removed again when the object goes; every test that
// writes files works below one of these.
class TempDir {
 public:
  TempDir();  // below $VZ_TEST_TMP, else the system's temporary folder
  explicit TempDir(const std::filesystem::path& root);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A short root for folders whose paths are limited: a record file's name,
// folder included, must fit 63 characters and a folder handed back by a
// record path event 40, however deep $VZ_TEST_TMP lies.
std::filesystem::path ShortTempRoot();

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);
// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

// Threads of this process whose name starts with prefix.
int ThreadsNamed(const std::string& prefix);

}  // namespace vztest
