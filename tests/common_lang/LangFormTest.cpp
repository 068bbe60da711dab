// Re-labelling forms, message lookups, language menus and switching.
#include <gtest/gtest.h>

#include <QMenu>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "LangDemoForms.h"
#include "LangForm.h"
#include "LangMgr.h"
#include "LangTestFiles.h"

namespace {

using langtest::LangFolder;

constexpr char kApplyFile[] =
    "[General]\nLanguage=English\n"
    "[TFLangDemo]\n"
    "Caption=Demo form\n"
    "BtnOK.Caption=Accept\n"
    "BtnOK.Hint=Accept and close\n"
    "lblEmpty.Caption=\n"
    "chkHint.Hint=Tick me\n"
    "N1.Caption=Separator text\n"
    "mDash.Caption=Not a dash\n"
    "mDash.Hint=Dash hint\n"
    "mFile.Caption=File menu\n"
    "mOpen.Caption=Open file\n"
    "gbBox.Caption=Group\n"
    "tsFirst.Caption=Page one\n"
    "lvList.Hint=List hint\n"
    "lvCols.Columns[1].Caption=Second\n"
    "tblGrid.Columns[0].Caption=X0\n"
    "tblGrid.Columns[2].Caption=Z2\n"
    "tblGrid.Columns[9].Caption=none\n"
    "edtName.Caption=User name:\n"
    "cbKind.Caption=Category\n";

struct Expect {
  const char* what;
  std::function<QString(const TFLangDemo&)> read;
  const char* want;
};

TEST(LangForm, AppliesTheFormSectionToEveryKindOfControl) {
  LangFolder folder;
  folder.Write("en.ini", kApplyFile);
  TLangMgr mgr(folder.Settings());
  TFLangDemo form;
  TLangForm lang(&form, &mgr);

  const std::vector<Expect> expects = {
      {"form caption", [](const TFLangDemo& f) { return f.windowTitle(); }, "Demo form"},
      {"button caption", [](const TFLangDemo& f) { return f.BtnOK->text(); }, "Accept"},
      {"button hint", [](const TFLangDemo& f) { return f.BtnOK->toolTip(); }, "Accept and close"},
      {"button without keys", [](const TFLangDemo& f) { return f.BtnKeep->text(); }, "Keep"},
      {"empty value keeps the caption", [](const TFLangDemo& f) { return f.lblEmpty->text(); }, "Stays"},
      {"check box caption untouched", [](const TFLangDemo& f) { return f.chkHint->text(); }, "Check"},
      {"check box hint", [](const TFLangDemo& f) { return f.chkHint->toolTip(); }, "Tick me"},
      {"separator", [](const TFLangDemo& f) { return f.N1->isSeparator() ? f.N1->text() : QString("lost"); }, ""},
      {"dash caption", [](const TFLangDemo& f) { return f.mDash->text(); }, "-"},
      {"dash hint", [](const TFLangDemo& f) { return f.mDash->toolTip(); }, "Dash hint"},
      {"menu title", [](const TFLangDemo& f) { return f.mFile->title(); }, "File menu"},
      {"menu entry", [](const TFLangDemo& f) { return f.mOpen->text(); }, "Open file"},
      {"group box", [](const TFLangDemo& f) { return f.gbBox->title(); }, "Group"},
      {"tab page", [](const TFLangDemo& f) { return f.tabs->tabText(0); }, "Page one"},
      {"list hint", [](const TFLangDemo& f) { return f.lvList->toolTip(); }, "List hint"},
      {"list column 0 kept", [](const TFLangDemo& f) { return f.lvList->headerItem()->text(0); }, "A"},
      {"list column 1 kept", [](const TFLangDemo& f) { return f.lvList->headerItem()->text(1); }, "B"},
      {"tree column 0 kept", [](const TFLangDemo& f) { return f.lvCols->headerItem()->text(0); }, "C0"},
      {"tree column 1", [](const TFLangDemo& f) { return f.lvCols->headerItem()->text(1); }, "Second"},
      {"table column 0", [](const TFLangDemo& f) { return f.tblGrid->horizontalHeaderItem(0)->text(); }, "X0"},
      {"table column 1 kept", [](const TFLangDemo& f) { return f.tblGrid->horizontalHeaderItem(1)->text(); }, "Y"},
      {"table column 2", [](const TFLangDemo& f) { return f.tblGrid->horizontalHeaderItem(2)->text(); }, "Z2"},
      {"sub-label", [](const TFLangDemo& f) { return f.edtNameLabel->text(); }, "User name:"},
      {"buddy label", [](const TFLangDemo& f) { return f.lblKind->text(); }, "Category"},
      {"child dialog button", [](const TFLangDemo& f) { return f.childOK->text(); }, "Child OK"},
  };
  for (const Expect& e : expects) EXPECT_EQ(e.read(form), QString::fromUtf8(e.want)) << e.what;
}

TEST(LangForm, NamespacesAreNoPartOfTheSection) {
  LangFolder folder;
  folder.Write("en.ini", "[General]\nLanguage=English\n[TFSpaced]\nBtnGo.Caption=Go on\n");
  TLangMgr mgr(folder.Settings());
  demo::TFSpaced form;
  TLangForm lang(&form, &mgr);
  EXPECT_EQ(lang.FormSection(), "TFSpaced");
  EXPECT_EQ(form.BtnGo->text(), "Go on");
}

TEST(LangForm, WithoutLanguageFilesFormsKeepTheirTexts) {
  LangFolder folder;  // empty language folder
  TLangMgr mgr(folder.Settings());
  TFLangDemo form;
  TLangForm lang(&form, &mgr);
  QString seen = "not called";
  lang.OnLanguageChange = [&](QObject*, const QString& language) { seen = language; };
  lang.LoadLanguage();
  EXPECT_EQ(seen, "en");
  EXPECT_EQ(form.windowTitle(), "Built demo");
  EXPECT_EQ(form.BtnOK->text(), "Built OK");
  EXPECT_EQ(lang.GetMsg("Hello"), "");
  EXPECT_EQ(lang.ReadValue("Message", "Hello"), "");
  EXPECT_EQ(lang.ReadFormValue("Caption", "fallback"), "fallback");
  EXPECT_EQ(lang.GetLanguageName(), "");
  EXPECT_EQ(lang.GetLanguageID(), -1);
}

TEST(LangForm, SwitchingRelabelsEveryOpenFormAndRaisesTheEvent) {
  LangFolder folder;
  folder.WriteStandardSet();
  TLangMgr mgr(folder.Settings());
  TFLangDemo demo;
  TFOther other;
  TLangForm demoLang(&demo, &mgr);
  TLangForm otherLang(&other, &mgr);
  std::vector<std::pair<QObject*, QString>> events;
  demoLang.OnLanguageChange = [&](QObject* sender, const QString& language) { events.emplace_back(sender, language); };
  otherLang.OnLanguageChange = demoLang.OnLanguageChange;
  EXPECT_EQ(demo.BtnOK->text(), "OK");
  EXPECT_EQ(other.windowTitle(), "Other");

  mgr.SelectByName(QString::fromUtf8("简体中文"));
  EXPECT_EQ(demo.windowTitle(), QString::fromUtf8("演示"));
  EXPECT_EQ(demo.BtnOK->text(), QString::fromUtf8("确定"));
  EXPECT_EQ(demo.BtnOK->toolTip(), QString::fromUtf8("接受"));
  EXPECT_EQ(other.windowTitle(), "");  // an empty caption value empties the form caption
  EXPECT_EQ(other.BtnGo->text(), QString::fromUtf8("开始"));
  const std::vector<std::pair<QObject*, QString>> want = {{&demoLang, "cn"}, {&otherLang, "cn"}};
  EXPECT_EQ(events, want);
  EXPECT_EQ(demoLang.GetMsg("Hello"), QString::fromUtf8("你好"));
  EXPECT_EQ(demoLang.GetLanguageName(), QString::fromStdString(folder.Folder()) + QString::fromUtf8("简体中文"));

  // tw.ini has no section for TFOther: that form keeps what it shows.
  events.clear();
  mgr.SelectByID(1);
  EXPECT_EQ(demo.BtnOK->text(), QString::fromUtf8("確定"));
  EXPECT_EQ(other.BtnGo->text(), QString::fromUtf8("开始"));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].second, "tw");
}

