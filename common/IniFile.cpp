#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

#include "TextCodec.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return vz::EqualsNoCaseAscii(a, b); }

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A name the file can give back: trimmed, valid UTF-8, one line.
std::string CleanName(std::string_view name) { return vz::ToValidUtf8(Trim(name)); }

bool KeyCanRoundTrip(std::string_view key) {
  return !key.empty() && key.find('=') == std::string_view::npos && !HasLineBreak(key) && key.front() != ';' &&
         key.front() != '[';
}

std::string CleanValue(std::string_view value) {
  std::string v = vz::ToValidUtf8(value);
  for (char& c : v) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return std::string(Trim(v));
}

bool ParseInt64(std::string_view text, int64_t& out) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  } else if (s.size() > 1 && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (negative) {
    if (magnitude > kMaxPositive + 1) return false;
    out = magnitude == kMaxPositive + 1 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
  } else {
    if (magnitude > kMaxPositive) return false;
    out = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool ParseDouble(std::string_view text, double& out) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

bool IsSectionLine(std::string_view trimmed) {
  return !trimmed.empty() && trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos;
}

std::string SectionNameOf(std::string_view trimmed) {
  const size_t close = trimmed.rfind(']');
  return std::string(Trim(trimmed.substr(1, close - 1)));
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string path) { Load(path); }

bool TIniFile::Load(const std::string& path) {
  path_ = path;
  Clear();
  // Non-blocking so that a FIFO in the file's place cannot hang the caller;
  // only regular files are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  // The size can change while reading; the limit holds for what is read.
  std::string bytes;
  char buffer[16384];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMaxFileBytes) {
      ok = false;
      break;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) return false;
  LoadFromBytes(bytes);
  return true;
}

void TIniFile::LoadFromBytes(std::string_view bytes) {
  Clear();
  ParseText(vz::DecodeTextFile(bytes));
}

void TIniFile::ParseText(const std::string& text) {
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    std::string_view line;
    if (end == std::string::npos) {
      line = std::string_view(text).substr(pos);
      pos = text.size();
    } else {
      line = std::string_view(text).substr(pos, end - pos);
      pos = end + 1;
      if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    const std::string_view trimmed = Trim(line);
    if (IsSectionLine(trimmed)) {
      sections_.push_back(Section{SectionNameOf(trimmed), std::string(line), {}});
      current = &sections_.back();
      continue;
    }
    Line entry;
    const size_t eq = trimmed.find('=');
    const bool isKey = current != nullptr && eq != std::string_view::npos && eq > 0 && trimmed.front() != ';';
    if (isKey) {
      entry.key = std::string(Trim(trimmed.substr(0, eq)));
      entry.value = std::string(Trim(trimmed.substr(eq + 1)));
    } else {
      entry.value = std::string(line);
    }
    if (current != nullptr) {
      current->lines.push_back(std::move(entry));
    } else {
      preamble_.push_back(std::move(entry.value));
    }
  }
}

bool TIniFile::Save() const { return !path_.empty() && Save(path_); }

bool TIniFile::Save(const std::string& path) const {
  static std::atomic<unsigned> counter{0};
  const std::string temp =
      path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter.fetch_add(1));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, SaveToBytes());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

std::string TIniFile::SaveToBytes() const {
  std::string text;
  for (const std::string& raw : preamble_) {
    text += raw;
    text += "\r\n";
  }
  for (const Section& s : sections_) {
    text += s.header.empty() ? "[" + s.name + "]" : s.header;
    text += "\r\n";
    for (const Line& l : s.lines) {
      if (!l.key.empty()) {
        text += l.key;
        text += '=';
      }
      text += l.value;
      text += "\r\n";
    }
  }
  return "\xFF\xFE" + vz::Utf8ToUtf16Le(text);
}

TIniFile::Section* TIniFile::FindSection(std::string_view section) {
  const std::string_view name = Trim(section);
  for (Section& s : sections_) {
    if (SameName(s.name, name)) return &s;
  }
  return nullptr;
}

const TIniFile::Section* TIniFile::FindSection(std::string_view section) const {
  return const_cast<TIniFile*>(this)->FindSection(section);
}

const TIniFile::Line* TIniFile::FindLine(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  const std::string_view name = Trim(key);
  if (name.empty()) return nullptr;
  for (const Line& l : s->lines) {
    if (SameName(l.key, name)) return &l;
  }
  return nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const Line* l = FindLine(section, key);
  return l != nullptr ? l->value : std::string(def);
}

int64_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int64_t def) const {
  const Line* l = FindLine(section, key);
  int64_t v = 0;
  return (l != nullptr && ParseInt64(l->value, v)) ? v : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const Line* l = FindLine(section, key);
  double v = 0;
  return (l != nullptr && ParseDouble(l->value, v)) ? v : def;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sectionName = CleanName(section);
  const std::string keyName = CleanName(key);
  if (HasLineBreak(sectionName) || !KeyCanRoundTrip(keyName)) return;
  std::string cleanValue = CleanValue(value);

  Section* s = FindSection(sectionName);
  if (s == nullptr) {
    // A blank line between sections, as the files written elsewhere have.
    if (!sections_.empty()) {
      auto& lines = sections_.back().lines;
      const bool endsBlank = !lines.empty() && lines.back().key.empty() && Trim(lines.back().value).empty();
      if (!endsBlank) lines.push_back(Line{});
    } else if (!preamble_.empty() && !Trim(preamble_.back()).empty()) {
      preamble_.emplace_back();
    }
    sections_.push_back(Section{sectionName, "[" + sectionName + "]", {}});
    s = &sections_.back();
  }
  for (Line& l : s->lines) {
    if (SameName(l.key, keyName)) {
      l.value = std::move(cleanValue);
      return;
    }
  }
  // After the last non-blank line, so the blank lines closing a section stay last.
  size_t at = s->lines.size();
  while (at > 0 && s->lines[at - 1].key.empty() && Trim(s->lines[at - 1].value).empty()) --at;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{keyName, std::move(cleanValue)});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return;
  WriteString(section, key, std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindLine(section, key) != nullptr;
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> names;
  for (const Section& s : sections_) {
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameName(n, s.name);
    if (!seen) names.push_back(s.name);
  }
  return names;
}

std::vector<std::string> TIniFile::Keys(std::string_view section) const {
  std::vector<std::string> names;
  const Section* s = FindSection(section);
  if (s == nullptr) return names;
  for (const Line& l : s->lines) {
    if (l.key.empty()) continue;
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameName(n, l.key);
    if (!seen) names.push_back(l.key);
  }
  return names;
}

void TIniFile::EraseSection(std::string_view section) {
  const std::string_view name = Trim(section);
  std::vector<Section> kept;
  kept.reserve(sections_.size());
  for (Section& s : sections_) {
    if (!SameName(s.name, name)) kept.push_back(std::move(s));
  }
  sections_ = std::move(kept);
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  const std::string_view name = Trim(key);
  if (s == nullptr || name.empty()) return;
  std::vector<Line> kept;
  kept.reserve(s->lines.size());
  for (Line& l : s->lines) {
    if (!SameName(l.key, name)) kept.push_back(std::move(l));
  }
  s->lines = std::move(kept);
}

void TIniFile::Clear() {
  preamble_.clear();
  sections_.clear();
}
