#pragma once
// TLangForm: the language component of one form.
//
// Created with its owner form (a QWidget subclass that declares Q_OBJECT, so
// its class name names its section in the language files), it registers with
// the module's manager and re-labels the form at once and at every language
// change (see LangProps.h for which texts a key reaches). The form refills
// what re-labelling cannot reach (combo item lists, composed texts) in
// OnLanguageChange; since that handler is assigned after construction, the
// form calls LoadLanguage once more when it has assigned it.
//
// GUI thread only. The component is a child of its form and goes with it.
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>


class QWidget;
class TIniFile;
class TLangMgr;

// Sender is the TLangForm, Language the current base name ("en").
using TLanguageChangeEvent = std::function<void(QObject* Sender, const QString& Language)>;

class TLangForm : public QObject {
  Q_OBJECT

 public:
  // mgr defaults to the module's manager LangMgr().
  explicit TLangForm(QWidget* owner, TLangMgr* mgr = nullptr);
  ~TLangForm() override;

  // A menu that becomes the language submenu: its entries are replaced by
  // one checkable entry per language, the current one checked.
  QMenu* MenuItem() const { return menuItem_; }
  void SetMenuItem(QMenu* menu);
  // The same for a popup menu, nothing checked.
  QMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu* menu);
  // Setting true writes the templates (the three language files and
  // <form class>.ini with the form's current texts); it reads false again.
  bool CreateDemoIni() const { return false; }
  void SetCreateDemoIni(bool value);

  TLanguageChangeEvent OnLanguageChange;
  // Shows the template writer's "Save to : " line; a message box when unset.
  std::function<void(const QString& text)> OnShowMessage;

  // Reopens the current language file, re-labels the form and raises
  // OnLanguageChange. Failures leave the form as it was.
  void LoadLanguage();
  // Key of the form's section from the loaded file; def without a file or key.
  QString ReadFormValue(const QString& key, const QString& def) const;
  // Reads the current language file afresh: scope 1 the form's section,
  // anything else section "Message". "" when absent.
  QString GetMsg(const QString& key, int scope = 0) const;
  QString ReadValue(const QString& section, const QString& key) const;
  // Display names of the languages; answers the current identifier.
  int GetLanguages(QStringList& names) const;
  void SetLanguageID(int id);
  void SetLanguageName(const QString& langName);
  int GetLanguageID() const;
  // Language folder + current display name; "" without a current language.
  QString GetLanguageName() const;

  QWidget* Owner() const { return owner_; }
  // Section of the owner form: its class name.
  QString FormSection() const;

 private:
  void ApplyTexts();
  void FillMenu(QMenu* menu, bool checkCurrent);

  QWidget* owner_;
  TLangMgr* mgr_;
  std::unique_ptr<TIniFile> ini_;  // the loaded language file, null when none
  QPointer<QMenu> menuItem_;
  QPointer<QMenu> popupMenu_;
};
