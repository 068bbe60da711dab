// Which language a module starts with, and choosing another.
#include <gtest/gtest.h>

#include <QStringList>
#include <cctype>
#include <ostream>

#include "LangForm.h"
#include "LangMgr.h"
#include "RegStore.h"
#include "LangTestFiles.h"

namespace {

using langtest::LangFolder;

constexpr char kRu[] = "[General]\nLanguage=Русский\n[Message]\nHello=Привет\n";

struct StartCase {
  const char* label;
  const char* stored;  // "" for no stored choice
  const char* locale;
  bool withRu;
  const char* removed;  // a standard file deleted before the start, or ""
  const char* wantName;
  int wantId;
  const char* wantFile;  // "" for no current item
};

const StartCase kStartCases[] = {
    {"stored en", "en.ini", "zh_CN", false, "", "en", 2, "en.ini"},
    {"stored tw over the locale", "tw.ini", "en_US", false, "", "tw", 1, "tw.ini"},
    {"stored file deleted", "tw.ini", "zh_CN", false, "tw.ini", "en", 2, "en.ini"},
    {"stored ru", "ru.ini", "en_US", true, "", "ru", -1, "ru.ini"},
    {"stored path outside the folder", "../en.ini", "en_US", false, "", "en", 2, "en.ini"},
    {"locale zh_TW", "", "zh_TW", false, "", "tw", 1, "tw.ini"},
    {"locale zh_HK", "", "zh_HK.UTF-8", false, "", "tw", 1, "tw.ini"},
    {"locale zh_CN", "", "zh_CN", false, "", "cn", 0, "cn.ini"},
    {"locale ru with ru.ini", "", "ru_RU", true, "", "ru", -1, "ru.ini"},
    {"locale ru without ru.ini", "", "ru_RU", false, "", "en", 2, "en.ini"},
    {"locale de", "", "de_DE", false, "", "en", 2, "en.ini"},
    {"locale zh_TW without tw.ini", "", "zh_TW", false, "tw.ini", "en", 2, "en.ini"},
    {"no file for the language", "", "de_DE", false, "en.ini", "en", -1, ""},
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.label; }

class LangMgrStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(LangMgrStart, EstablishesTheCurrentLanguage) {
  const StartCase& c = GetParam();
  LangFolder folder;
  folder.WriteStandardSet();
  if (c.withRu) folder.Write("ru.ini", kRu);
  if (*c.removed) folder.Remove(c.removed);
  if (*c.stored) folder.StoreChoice(c.stored);

  TLangMgr mgr(folder.Settings(c.locale));
  EXPECT_EQ(mgr.CurrentName(), c.wantName);
  EXPECT_EQ(mgr.CurrentID(), c.wantId);
  if (*c.wantFile) {
    ASSERT_NE(mgr.CurrentItem(), nullptr);
    EXPECT_EQ(mgr.CurrentItem()->FileName, c.wantFile);
    EXPECT_EQ(mgr.CurrentFilePath(), folder.Folder() + c.wantFile);
  } else {
    EXPECT_EQ(mgr.CurrentItem(), nullptr);
    EXPECT_EQ(mgr.CurrentFilePath(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Table, LangMgrStart, ::testing::ValuesIn(kStartCases),
                         [](const ::testing::TestParamInfo<StartCase>& param) {
                           std::string name = param.param.label;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(LangMgr, ListsLanguageFilesOnlyInNameOrder) {
  LangFolder folder;
  folder.WriteStandardSet();
  folder.Write("zz.ini", "[General]\n");                     // no display name
  folder.Write("aa.ini", "[Message]\nHello=x\n");           // no General: not a language file
  folder.Write("notes.txt", "[General]\nLanguage=Notes\n");  // not an INI file
  folder.Write("Ru.INI", kRu);

  TLangMgr mgr(folder.Settings());
  QStringList names;
  EXPECT_EQ(mgr.GetLanguages(names), 2);
  EXPECT_EQ(names, (QStringList{"Русский", "简体中文", "English", "繁體中文", "<Unknown>"}));
  ASSERT_EQ(mgr.Items().size(), 5u);
  EXPECT_EQ(mgr.Items()[0].Name, "Ru");
  EXPECT_EQ(mgr.Items()[0].Language, -1);
  EXPECT_EQ(mgr.Items()[1].Language, 0);
  EXPECT_EQ(mgr.Items()[4].FileName, "zz.ini");
}

TEST(LangMgr, RuIsReachedByNameButNotByIdentifier) {
  LangFolder folder;
  folder.WriteStandardSet();
  folder.Write("ru.ini", kRu);
  TLangMgr mgr(folder.Settings());

  mgr.SelectByID(-1);
  EXPECT_EQ(mgr.CurrentName(), "en");
  EXPECT_EQ(mgr.CurrentID(), 2);

  mgr.SelectByName(QString::fromUtf8("Русский"));
  EXPECT_EQ(mgr.CurrentName(), "ru");
  EXPECT_EQ(mgr.CurrentID(), -1);
  EXPECT_EQ(mgr.StoredChoice(), "ru.ini");

  mgr.SelectByID(1);
  EXPECT_EQ(mgr.CurrentName(), "tw");
  EXPECT_EQ(mgr.StoredChoice(), "tw.ini");
}

TEST(LangMgr, SelectionMatchesDisplayNamesExactly) {
  LangFolder folder;
  folder.WriteStandardSet();
  TLangMgr mgr(folder.Settings());
  mgr.SelectByName("english");
  mgr.SelectByID(7);
  EXPECT_EQ(mgr.CurrentName(), "en");
  EXPECT_EQ(mgr.StoredChoice(), "");  // nothing matched, nothing stored
}

TEST(LangMgr, StoredChoiceSurvivesARestart) {
  LangFolder folder;
  folder.WriteStandardSet();
  {
    TLangMgr first(folder.Settings("en_US"));
    first.SelectByName(QString::fromUtf8("繁體中文"));
  }
  TLangMgr second(folder.Settings("zh_CN"));
  EXPECT_EQ(second.CurrentName(), "tw");
  EXPECT_EQ(second.CurrentID(), 1);
}

TEST(LangMgr, TheSdkKeepsItsFilesBesideItsModule) {
  const TLangMgrSettings sdk = TLangMgrSettings::ForSdk();
  const std::string suffix = "/vzSDKLanguage/";
  ASSERT_GT(sdk.Folder.size(), suffix.size());
  EXPECT_EQ(sdk.Folder.substr(sdk.Folder.size() - suffix.size()), suffix);
  EXPECT_EQ(sdk.StoreKey, "Software\\vzSoft\\vzSDK");
  EXPECT_EQ(sdk.StoreSection, "Language");
  EXPECT_EQ(sdk.StoreValue, "common_lang_test");
}

TEST(LangMgr, ChoiceIsKeptPerModule) {
  LangFolder folder;
  folder.WriteStandardSet();
  TLangMgrSettings sdk = folder.Settings();
  sdk.StoreKey = "Software\\vzSDK";
  TLangMgr client(folder.Settings());
  TLangMgr library(sdk);
  client.SelectByID(0);
  library.SelectByID(1);
  EXPECT_EQ(TLangMgr(folder.Settings()).CurrentName(), "cn");
  EXPECT_EQ(TLangMgr(sdk).CurrentName(), "tw");
}

}  // namespace
