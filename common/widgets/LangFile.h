#pragma once
// The language files: one INI file per language in the language folder, named
// after the language ("en.ini"). Section "General" key "Language" holds the
// name shown in language menus; a file without that section is not a language
// file. Forms keep their texts in a section named after the form class,
// shared messages live in "Message", log texts in "LogRes".
//
// This unit is free of Qt so the file handling can be fuzzed on its own.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIniFile;

// The languages other modules can be told about by number; a file whose base
// name is none of these has the identifier -1.
enum class TLanguage : int { cn = 0, tw = 1, en = 2 };

constexpr int kNoLanguage = -1;

struct TLangItem {
  int Language = kNoLanguage;  // TLanguage value, or -1
  std::string Name;            // base name, "en"
  std::string LangName;        // display name from General/Language
  std::string FileName;        // "en.ini"
};

namespace vz {

// Language files bigger than this are refused: no real one comes close, and a
// huge file dropped into the folder must not stall every form.
constexpr std::uintmax_t kMaxLangFileBytes = 4u << 20;

// The identifier of a base name ("cn", "tw", "en"; ASCII case ignored), or -1.
int LanguageIdOf(std::string_view baseName);
// The base name of an identifier, "" for anything but 0, 1, 2.
std::string LanguageNameOf(int id);

// The default language of a locale name as the C library or Qt spells it
// ("zh_TW", "zh-Hant-HK", "ru_RU.UTF-8"): traditional Chinese locales give
// "tw", other Chinese ones "cn", Russian "ru", everything else "en".
std::string DefaultLanguageForLocale(std::string_view localeName);

// The text of a language file as UTF-8. A BOM or valid UTF-8 decides as for
// every INI file; other 8-bit text is read in the legacy code page of the
// language it is named after (GB18030 for "cn", Big5-HKSCS for "tw"), and as
// Latin-1 when that fails or the language has no such code page.
std::string DecodeLangBytes(std::string_view bytes, std::string_view baseName);
// Loads a language file through DecodeLangBytes; false when it is missing,
// not a regular file, bigger than kMaxLangFileBytes or unreadable.
bool LoadLangFile(const std::string& path, TIniFile* ini);

// Fills an item from a loaded language file; false when the file has no
// "General" section. The display name defaults to "<Unknown>".
bool MakeLangItem(const TIniFile& ini, std::string_view fileName, TLangItem* item);

// Splits a combo or radio item list ("Normal/ Alarm") at "/"; leading blanks
// of every item are dropped. An empty text gives no items.
std::vector<std::string> SplitLangList(std::string_view text);

// Key of a list view column caption: name + ".Columns[i].Caption".
std::string ColumnCaptionKey(std::string_view name, int column);

// True for "*.ini" in any ASCII case, the file pattern of the language folder.
bool IsIniFileName(std::string_view fileName);

// Copies every language file ("*.ini") of folder `from` that folder `to`
// lacks, creating `to` when needed; files already there are left alone.
// Answers how many were copied.
int CopyMissingLangFiles(const std::string& from, const std::string& to);

}  // namespace vz
