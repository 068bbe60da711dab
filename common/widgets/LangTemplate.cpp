#include "LangTemplate.h"

#include <QLabel>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "IniFile.h"
#include "LangFile.h"
#include "LangProps.h"

namespace vz {
namespace {

// A new file starts with the UTF-16LE byte-order mark only.
bool EnsureFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return true;
  std::ofstream out(path, std::ios::binary);
  out.write("\xFF\xFE", 2);
  return static_cast<bool>(out);
}

bool WriteLanguageFile(const std::string& path, const char* displayName) {
  if (!EnsureFile(path)) return false;
  TIniFile ini;
  ini.Load(path);
  ini.WriteString("General", "Language", displayName);
  ini.WriteString("General", "rem Language", "Chinese(Simplified)/Chinese(Traditional)/English");
  ini.WriteString("Message", "Msg1", "");
  return ini.Save(path);
}

void WriteNew(TIniFile* ini, const std::string& section, const std::string& key, const QString& value) {
  if (!ini->ValueExists(section, key)) ini->WriteString(section, key, value.toStdString());
}

}  // namespace

std::string WriteLangTemplates(QWidget* form, const std::string& folderIn) {
  if (!form) return {};
  std::string folder = folderIn;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);

  static const struct {
    const char* file;
    const char* name;
  } kLanguages[] = {{"cn.ini", "简体中文"}, {"en.ini", "English"}, {"tw.ini", "繁體中文"}};
  bool ok = true;
  for (const auto& lang : kLanguages) ok = WriteLanguageFile(folder + lang.file, lang.name) && ok;

  const std::string section = LangFormSection(form).toStdString();
  const std::string path = folder + section + ".ini";
  if (!EnsureFile(path)) return {};
  TIniFile ini;
  ini.Load(path);
  ini.WriteString(section, "Caption", form->windowTitle().toStdString());
  const QList<QObject*> components = LangComponents(form);
  for (QObject* obj : components) {
    const std::string name = obj->objectName().toStdString();
    for (TLangProp prop : {TLangProp::Caption, TLangProp::Hint}) {
      QString value;
      if (!ReadLangProp(obj, prop, &value) || value.isEmpty() || value == QLatin1String("-")) continue;
      WriteNew(&ini, section, name + "." + LangPropName(prop), value);
    }
    const int columns = LangColumnCount(obj);
    for (int i = 0; i < columns; ++i) WriteNew(&ini, section, ColumnCaptionKey(name, i), ReadLangColumn(obj, i));
    if (QLabel* label = LangSubLabel(form, obj)) WriteNew(&ini, section, name + ".Caption", label->text());
  }
  if (!ini.Save(path) || !ok) return {};
  return path;
}

}  // namespace vz
