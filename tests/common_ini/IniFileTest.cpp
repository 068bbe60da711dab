#include "IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "TextCodec.h"

namespace {

std::string Utf16File(const std::string& utf8) { return "\xFF\xFE" + vz::Utf8ToUtf16Le(utf8); }

TEST(IniFile, SavesBomUtf16LeWithCrLfThroughARename) {
  vztest::TempDir dir;
  const std::string path = (dir / "Settings.ini").string();
  TIniFile ini;
  ini.WriteString("SysParam", "Language", "English");
  ini.WriteInteger("SysParam", "PaneCount", 16);
  ini.WriteString("Dev", "Name", "x");
  ASSERT_TRUE(ini.Save(path));

  const std::string expected = std::string("\xFF\xFE", 2) +
      std::string("[\0S\0y\0s\0P\0a\0r\0a\0m\0]\0\r\0\n\0", 24) +
      vz::Utf8ToUtf16Le("Language=English\r\nPaneCount=16\r\n\r\n[Dev]\r\nName=x\r\n");
  EXPECT_EQ(vztest::ReadFileBytes(path), expected);
  EXPECT_EQ(ini.SaveToBytes(), expected);
  // Only the file itself is left: the temporary was renamed, not copied.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  TIniFile back(path);
  EXPECT_EQ(back.FileName(), path);
  EXPECT_EQ(back.ReadString("SysParam", "Language", ""), "English");
  EXPECT_EQ(back.ReadInteger("sysparam", "PaneCount", 0), 16);
  EXPECT_EQ(back.SaveToBytes(), expected);
}

TEST(IniFile, ReadsEveryAcceptedEncodingAndLineEnd) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  // Each file holds [Caméra] Nom=Entrée and Port=80.
  const std::string text = "[Cam\xC3\xA9ra]\r\nNom=Entr\xC3\xA9" "e\r\nPort=80\r\n";
  const Case cases[] = {
      {"utf-16le with mark", Utf16File(text)},
      {"utf-8 with mark", "\xEF\xBB\xBF" + text},
      {"utf-8, LF", "[Cam\xC3\xA9ra]\nNom=Entr\xC3\xA9" "e\nPort=80"},
      {"latin-1, CR", "[Cam\xE9ra]\rNom=Entr\xE9" "e\rPort=80\r"},
      {"latin-1, mixed ends and blanks", "\r\n  [ Cam\xE9ra ]  \n\tNom = Entr\xE9" "e \r\r\nPort\t=\t80\n"},
  };
  for (const auto& c : cases) {
    TIniFile ini;
    ini.LoadFromBytes(c.bytes);
    EXPECT_EQ(ini.ReadString("Cam\xC3\xA9ra", "Nom", "?"), "Entr\xC3\xA9" "e") << c.name;
    EXPECT_EQ(ini.ReadInteger("Cam\xC3\xA9ra", "Port", 0), 80) << c.name;
    EXPECT_EQ(ini.Sections(), std::vector<std::string>{"Cam\xC3\xA9ra"}) << c.name;
  }
}

