#include "LangMgr.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "AppPaths.h"
#include "IniFile.h"
#include "LangForm.h"
#include "LogWriter.h"
#include "RegStore.h"

namespace fs = std::filesystem;

namespace {

bool SameFileName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string WithoutExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// Reads one candidate file; false for anything that is no language file.
bool ReadItem(const fs::path& file, TLangItem* item) {
  TIniFile ini;
  if (!vz::LoadLangFile(file.string(), &ini)) return false;
  return vz::MakeLangItem(ini, file.filename().string(), item);
}

}  // namespace

TLangMgrSettings TLangMgrSettings::ForProgram() {
  TLangMgrSettings s;
  s.Folder = vz::AppFolder() + "Language/";
  // An installed program ships its files read-only under share/; the
  // writable folder gets a copy of each one it lacks.
  const fs::path exeFolder = fs::path(vz::ExePath()).parent_path();
  if (!exeFolder.empty()) {
    const fs::path shipped = exeFolder.parent_path() / "share" / vz::ExeBaseName() / "Language";
    vz::CopyMissingLangFiles(shipped.string(), s.Folder);
  }
  std::string title = QCoreApplication::applicationName().toStdString();
  if (title.empty()) title = vz::ExeBaseName();
  s.StoreKey = "Software\\vzSoft\\" + title;
  s.StoreValue = fs::path(vz::ExePath()).filename().string();
  if (s.StoreValue.empty()) s.StoreValue = title;
  return s;
}

TLangMgrSettings TLangMgrSettings::ForSdk() {
  TLangMgrSettings s;
  // The module holding this code: libvzSDK.so inside a host program.
  static const char kAnchor = 0;
  Dl_info info{};
  const fs::path module = ::dladdr(&kAnchor, &info) != 0 && info.dli_fname
                              ? fs::path(info.dli_fname)
                              : fs::path(vz::ExePath());
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(module, ec).parent_path();
  s.Folder = (folder.empty() ? std::string(".") : folder.string()) + "/vzSDKLanguage/";
  s.StoreKey = "Software\\vzSoft\\vzSDK";
  s.StoreValue = fs::path(vz::ExePath()).filename().string();
  if (s.StoreValue.empty()) s.StoreValue = "vzSDK";
  return s;
}

TLangMgr::TLangMgr(TLangMgrSettings settings) { Configure(std::move(settings)); }

void TLangMgr::Configure(TLangMgrSettings settings) {
  settings_ = std::move(settings);
  if (!settings_.Folder.empty() && settings_.Folder.back() != '/') settings_.Folder += '/';
  Refresh();
}

void TLangMgr::Refresh() {
  items_.clear();
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(settings_.Folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_regular_file(typeEc) && vz::IsIniFileName(it->path().filename().string())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    TLangItem item;
    if (ReadItem(file, &item)) items_.push_back(std::move(item));
  }

  std::string fileName;
  const std::string choice = StoredChoice();
  if (!choice.empty()) {
    fileName = choice;
    currentName_ = WithoutExtension(choice);
    if (!FileExists(choice)) {
      currentName_ = "en";
      fileName = "en.ini";
    }
  } else {
    const std::string locale =
        settings_.LocaleName.empty() ? QLocale::system().name().toStdString() : settings_.LocaleName;
    currentName_ = vz::DefaultLanguageForLocale(locale);
    fileName = currentName_ + ".ini";
    if (!FileExists(fileName)) {
      currentName_ = "en";
      fileName = "en.ini";
    }
  }

  currentId_ = kNoLanguage;
  currentIndex_ = -1;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameFileName(items_[i].FileName, fileName)) {
      currentIndex_ = static_cast<int>(i);
      currentId_ = items_[i].Language;
      break;
    }
  }
}

int TLangMgr::GetLanguages(QStringList& names) const {
  names.clear();
  for (const TLangItem& item : items_) names.append(QString::fromStdString(item.LangName));
  return currentId_;
}

void TLangMgr::Register(TLangForm* form) {
  if (form && std::find(forms_.begin(), forms_.end(), form) == forms_.end()) forms_.push_back(form);
}

void TLangMgr::Unregister(TLangForm* form) { forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end()); }

void TLangMgr::SelectByID(int id) {
  // -1 marks files outside the enumeration; it is no identifier to choose by.
  if (!vz::LanguageNameOf(id).empty()) {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].Language == id) {
        Select(i);
        break;
      }
    }
  }
  ReloadForms();
}

void TLangMgr::SelectByName(const QString& langName) {
  const std::string name = langName.toStdString();
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].LangName == name) {
      Select(i);
      break;
    }
  }
  ReloadForms();
}

std::string TLangMgr::CurrentFilePath() const {
  const TLangItem* item = CurrentItem();
  return item ? settings_.Folder + item->FileName : std::string();
}

const TLangItem* TLangMgr::CurrentItem() const {
  return currentIndex_ >= 0 && currentIndex_ < static_cast<int>(items_.size()) ? &items_[static_cast<size_t>(currentIndex_)]
                                                                                : nullptr;
}

void TLangMgr::Select(size_t index) {
  const TLangItem& item = items_[index];
  currentIndex_ = static_cast<int>(index);
  currentId_ = item.Language;
  currentName_ = item.Name;
  StoreChoice(item.FileName);
}

void TLangMgr::ReloadForms() {
  // A form's language handler may open or close other forms; walk a copy and
  // skip the ones that went away meanwhile.
  const std::vector<TLangForm*> forms = forms_;
  for (TLangForm* form : forms) {
    if (std::find(forms_.begin(), forms_.end(), form) != forms_.end()) form->LoadLanguage();
  }
}

std::string TLangMgr::StoredChoice() const {
  if (settings_.StoreKey.empty() || settings_.StoreValue.empty()) return {};
  return vz::RegReadString(settings_.StoreSection, settings_.StoreValue, "", settings_.StoreKey);
}

void TLangMgr::StoreChoice(const std::string& fileName) const {
  if (settings_.StoreKey.empty() || settings_.StoreValue.empty()) return;
  if (!vz::RegWriteString(settings_.StoreSection, settings_.StoreValue, fileName, settings_.StoreKey)) {
    vz::WriteLogF("LangMgr store except:%s", settings_.StoreKey.c_str());
  }
}

bool TLangMgr::FileExists(const std::string& fileName) const {
  // A stored choice is a plain file name; anything reaching out of the folder
  // counts as missing.
  if (fileName.empty() || fileName.find('/') != std::string::npos || fileName == "." || fileName == "..") return false;
  std::error_code ec;
  return fs::is_regular_file(settings_.Folder + fileName, ec);
}

TLangMgr& LangMgr() {
  static TLangMgr mgr(TLangMgrSettings::ForProgram());
  return mgr;
}
