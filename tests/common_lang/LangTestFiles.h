#pragma once
// A language folder and a settings store of its own for every test.
#include <QByteArray>
#include <QString>
#include <string>

#include "LangMgr.h"
#include "TestEnv.h"

namespace langtest {

class LangFolder {
 public:
  LangFolder();
  // Writes folder/<file> as UTF-8 text.
  void Write(const std::string& file, const std::string& text) const;
  // Writes folder/<file> as UTF-16LE with the byte-order mark.
  void WriteUtf16(const std::string& file, const QString& text) const;
  void Remove(const std::string& file) const;
  // Writes cn.ini, en.ini and tw.ini with a few texts for TFLangDemo.
  void WriteStandardSet() const;
  std::string Folder() const { return dir_.str() + "/Language/"; }
  TLangMgrSettings Settings(const std::string& locale = "en_US") const;
  // Stores a choice as an earlier run would have.
  void StoreChoice(const std::string& fileName) const;

 private:
  vztest::TempDir dir_;
};

// UTF-16LE bytes with the byte-order mark, as our INI files are written.
QByteArray Utf16File(const QString& text);

}  // namespace langtest