TEST(IniFile, KeepsOrderAndMalformedLinesThroughASave) {
  const std::string original =
      "; head comment\r\n"
      "orphan=before any section\r\n"
      "[Zeta]\r\n"
      "b=2\r\n"
      "no equals sign here\r\n"
      "=value without key\r\n"
      "a=1\r\n"
      "[unterminated header\r\n"
      "\r\n"
      "[Alpha] trailing text\r\n"
      "; comment=not a key\r\n"
      "z=26\r\n"
      "y=25\r\n";
  TIniFile ini;
  ini.LoadFromBytes(Utf16File(original));
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Zeta", "Alpha"}));
  EXPECT_EQ(ini.Keys("Zeta"), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(ini.Keys("Alpha"), (std::vector<std::string>{"z", "y"}));
  EXPECT_FALSE(ini.ValueExists("", "orphan"));
  EXPECT_FALSE(ini.ValueExists("Alpha", "; comment"));

  ini.WriteString("Zeta", "a", "one");
  ini.WriteString("Alpha", "x", "24");
  ini.WriteString("New", "k", "v");
  const std::string expected =
      "; head comment\r\n"
      "orphan=before any section\r\n"
      "[Zeta]\r\n"
      "b=2\r\n"
      "no equals sign here\r\n"
      "=value without key\r\n"
      "a=one\r\n"
      "[unterminated header\r\n"
      "\r\n"
      "[Alpha] trailing text\r\n"
      "; comment=not a key\r\n"
      "z=26\r\n"
      "y=25\r\n"
      "x=24\r\n"
      "\r\n"
      "[New]\r\n"
      "k=v\r\n";
  EXPECT_EQ(vz::DecodeTextFile(ini.SaveToBytes()), expected);
}

TEST(IniFile, FirstOfDuplicatesAnswersAndTakesTheWrites) {
  TIniFile ini;
  ini.LoadFromBytes("[A]\nk=first\nk=second\n[a]\nk=third\nother=1\n");
  EXPECT_EQ(ini.ReadString("A", "k", ""), "first");
  EXPECT_EQ(ini.Sections(), std::vector<std::string>{"A"});
  EXPECT_EQ(ini.Keys("a"), std::vector<std::string>{"k"});
  EXPECT_FALSE(ini.ValueExists("A", "other"));
  ini.WriteString("a", "K", "new");
  EXPECT_EQ(ini.ReadString("A", "k", ""), "new");
  EXPECT_EQ(vz::DecodeTextFile(ini.SaveToBytes()), "[A]\r\nk=new\r\nk=second\r\n[a]\r\nk=third\r\nother=1\r\n");
  ini.DeleteKey("A", "k");
  EXPECT_FALSE(ini.ValueExists("A", "k"));
  ini.EraseSection("a");
  EXPECT_TRUE(ini.Sections().empty());
}

TEST(IniFile, ChineseAndAstralTextSurviveAFile) {
  vztest::TempDir dir;
  const std::string path = (dir / "lang.ini").string();
  const std::string value = "\xE8\xAE\xBE\xE7\xBD\xAE\xE6\x88\x90\xE5\x8A\x9F \xF0\xA0\x80\x80!";  // 设置成功 𠀀!
  const std::string section = "\xE6\xB6\x88\xE6\x81\xAF";                                         // 消息
  TIniFile ini;
  ini.WriteString(section, "SetCfgSucceed", value);
  ASSERT_TRUE(ini.Save(path));
  TIniFile back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.ReadString(section, "setcfgsucceed", ""), value);
  // The astral character went out as one surrogate pair.
  EXPECT_NE(vztest::ReadFileBytes(path).find(std::string("\x40\xD8\x00\xDC", 4)), std::string::npos);
}

TEST(IniFile, NamesMatchWithoutAsciiCaseOnly) {
  TIniFile ini;
  ini.LoadFromBytes("[SysParam]\nIsRunAutoPlay=1\n[\xC3\x89t\xC3\xA9]\nKey=e\n");
  struct Case {
    const char* section;
    const char* key;
    bool found;
  };
  const Case cases[] = {
      {"SysParam", "IsRunAutoPlay", true},  {"SYSPARAM", "isrunautoplay", true}, {" sysparam ", " IsRunAutoPlay", true},
      {"SysParam", "IsRunAutoPla", false},  {"SysParamX", "IsRunAutoPlay", false},
      {"\xC3\x89t\xC3\xA9", "KEY", true},    // the ASCII letters fold
      {"\xC3\xA9t\xC3\xA9", "Key", false},   // é and É are different names
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ValueExists(c.section, c.key), c.found) << c.section << "/" << c.key;
  }
}

