#include "LangTestFiles.h"

#include <cstdlib>
#include <filesystem>

#include "RegStore.h"

namespace langtest {
namespace {

constexpr char kEn[] =
    "[General]\nLanguage=English\n"
    "[Message]\nHello=Hello\nGreeting=Hello %s\n"
    "[TFLangDemo]\nCaption=Demo\nBtnOK.Caption=OK\nBtnOK.Hint=Accept\n"
    "[TFOther]\nCaption=Other\nBtnGo.Caption=Go\n";
constexpr char kCn[] =
    "[General]\nLanguage=简体中文\n"
    "[Message]\nHello=你好\n"
    "[TFLangDemo]\nCaption=演示\nBtnOK.Caption=确定\nBtnOK.Hint=接受\n"
    "[TFOther]\nCaption=\nBtnGo.Caption=开始\n";
constexpr char kTw[] =
    "[General]\nLanguage=繁體中文\n"
    "[Message]\nHello=你好\n"
    "[TFLangDemo]\nCaption=示範\nBtnOK.Caption=確定\n";

}  // namespace

LangFolder::LangFolder() {
  std::filesystem::create_directories(dir_.path() / "Language");
  const std::string config = dir_.str() + "/config";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
}

void LangFolder::Write(const std::string& file, const std::string& text) const {
  vztest::WriteFileBytes(Folder() + file, text);
}

void LangFolder::WriteUtf16(const std::string& file, const QString& text) const {
  const QByteArray bytes = Utf16File(text);
  vztest::WriteFileBytes(Folder() + file, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void LangFolder::Remove(const std::string& file) const { std::filesystem::remove(Folder() + file); }

void LangFolder::WriteStandardSet() const {
  Write("en.ini", kEn);
  WriteUtf16("cn.ini", QString::fromUtf8(kCn).replace(QLatin1String("\n"), QLatin1String("\r\n")));
  Write("tw.ini", kTw);
}

TLangMgrSettings LangFolder::Settings(const std::string& locale) const {
  TLangMgrSettings s;
  s.Folder = Folder();
  s.StoreKey = "Software\\vzSoft\\langtest";
  s.StoreValue = "langtest";
  s.LocaleName = locale;
  return s;
}

void LangFolder::StoreChoice(const std::string& fileName) const {
  const TLangMgrSettings s = Settings();
  vz::RegWriteString(s.StoreSection, s.StoreValue, fileName, s.StoreKey);
}

QByteArray Utf16File(const QString& text) {
  QByteArray bytes("\xFF\xFE", 2);
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  return bytes;
}

}  // namespace langtest
