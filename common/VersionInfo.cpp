#include "VersionInfo.h"

#include <filesystem>
#include <system_error>
#include <vector>

#ifndef VZ_PROJECT_VERSION
#define VZ_PROJECT_VERSION "0.0.0"
#endif

namespace vz {
namespace {

// "1.2.3" -> {1, 2, 3}: one to four numbers, else empty.
std::vector<int> DottedNumbers(const std::string& text) {
  std::vector<int> numbers;
  int value = -1;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '.';
    if (c >= '0' && c <= '9') {
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
      if (value > 65535) return {};
    } else if (c == '.' && value >= 0) {
      numbers.push_back(value);
      value = -1;
    } else {
      return {};
    }
  }
  return numbers.size() <= 4 ? numbers : std::vector<int>();
}

// The numbers after ".so." of a versioned library name; empty otherwise.
std::vector<int> SoVersionNumbers(const std::string& name) {
  const size_t so = name.rfind(".so.");
  return so == std::string::npos ? std::vector<int>() : DottedNumbers(name.substr(so + 4));
}

bool IsFile(const std::string& path, std::string& resolvedName) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
  const auto resolved = std::filesystem::canonical(path, ec);
  resolvedName = ec ? std::filesystem::path(path).filename().string() : resolved.filename().string();
  return true;
}

std::string Join(std::vector<int> numbers, size_t count) {
  numbers.resize(count, 0);
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i) text += '.';
    text += std::to_string(numbers[i]);
  }
  return text;
}

}  // namespace

std::string ProjectVersion() { return VZ_PROJECT_VERSION; }

std::string FileVersionOf(const std::string& path) {
  std::string name;
  if (!IsFile(path, name)) return {};
  std::vector<int> numbers = SoVersionNumbers(name);
  if (numbers.empty()) numbers = DottedNumbers(ProjectVersion());
  return Join(numbers, 4);
}

std::string ProductVersionOf(const std::string& path) {
  std::string name;
  if (!IsFile(path, name)) return {};
  const std::vector<int> numbers = SoVersionNumbers(name);
  return numbers.empty() ? ProjectVersion() : Join(numbers, numbers.size() < 3 ? 3 : numbers.size());
}

}  // namespace vz
