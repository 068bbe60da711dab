#include "SysUtils.h"

#include <cstdio>
#include <memory>

namespace vz {
namespace {

constexpr size_t kMaxOsReleaseBytes = 64 * 1024;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string ReadSmallFile(const char* path) {
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path, "rb"));
  if (!in) return {};
  std::string text(kMaxOsReleaseBytes, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), in.get()));
  return text;
}

// The value of an os-release assignment: quoted with " or ', backslash
// escapes inside double quotes, or bare.
std::string Unquote(std::string_view value) {
  while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
    value.remove_suffix(1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    const char quote = value.front();
    value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
      if (quote == '"' && value[i] == '\\' && i + 1 < value.size()) ++i;
      out += value[i];
    }
    return out;
  }
  return std::string(value);
}

}  // namespace

std::string PrettyNameFromOsRelease(std::string_view text) {
  constexpr std::string_view kKey = "PRETTY_NAME=";
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, kKey.size()) == kKey) return Unquote(line.substr(kKey.size()));
  }
  return {};
}

std::string OSName() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    const std::string text = ReadSmallFile(path);
    if (!text.empty()) return PrettyNameFromOsRelease(text);
  }
  return {};
}

}  // namespace vz