TEST(IniFile, NumbersParseOrFallBackToTheDefault) {
  struct Case {
    const char* text;
    int64_t asInteger;  // with default -7
    bool asBool;        // with default true
  };
  const Case cases[] = {
      {"42", 42, true},
      {"  -13 ", -13, true},
      {"+5", 5, true},
      {"0", 0, false},
      {"0x1F", 31, true},
      {"0XfF", 255, true},
      {"$10", 16, true},
      {"-0x10", -16, true},
      {"9223372036854775807", INT64_MAX, true},
      {"-9223372036854775808", INT64_MIN, true},
      {"9223372036854775808", -7, true},  // one too many
      {"12abc", -7, true},
      {"0x", -7, true},
      {"", -7, true},
      {"true", -7, true},
      {"1.5", -7, true},
      {"- 1", -7, true},
  };
  for (const auto& c : cases) {
    TIniFile ini;
    ini.LoadFromBytes(std::string("[s]\nv=") + c.text + "\n");
    EXPECT_EQ(ini.ReadInteger("s", "v", -7), c.asInteger) << c.text;
    EXPECT_EQ(ini.ReadBool("s", "v", true), c.asBool) << c.text;
  }
  TIniFile ini;
  EXPECT_EQ(ini.ReadInteger("s", "missing", 3), 3);
  EXPECT_FALSE(ini.ReadBool("s", "missing", false));
  ini.WriteBool("s", "b", true);
  ini.WriteFloat("s", "f", 0.1);
  ini.WriteFloat("s", "g", -2.5e-7);
  EXPECT_EQ(ini.ReadString("s", "b", ""), "1");
  EXPECT_EQ(ini.ReadFloat("s", "f", 9), 0.1);
  EXPECT_EQ(ini.ReadFloat("s", "g", 9), -2.5e-7);
  ini.WriteString("s", "h", "1,5");
  EXPECT_EQ(ini.ReadFloat("s", "h", 9), 9);
}

TEST(IniFile, RefusesWritesAFileCouldNotGiveBack) {
  TIniFile ini;
  ini.WriteString("s", "a=b", "x");
  ini.WriteString("s", "", "x");
  ini.WriteString("s", "  ", "x");
  ini.WriteString("s", ";c", "x");
  ini.WriteString("s", "[d", "x");
  ini.WriteString("s", "e\nf", "x");
  ini.WriteString("s\nt", "k", "x");
  EXPECT_TRUE(ini.Sections().empty());

  ini.WriteString(" s ", " k ", "  two\r\nlines  ");
  ini.WriteString("s", "latin", "\xE9t\xE9");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "two  lines");
  EXPECT_EQ(ini.ReadString("s", "latin", ""), "\xC3\xA9t\xC3\xA9");
  TIniFile back;
  back.LoadFromBytes(ini.SaveToBytes());
  EXPECT_EQ(back.ReadString("s", "k", ""), "two  lines");
  EXPECT_EQ(back.ReadString("s", "latin", ""), "\xC3\xA9t\xC3\xA9");
}

TEST(IniFile, LoadAnswersFalseForWhatIsNotAReadableFile) {
  vztest::TempDir dir;
  TIniFile ini;
  ini.WriteString("s", "k", "v");
  EXPECT_FALSE(ini.Load((dir / "missing.ini").string()));
  EXPECT_TRUE(ini.Sections().empty());
  EXPECT_FALSE(ini.Load(dir.str()));
  const std::string fifo = (dir / "fifo.ini").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ini.Load(fifo));  // and does not wait for a writer
  EXPECT_FALSE(ini.Save((dir / "no" / "such" / "folder.ini").string()));
  TIniFile unbound;
  EXPECT_FALSE(unbound.Save());

  const std::string big = (dir / "big.ini").string();
  vztest::WriteFileBytes(big, std::string(TIniFile::kMaxFileBytes + 1, 'a'));
  EXPECT_FALSE(ini.Load(big));
  EXPECT_TRUE(ini.Sections().empty());
}

}  // namespace
