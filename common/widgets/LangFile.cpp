#include "LangFile.h"

#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "IniFile.h"
#include "TextCodec.h"

namespace vz {
namespace {

std::string Lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// Converts legacy 8-bit text to UTF-8; false on any undecodable byte.
bool LegacyToUtf8(std::string_view bytes, const char* codeset, std::string* out) {
  iconv_t cd = ::iconv_open("UTF-8", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  // Two bytes of GB18030 or Big5 never take more than four of UTF-8; the
  // single-byte ASCII part stays one byte.
  std::string buffer(bytes.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* outPtr = buffer.data();
  size_t outLeft = buffer.size();
  bool ok = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  ok = ok && ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
  ::iconv_close(cd);
  if (!ok) return false;
  buffer.resize(buffer.size() - outLeft);
  *out = std::move(buffer);
  return true;
}

bool HasBom(std::string_view bytes) {
  return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

}  // namespace

std::string DecodeLangBytes(std::string_view bytes, std::string_view baseName) {
  if (!HasBom(bytes) && !IsValidUtf8(bytes)) {
    const int id = LanguageIdOf(baseName);
    const char* codeset = id == static_cast<int>(TLanguage::cn)   ? "GB18030"
                          : id == static_cast<int>(TLanguage::tw) ? "BIG5-HKSCS"
                                                                  : nullptr;
    std::string utf8;
    if (codeset && LegacyToUtf8(bytes, codeset, &utf8)) return utf8;
  }
  return DecodeTextFile(bytes);
}

bool LoadLangFile(const std::string& path, TIniFile* ini) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(path, ec)) return false;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxLangFileBytes) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes;
  bytes.resize(static_cast<size_t>(size));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<size_t>(in.gcount()));
  ini->LoadFromBytes(DecodeLangBytes(bytes, fs::path(path).stem().string()));
  return true;
}

int LanguageIdOf(std::string_view baseName) {
  for (int id = 0; id <= 2; ++id) {
    if (EqualsNoCaseAscii(baseName, LanguageNameOf(id))) return id;
  }
  return kNoLanguage;
}

std::string LanguageNameOf(int id) {
  switch (id) {
    case static_cast<int>(TLanguage::cn): return "cn";
    case static_cast<int>(TLanguage::tw): return "tw";
    case static_cast<int>(TLanguage::en): return "en";
    default: return {};
  }
}

std::string DefaultLanguageForLocale(std::string_view localeName) {
  // Drop the code set and modifier: "zh_TW.UTF-8@x" -> "zh_tw".
  const size_t cut = localeName.find_first_of(".@");
  const std::string name = Lowered(localeName.substr(0, cut == std::string_view::npos ? localeName.size() : cut));
  const size_t langEnd = name.find_first_of("_-");
  const std::string lang = name.substr(0, langEnd);
  if (lang == "zh") {
    if (langEnd == std::string::npos) return "cn";
    // Every further part (script or territory) decides: Hant, TW, HK and MO
    // write traditional characters.
    size_t pos = langEnd + 1;
    while (pos <= name.size()) {
      size_t next = name.find_first_of("_-", pos);
      if (next == std::string::npos) next = name.size();
      const std::string part = name.substr(pos, next - pos);
      if (part == "hant" || part == "tw" || part == "hk" || part == "mo") return "tw";
      pos = next + 1;
    }
    return "cn";
  }
  if (lang == "ru") return "ru";
  return "en";
}

bool MakeLangItem(const TIniFile& ini, std::string_view fileName, TLangItem* item) {
  if (!ini.SectionExists("General")) return false;
  std::string_view base = fileName;
  if (const size_t dot = base.rfind('.'); dot != std::string_view::npos) base = base.substr(0, dot);
  item->FileName = std::string(fileName);
  item->Name = std::string(base);
  item->LangName = ini.ReadString("General", "Language", "<Unknown>");
  item->Language = LanguageIdOf(base);
  return true;
}

std::vector<std::string> SplitLangList(std::string_view text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  size_t start = 0;
  while (true) {
    const size_t slash = text.find('/', start);
    std::string_view part = text.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    const size_t first = part.find_first_not_of(' ');
    items.emplace_back(first == std::string_view::npos ? std::string_view() : part.substr(first));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return items;
}

std::string ColumnCaptionKey(std::string_view name, int column) {
  return std::string(name) + ".Columns[" + std::to_string(column) + "].Caption";
}

bool IsIniFileName(std::string_view fileName) {
  return fileName.size() > 4 && EqualsNoCaseAscii(fileName.substr(fileName.size() - 4), ".ini");
}

int CopyMissingLangFiles(const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return 0;
  fs::create_directories(to, ec);
  int copied = 0;
  for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc) || !IsIniFileName(it->path().filename().string())) continue;
    if (it->file_size(fileEc) > kMaxLangFileBytes || fileEc) continue;
    const fs::path target = fs::path(to) / it->path().filename();
    if (fs::exists(target, fileEc)) continue;
    if (fs::copy_file(it->path(), target, fileEc)) ++copied;
  }
  return copied;
}

}  // namespace vz
