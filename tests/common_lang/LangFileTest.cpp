// Language names, locales, item lists and the supplied language files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "IniFile.h"
#include "LangFile.h"
#include "TestEnv.h"

namespace {

TEST(LangFile, IdentifiersOfBaseNames) {
  const struct {
    const char* name;
    int id;
  } cases[] = {{"cn", 0}, {"tw", 1}, {"en", 2}, {"EN", 2}, {"Tw", 1}, {"ru", -1}, {"", -1}, {"eng", -1}, {"e", -1}};
  for (const auto& c : cases) EXPECT_EQ(vz::LanguageIdOf(c.name), c.id) << c.name;
  EXPECT_EQ(vz::LanguageNameOf(1), "tw");
  EXPECT_EQ(vz::LanguageNameOf(-1), "");
  EXPECT_EQ(vz::LanguageNameOf(3), "");
}

TEST(LangFile, DefaultLanguageOfLocales) {
  const struct {
    const char* locale;
    const char* want;
  } cases[] = {
      {"zh_TW", "tw"},       {"zh_HK.UTF-8", "tw"}, {"zh-Hant-HK", "tw"}, {"zh_MO", "tw"},
      {"zh_CN", "cn"},       {"zh_SG", "cn"},       {"zh", "cn"},         {"zh-Hans", "cn"},
      {"ru_RU.UTF-8", "ru"}, {"ru", "ru"},          {"en_US", "en"},      {"de_DE@euro", "en"},
      {"C", "en"},           {"", "en"},            {"zhx_TW", "en"},     {"tw", "en"},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::DefaultLanguageForLocale(c.locale), c.want) << c.locale;
}

TEST(LangFile, ItemListsSplitAtSlashes) {
  const struct {
    const char* text;
    std::vector<std::string> want;
  } cases[] = {
      {"", {}},
      {"Normal", {"Normal"}},
      {"Normal/ Alarm", {"Normal", "Alarm"}},
      {"  a /b  /", {"a ", "b  ", ""}},
      {"//", {"", "", ""}},
      {"   ", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::SplitLangList(c.text), c.want) << c.text;
}

TEST(LangFile, ItemsNeedAGeneralSection) {
  TIniFile ini;
  ini.LoadFromBytes("[Message]\nA=b\n");
  TLangItem item;
  EXPECT_FALSE(vz::MakeLangItem(ini, "xx.ini", &item));
  ini.LoadFromBytes("[general]\n");
  ASSERT_TRUE(vz::MakeLangItem(ini, "tw.ini", &item));
  EXPECT_EQ(item.LangName, "<Unknown>");
  EXPECT_EQ(item.Name, "tw");
  EXPECT_EQ(item.Language, 1);
  EXPECT_EQ(vz::ColumnCaptionKey("lv", 12), "lv.Columns[12].Caption");
  EXPECT_TRUE(vz::IsIniFileName("a.INI"));
  EXPECT_FALSE(vz::IsIniFileName(".ini"));
  EXPECT_FALSE(vz::IsIniFileName("a.ini.bak"));
}

TEST(LangFile, LegacyFilesAreReadInTheirLanguagesCodePage) {
  const std::string gbk = "Language=\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4";  // GB18030
  const std::string big5 = "Language=\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5";  // Big5
  const struct {
    const char* label;
    std::string bytes;
    const char* base;
    std::string want;
  } cases[] = {
      {"cn in GB18030", gbk, "cn", "Language=简体中文"},
      {"cn named in capitals", gbk, "CN", "Language=简体中文"},
      {"tw in Big5", big5, "tw", "Language=繁體中文"},
      {"en has no legacy code page", "A=\xE9t\xE9", "en", "A=été"},
      {"ru has no legacy code page", "A=\xE9", "ru", "A=é"},
      {"UTF-8 stays", "A=简体", "cn", "A=简体"},
      {"UTF-16 with BOM", std::string("\xFF\xFE" "A\0=\0\x80\x7B", 8), "tw", "A=简"},
      {"cut multibyte falls back to Latin-1", "A=\xBC", "cn", "A=\xC2\xBC"},
      {"empty", "", "cn", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(vz::DecodeLangBytes(c.bytes, c.base), c.want) << c.label;

  vztest::TempDir dir;
  vztest::WriteFileBytes(dir / "cn.ini", "[General]\r\n" + gbk + "\r\n");
  TIniFile ini;
  ASSERT_TRUE(vz::LoadLangFile((dir / "cn.ini").string(), &ini));
  EXPECT_EQ(ini.ReadString("General", "Language", ""), "简体中文");
  EXPECT_FALSE(vz::LoadLangFile((dir / "none.ini").string(), &ini));
  EXPECT_FALSE(vz::LoadLangFile(dir.str(), &ini));
}

TEST(LangFile, ShippedFilesAreCopiedWhereMissing) {
  vztest::TempDir dir;
  std::filesystem::create_directories(dir / "shipped");
  vztest::WriteFileBytes(dir / "shipped/en.ini", "[General]\nLanguage=English\n");
  vztest::WriteFileBytes(dir / "shipped/cn.ini", "[General]\nLanguage=cn\n");
  vztest::WriteFileBytes(dir / "shipped/readme.txt", "x");
  const std::string target = (dir / "Language").string();
  std::filesystem::create_directories(target);
  vztest::WriteFileBytes(dir / "Language/en.ini", "mine");

  EXPECT_EQ(vz::CopyMissingLangFiles((dir / "shipped").string(), target), 1);
  EXPECT_EQ(vztest::ReadFileBytes(dir / "Language/en.ini"), "mine");
  EXPECT_EQ(vztest::ReadFileBytes(dir / "Language/cn.ini"), "[General]\nLanguage=cn\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "Language/readme.txt"));
  EXPECT_EQ(vz::CopyMissingLangFiles((dir / "absent").string(), target), 0);
}

// The printf conversions of a text, in order: a translation must take the
// same arguments as the English text.
std::vector<std::string> Conversions(const std::string& text) {
  static const std::regex conv("%[-+ #0-9.]*[sdnfxu%]");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), conv); it != std::sregex_iterator(); ++it) {
    out.push_back(it->str());
  }
  return out;
}

TEST(LangFile, SuppliedFilesAreCompleteAndAgree) {
  const std::string dir = VZ_LANG_SOURCE_DIR;
  const std::map<std::string, std::string> files = {{"en.ini", "English"}, {"cn.ini", "简体中文"}, {"tw.ini", "繁體中文"}};
  TIniFile en(dir + "/en.ini");
  // Keys other parts of the programs look up.
  const char* required[] = {"SetCfgSucceed", "SetCfgFail", "CmdSendSucceed", "CmdSendFail", "Succeed", "Fail",
                            "Msg_UserPsdError", "Msg_Delete", "Msg_Quit", "GroupNoUsed", "GroupName", "Connecting"};
  for (const char* key : required) EXPECT_FALSE(en.ReadString("Message", key, "").empty()) << key;

  for (const auto& [file, display] : files) {
    TIniFile ini(dir + "/" + file);
    EXPECT_EQ(ini.ReadString("General", "Language", ""), display) << file;
    TLangItem item;
    ASSERT_TRUE(vz::MakeLangItem(ini, file, &item));
    EXPECT_NE(item.Language, -1) << file;
    for (const char* section : {"Message", "LogRes"}) {
      const std::vector<std::string> keys = ini.Keys(section);
      EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size()) << file << " duplicates";
      EXPECT_EQ(keys, en.Keys(section)) << file << " [" << section << "]";
      for (const std::string& key : keys) {
        const std::string value = ini.ReadString(section, key, "");
        if (key != "Msg1") {
          EXPECT_FALSE(value.empty()) << file << " " << key;
        }
        EXPECT_EQ(Conversions(value), Conversions(en.ReadString(section, key, ""))) << file << " " << key;
      }
    }
  }
}

}  // namespace
