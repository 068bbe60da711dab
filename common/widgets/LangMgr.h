#pragma once
// TLangMgr: the module's language files and the current choice.
//
// Each module (the client program, the SDK) has one manager with its own
// language folder and its own stored choice. The manager lists the language
// files of the folder (sorted by file name, so every machine shows the same
// menu), remembers which one is current, stores a choice in the per-user
// settings store and tells every registered TLangForm to re-label its form.
// Everything runs on the GUI thread; the manager has no lock.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "LangFile.h"

class TLangForm;

struct TLangMgrSettings {
  // Folder of the language files, with a trailing "/".
  std::string Folder;
  // Where the choice is stored: settings store key, section and value name.
  std::string StoreKey;
  std::string StoreSection = "Language";
  std::string StoreValue;
  // Locale deciding the default language when nothing is stored; empty means
  // the system's locale.
  std::string LocaleName;

  // The client's settings: AppFolder() + "Language/", key
  // "Software\vzSoft\<application name>", value named after the executable.
  static TLangMgrSettings ForProgram();
  // The SDK's settings inside any host: the folder "vzSDKLanguage/" beside
  // the library file, key "Software\vzSoft\vzSDK", value named after the
  // host's executable.
  static TLangMgrSettings ForSdk();
};

class TLangMgr {
 public:
  // Scans the folder and establishes the current language at once.
  explicit TLangMgr(TLangMgrSettings settings);
  TLangMgr(const TLangMgr&) = delete;
  TLangMgr& operator=(const TLangMgr&) = delete;

  // Points the manager elsewhere (the SDK's start-up code does this) and
  // rescans.
  void Configure(TLangMgrSettings settings);
  const TLangMgrSettings& Settings() const { return settings_; }
  const std::string& Folder() const { return settings_.Folder; }

  // Rescans the folder and re-establishes the current language from the
  // stored choice or the system's default.
  void Refresh();
  // Display names in item order; answers the current identifier.
  int GetLanguages(QStringList& names) const;

  void Register(TLangForm* form);
  void Unregister(TLangForm* form);

  // Makes the first matching item current, stores it and reloads every
  // registered form (also when nothing matched). Identifiers other than
  // cn, tw, en match nothing.
  void SelectByID(int id);
  // The same by display name, exact and case-sensitive.
  void SelectByName(const QString& langName);

  // Folder + current item's file name; "" without a current item.
  std::string CurrentFilePath() const;
  // Base name of the current language ("en"), used for message lookups.
  const std::string& CurrentName() const { return currentName_; }
  int CurrentID() const { return currentId_; }
  // Null without a current item.
  const TLangItem* CurrentItem() const;
  const std::vector<TLangItem>& Items() const { return items_; }

  // The stored choice (a file name), "" when none is stored.
  std::string StoredChoice() const;

 private:
  void Select(size_t index);
  void ReloadForms();
  void StoreChoice(const std::string& fileName) const;
  bool FileExists(const std::string& fileName) const;

  TLangMgrSettings settings_;
  std::vector<TLangItem> items_;
  std::vector<TLangForm*> forms_;  // registration order
  int currentId_ = kNoLanguage;
  int currentIndex_ = -1;          // into items_, -1 for none
  std::string currentName_ = "en";
};

// The module's manager, created on first use with TLangMgrSettings::ForProgram().
TLangMgr& LangMgr();