TEST(LangForm, AFormClosedDuringASwitchIsNotReloaded) {
  LangFolder folder;
  folder.WriteStandardSet();
  TLangMgr mgr(folder.Settings());
  TFLangDemo demo;
  auto* other = new TFOther;
  TLangForm demoLang(&demo, &mgr);
  auto* otherLang = new TLangForm(other, &mgr);
  int otherCalls = 0;
  otherLang->OnLanguageChange = [&](QObject*, const QString&) { ++otherCalls; };
  demoLang.OnLanguageChange = [&](QObject*, const QString&) {
    delete other;  // takes its language component with it
    other = nullptr;
  };
  mgr.SelectByID(0);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(otherCalls, 0);
  EXPECT_EQ(demo.BtnOK->text(), QString::fromUtf8("确定"));
}

TEST(LangForm, MessagesAreReadFromTheFileAsItIsNow) {
  LangFolder folder;
  folder.WriteStandardSet();
  TLangMgr mgr(folder.Settings());
  TFLangDemo demo;
  TLangForm lang(&demo, &mgr);
  EXPECT_EQ(lang.GetMsg("Hello"), "Hello");
  EXPECT_EQ(lang.GetMsg("Caption", 1), "Demo");
  EXPECT_EQ(lang.GetMsg("Caption", 0), "");
  EXPECT_EQ(lang.GetMsg("Missing"), "");
  EXPECT_EQ(lang.ReadValue("TFOther", "BtnGo.Caption"), "Go");

  folder.Write("en.ini", "[General]\nLanguage=English\n[Message]\nHello=Hi again\n[TFLangDemo]\nCaption=Later\n");
  EXPECT_EQ(lang.GetMsg("Hello"), "Hi again");
  EXPECT_EQ(lang.ReadFormValue("Caption", ""), "Demo");  // the loaded file until the next load
  lang.LoadLanguage();
  EXPECT_EQ(demo.windowTitle(), "Later");
}

