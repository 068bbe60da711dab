#pragma once
// TIniFile: the INI files of the suite (settings, device lists, language
// files, the per-user settings store).
//
// In memory every text is UTF-8. Files are written as UTF-16LE with the
// byte-order mark 0xFF 0xFE and CR LF line ends, through a temporary file and
// a rename so a crash never leaves half a file. Files are read as UTF-16LE
// (with BOM), UTF-8 (with or without BOM) or, when not valid UTF-8, as 8-bit
// Latin-1. Sections and keys keep their file order; names are matched without
// regard to ASCII case, as the Windows profile functions do. A malformed line
// is kept as it stands and written back unchanged, so nothing of a file is
// lost by reading and saving it.
//
// Line rules: a line whose first non-blank character is ';' is a comment;
// "[name]" (up to the last ']') opens a section; "key=value" splits at the
// first '=' with blanks and tabs trimmed on both sides; any other line is
// kept as it stands. Lines before the first section are kept but hold no
// keys. When a section or key occurs twice the first one answers, and writes
// go to it. Writes that a file could not give back are refused: an empty key,
// a key with '=' or a line break, a key starting with ';' or '['. Line breaks
// in values become blanks; text that is not UTF-8 is taken as Latin-1.
//
// An object is not shared between threads without a lock of the caller's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
 public:
  // Files larger than this are not read (Load answers false).
  static constexpr size_t kMaxFileBytes = 16u * 1024u * 1024u;

  TIniFile() = default;
  // Binds the object to a file and loads it; a missing or unreadable file
  // gives an empty object (Load answers false).
  explicit TIniFile(std::string path);

  bool Load(const std::string& path);
  void LoadFromBytes(std::string_view bytes);
  // Writes the whole content to the bound file (or the given one).
  bool Save() const;
  bool Save(const std::string& path) const;
  // The exact bytes Save writes: BOM, UTF-16LE, CR LF.
  std::string SaveToBytes() const;
  const std::string& FileName() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal or "0x" hexadecimal; def when missing or not a number.
  int64_t ReadInteger(std::string_view section, std::string_view key, int64_t def) const;
  // "0" is false, any other number true; def when missing or not a number.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  double ReadFloat(std::string_view section, std::string_view key, double def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" / "0"
  void WriteFloat(std::string_view section, std::string_view key, double value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::vector<std::string> Sections() const;                       // file order
  std::vector<std::string> Keys(std::string_view section) const;   // file order
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);
  void Clear();

 private:
  struct Line {
    std::string key;    // empty for comments, blank and malformed lines
    std::string value;  // the value, or the raw text of a non key line
  };
  struct Section {
    std::string name;
    std::string header;  // the section's line as read, written back unchanged
    std::vector<Line> lines;
  };
  Section* FindSection(std::string_view section);
  const Section* FindSection(std::string_view section) const;
  const Line* FindLine(std::string_view section, std::string_view key) const;
  void ParseText(const std::string& text);

  std::string path_;
  std::vector<std::string> preamble_;  // raw lines before the first section
  std::vector<Section> sections_;
};
