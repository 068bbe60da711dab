// The template writer: language files prepared, a form's texts collected.
#include <gtest/gtest.h>

#include <QString>

#include "IniFile.h"
#include "LangDemoForms.h"
#include "LangForm.h"
#include "LangMgr.h"
#include "LangTestFiles.h"

namespace {

using langtest::LangFolder;
using langtest::Utf16File;

std::string Bytes(const QByteArray& b) { return std::string(b.constData(), static_cast<size_t>(b.size())); }

TEST(LangTemplate, WritesTheFormTextsAsUtf16WithoutOverwritingTranslations) {
  LangFolder folder;
  TLangMgrSettings settings = folder.Settings();
  settings.Folder += "new/";  // the writer creates a missing folder
  TLangMgr mgr(settings);
  TFTemplateDemo form;
  TLangForm lang(&form, &mgr);
  QStringList shown;
  lang.OnShowMessage = [&](const QString& text) { shown << text; };

  lang.SetCreateDemoIni(true);
  EXPECT_FALSE(lang.CreateDemoIni());
  const std::string formFile = settings.Folder + "TFTemplateDemo.ini";
  ASSERT_EQ(shown, QStringList{"Save to : " + QString::fromStdString(formFile)});
  EXPECT_EQ(vztest::ReadFileBytes(formFile),
            Bytes(Utf16File("[TFTemplateDemo]\r\n"
                            "Caption=Template demo\r\n"
                            "BtnOK.Caption=OK\r\n"
                            "BtnOK.Hint=Accept it\r\n"
                            "lv.Columns[0].Caption=Index\r\n"
                            "lv.Columns[1].Caption=Name\r\n"
                            "edtName.Caption=Name:\r\n")));

  // A translator's edit stays; the caption follows the form.
  TIniFile edited(formFile);
  edited.WriteString("TFTemplateDemo", "BtnOK.Caption", "Okay");
  ASSERT_TRUE(edited.Save());
  form.setWindowTitle("Renamed");
  lang.SetCreateDemoIni(true);
  TIniFile again(formFile);
  EXPECT_EQ(again.ReadString("TFTemplateDemo", "Caption", ""), "Renamed");
  EXPECT_EQ(again.ReadString("TFTemplateDemo", "BtnOK.Caption", ""), "Okay");
  EXPECT_EQ(again.Keys("TFTemplateDemo").size(), 6u);
}

TEST(LangTemplate, PreparesTheThreeLanguageFilesKeepingTheirContent) {
  LangFolder folder;
  folder.Write("en.ini", "[General]\nLanguage=Old\n[Message]\nHello=Hello\n");
  const TLangMgrSettings settings = folder.Settings();
  TLangMgr mgr(settings);
  TFTemplateDemo form;
  TLangForm lang(&form, &mgr);
  int shown = 0;
  lang.OnShowMessage = [&](const QString&) { ++shown; };
  lang.SetCreateDemoIni(true);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(TIniFile(settings.Folder + "en.ini").ReadString("Message", "Hello", ""), "Hello");

  const struct {
    const char* file;
    const char* name;
  } files[] = {{"cn.ini", "简体中文"}, {"en.ini", "English"}, {"tw.ini", "繁體中文"}};
  for (const auto& f : files) {
    const std::string path = settings.Folder + f.file;
    EXPECT_EQ(vztest::ReadFileBytes(path).substr(0, 2), "\xFF\xFE") << f.file;
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("General", "Language", ""), f.name) << f.file;
    EXPECT_EQ(ini.ReadString("General", "rem Language", ""), "Chinese(Simplified)/Chinese(Traditional)/English");
    EXPECT_TRUE(ini.ValueExists("Message", "Msg1")) << f.file;
    EXPECT_EQ(ini.ReadString("Message", "Msg1", "x"), "") << f.file;
  }
  // The written files are language files the manager now lists.
  mgr.Refresh();
  QStringList names;
  mgr.GetLanguages(names);
  EXPECT_EQ(names, (QStringList{QString::fromUtf8("简体中文"), "English", QString::fromUtf8("繁體中文")}));
}

}  // namespace
