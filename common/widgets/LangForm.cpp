#include "LangForm.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>
#include <exception>

#include "IniFile.h"
#include "LangFile.h"
#include "LangMgr.h"
#include "LangProps.h"
#include "LangTemplate.h"
#include "LogWriter.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Marks the action groups a language menu was built with, so a refill can
// drop them.
constexpr char kLangGroupProperty[] = "vzLangMenuGroup";

}  // namespace

TLangForm::TLangForm(QWidget* owner, TLangMgr* mgr) : QObject(owner), owner_(owner), mgr_(mgr ? mgr : &LangMgr()) {
  mgr_->Register(this);
  LoadLanguage();
}

TLangForm::~TLangForm() { mgr_->Unregister(this); }

QString TLangForm::FormSection() const {
  return vz::LangFormSection(owner_);
}

void TLangForm::LoadLanguage() {
  ini_.reset();
  try {
    auto ini = std::make_unique<TIniFile>();
    if (vz::LoadLangFile(mgr_->CurrentFilePath(), ini.get())) {
      ini_ = std::move(ini);
      ApplyTexts();
    }
    if (OnLanguageChange) OnLanguageChange(this, Q(mgr_->CurrentName()));
  } catch (const std::exception& e) {
    vz::WriteLogF("LangForm LoadLanguage except:%s", e.what());
  } catch (...) {
    vz::WriteLog("LangForm LoadLanguage except:unknown");
  }
}

void TLangForm::ApplyTexts() {
  if (!owner_) return;
  owner_->setWindowTitle(ReadFormValue(QStringLiteral("Caption"), owner_->windowTitle()));
  const QList<QObject*> components = vz::LangComponents(owner_);
  for (QObject* obj : components) {
    const QString name = obj->objectName();
    for (vz::TLangProp prop : {vz::TLangProp::Caption, vz::TLangProp::Hint}) {
      QString current;
      if (!vz::ReadLangProp(obj, prop, &current) || current == QLatin1String("-")) continue;
      const QString text = ReadFormValue(name + QLatin1Char('.') + QLatin1String(vz::LangPropName(prop)), current);
      if (!text.isEmpty() && text != current) vz::WriteLangProp(obj, prop, text);
    }
    const int columns = vz::LangColumnCount(obj);
    for (int i = 0; i < columns; ++i) {
      const QString text = ReadFormValue(Q(vz::ColumnCaptionKey(name.toStdString(), i)), QString());
      if (!text.isEmpty()) vz::WriteLangColumn(obj, i, text);
    }
    if (QLabel* label = vz::LangSubLabel(owner_, obj)) {
      const QString text = ReadFormValue(name + QLatin1String(".Caption"), QString());
      if (!text.isEmpty()) vz::WriteLangProp(label, vz::TLangProp::Caption, text);
    }
  }
}

QString TLangForm::ReadFormValue(const QString& key, const QString& def) const {
  if (!ini_) return def;
  return Q(ini_->ReadString(FormSection().toStdString(), key.toStdString(), def.toStdString()));
}

QString TLangForm::GetMsg(const QString& key, int scope) const {
  return ReadValue(scope == 1 ? FormSection() : QStringLiteral("Message"), key);
}

QString TLangForm::ReadValue(const QString& section, const QString& key) const {
  TIniFile ini;
  if (!vz::LoadLangFile(mgr_->Folder() + mgr_->CurrentName() + ".ini", &ini)) return {};
  return Q(ini.ReadString(section.toStdString(), key.toStdString(), ""));
}

int TLangForm::GetLanguages(QStringList& names) const { return mgr_->GetLanguages(names); }

void TLangForm::SetLanguageID(int id) {
  mgr_->Refresh();
  mgr_->SelectByID(id);
}

void TLangForm::SetLanguageName(const QString& langName) {
  mgr_->Refresh();
  mgr_->SelectByName(langName);
}

int TLangForm::GetLanguageID() const { return mgr_->CurrentID(); }

QString TLangForm::GetLanguageName() const {
  const TLangItem* item = mgr_->CurrentItem();
  return item ? Q(mgr_->Folder() + item->LangName) : QString();
}

void TLangForm::SetMenuItem(QMenu* menu) {
  menuItem_ = menu;
  if (menu) FillMenu(menu, true);
}

void TLangForm::SetPopupMenu(QMenu* menu) {
  popupMenu_ = menu;
  if (menu) FillMenu(menu, false);
}

void TLangForm::FillMenu(QMenu* menu, bool checkCurrent) {
  // The menu may be refilled from inside one of its own entries' handlers:
  // old entries go with the next event loop turn, never under the caller.
  const QList<QAction*> old = menu->actions();
  for (QAction* action : old) {
    menu->removeAction(action);
    if (action->parent() == menu) action->deleteLater();
  }
  const QList<QActionGroup*> groups = menu->findChildren<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
  for (QActionGroup* group : groups) {
    if (group->property(kLangGroupProperty).toBool()) group->deleteLater();
  }

  auto* group = new QActionGroup(menu);
  group->setProperty(kLangGroupProperty, true);
  group->setExclusive(true);
  const TLangItem* current = mgr_->CurrentItem();
  const std::vector<TLangItem>& items = mgr_->Items();
  for (size_t i = 0; i < items.size(); ++i) {
    const QString name = Q(items[i].LangName);
    QString caption = name;
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));  // no accelerators in language names
    auto* action = new QAction(caption, menu);
    action->setCheckable(true);
    action->setData(static_cast<int>(i));
    group->addAction(action);
    menu->addAction(action);
    if (checkCurrent && current && items[i].LangName == current->LangName) action->setChecked(true);
    connect(action, &QAction::triggered, this, [this, action, name] {
      SetLanguageName(name);
      action->setChecked(true);
    });
  }
}

void TLangForm::SetCreateDemoIni(bool value) {
  if (!value || !owner_) return;
  const std::string path = vz::WriteLangTemplates(owner_, mgr_->Folder());
  if (path.empty()) {
    vz::WriteLogF("LangForm CreateDemoIni except:%s", mgr_->Folder().c_str());
    return;
  }
  const QString text = QStringLiteral("Save to : ") + Q(path);
  if (OnShowMessage) {
    OnShowMessage(text);
  } else {
    QMessageBox::information(owner_, QString(), text);
  }
}