TEST(LangForm, LanguageMenuChecksTheCurrentLanguageAndSwitches) {
  LangFolder folder;
  folder.WriteStandardSet();
  folder.StoreChoice("en.ini");
  TLangMgr mgr(folder.Settings("zh_CN"));
  TFLangDemo demo;
  TLangForm lang(&demo, &mgr);
  QMenu menu;
  menu.addAction("stale entry");
  lang.SetMenuItem(&menu);
  QMenu popup;
  lang.SetPopupMenu(&popup);

  const QList<QAction*> entries = menu.actions();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0]->text(), QString::fromUtf8("简体中文"));
  EXPECT_EQ(entries[1]->text(), "English");
  EXPECT_EQ(entries[2]->text(), QString::fromUtf8("繁體中文"));
  EXPECT_EQ(lang.GetLanguageID(), 2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i]->isChecked(), i == 1) << i;
    EXPECT_EQ(entries[i]->data().toInt(), i);
    EXPECT_FALSE(popup.actions()[i]->isChecked()) << i;
  }

  QString seen;
  lang.OnLanguageChange = [&](QObject*, const QString& language) { seen = language; };
  entries[2]->trigger();
  EXPECT_EQ(seen, "tw");
  EXPECT_EQ(lang.GetLanguageID(), 1);
  EXPECT_TRUE(entries[2]->isChecked());
  EXPECT_FALSE(entries[1]->isChecked());
  EXPECT_EQ(demo.BtnOK->text(), QString::fromUtf8("確定"));
  EXPECT_EQ(mgr.StoredChoice(), "tw.ini");

  // The popup's entries switch as well, and a language added since is found.
  folder.Write("ru.ini", "[General]\nLanguage=Russian\n");
  lang.SetLanguageName("Russian");
  EXPECT_EQ(seen, "ru");
  EXPECT_EQ(lang.GetLanguageID(), -1);
  popup.actions()[0]->trigger();
  EXPECT_EQ(seen, "cn");
}

TEST(LangForm, SetLanguageIdRescansTheFolder) {
  LangFolder folder;
  folder.Write("en.ini", "[General]\nLanguage=English\n");
  TLangMgr mgr(folder.Settings());
  TFLangDemo demo;
  TLangForm lang(&demo, &mgr);
  folder.WriteStandardSet();
  lang.SetLanguageID(0);
  EXPECT_EQ(lang.GetLanguageID(), 0);
  EXPECT_EQ(demo.BtnOK->text(), QString::fromUtf8("确定"));
  QStringList names;
  EXPECT_EQ(lang.GetLanguages(names), 0);
  EXPECT_EQ(names.size(), 3);
}

}  // namespace
