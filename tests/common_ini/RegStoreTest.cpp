#include "RegStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "AppPaths.h"
#include "IniFile.h"
#include "TestEnv.h"
#include "TextCodec.h"

namespace {

// Points the store at a fresh folder for the test and back afterwards.
class RegStore : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old, hadValue_ = true;
    ::setenv("XDG_CONFIG_HOME", dir_.str().c_str(), 1);
  }
  void TearDown() override {
    if (hadValue_) {
      ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  vztest::TempDir dir_;
  std::string saved_;
  bool hadValue_ = false;
};

TEST_F(RegStore, KeysAndSubKeysMapToFilesAndSections) {
  struct Case {
    const char* key;
    std::string file;  // below the config folder
  };
  const Case files[] = {
      {"SoftWare\\vzSoft\\vzSurveillance", "vzSoft/SoftWare/vzSoft/vzSurveillance.ini"},
      {"Software\\vzSDK\\", "vzSoft/Software/vzSDK.ini"},
      {"\\SoftWare\\\\x", "vzSoft/SoftWare/x.ini"},
      {"SoftWare\\..\\..\\..\\etc\\passwd", "vzSoft/SoftWare/etc/passwd.ini"},
      {"", "vzSoft/SoftWare/" + vz::ExeBaseName() + ".ini"},
      {"..", "vzSoft/SoftWare/" + vz::ExeBaseName() + ".ini"},
  };
  for (const auto& c : files) {
    EXPECT_EQ(vz::RegFilePath(c.key), dir_.str() + "/" + c.file) << c.key;
  }
  struct SectionCase {
    const char* section;
    const char* name;
  };
  const SectionCase sections[] = {{"", ""}, {"Login", "Login"}, {"Login\\", "Login"}, {"Dev\\Cam1", "Dev/Cam1"},
                                  {"\\a\\\\b\\", "a/b"}};
  for (const auto& c : sections) {
    EXPECT_EQ(vz::RegSectionName(c.section), c.name) << c.section;
  }
}

TEST_F(RegStore, ValuesRoundTripThroughTheFile) {
  const char* key = "Software\\vzSDK";
  EXPECT_TRUE(vz::RegWriteString("", "User", "admin", key));
  EXPECT_TRUE(vz::RegWriteInteger("Dev\\Cam1", "Port", -5000, key));
  EXPECT_TRUE(vz::RegWriteBool("Dev\\Cam1", "AutoConnect", true, key));
  EXPECT_TRUE(vz::RegWriteString("", "Name", "\xE5\x89\x8D\xE9\x97\xA8", key));  // 前门
  EXPECT_TRUE(vz::RegWriteString("", "user", "operator", key));                 // same value, other case

  EXPECT_EQ(vz::RegReadString("", "USER", "?", key), "operator");
  EXPECT_EQ(vz::RegReadString("\\", "Name", "?", key), "\xE5\x89\x8D\xE9\x97\xA8");
  EXPECT_EQ(vz::RegReadInteger("dev\\cam1", "Port", 0, key), -5000);
  EXPECT_TRUE(vz::RegReadBool("Dev/Cam1", "AutoConnect", false, key));
  EXPECT_EQ(vz::RegReadString("Dev\\Cam1", "Missing", "dflt", key), "dflt");
  EXPECT_EQ(vz::RegReadInteger("", "Port", 7, key), 7);  // the sub-key's value is not the key's
  EXPECT_EQ(vz::RegReadInteger("Other", "Port", 8, "Software\\Missing"), 8);

  const std::string bytes = vztest::ReadFileBytes(dir_.str() + "/vzSoft/Software/vzSDK.ini");
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(vz::DecodeTextFile(bytes),
            "[]\r\nUser=operator\r\nName=\xE5\x89\x8D\xE9\x97\xA8\r\n\r\n[Dev/Cam1]\r\nPort=-5000\r\nAutoConnect=1\r\n");
}

TEST_F(RegStore, RefusedNamesAndUnwritableFoldersAnswerFalse) {
  EXPECT_FALSE(vz::RegWriteString("s", "a=b", "x", "Software\\T"));
  EXPECT_FALSE(vz::RegWriteString("s", "", "x", "Software\\T"));
  // A file where the key's folder should be.
  std::filesystem::create_directories(dir_ / "vzSoft");
  vztest::WriteFileBytes(dir_ / "vzSoft" / "Blocked", "not a folder");
  EXPECT_FALSE(vz::RegWriteInteger("s", "n", 1, "Blocked\\T"));
  EXPECT_EQ(vz::RegReadInteger("s", "n", 3, "Blocked\\T"), 3);
}

std::string ValueName(int thread, int index) {
  std::string name = "t";
  name += std::to_string(thread);
  name += '_';
  name += std::to_string(index);
  return name;
}

TEST_F(RegStore, ConcurrentWritersKeepEveryValue) {
  constexpr int kThreads = 4;
  constexpr int kWrites = 15;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kWrites; ++i) {
        vz::RegWriteInteger("Load", ValueName(t, i), t * 100 + i, "Software\\C");
      }
    });
  }
  for (auto& th : threads) th.join();
  TIniFile ini(vz::RegFilePath("Software\\C"));
  EXPECT_EQ(ini.Keys("Load").size(), static_cast<size_t>(kThreads * kWrites));
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(ini.ReadInteger("Load", ValueName(t, i), -1), t * 100 + i);
    }
  }
}

TEST_F(RegStore, RelativeConfigHomeIsIgnored) {
  const char* home = std::getenv("HOME");
  const std::string oldHome = home ? home : "";
  ::setenv("HOME", dir_.str().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  EXPECT_EQ(vz::RegFilePath("A\\B"), dir_.str() + "/.config/vzSoft/A/B.ini");
  if (home) {
    ::setenv("HOME", oldHome.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

TEST(IniReadInteger, ReadsAFileOrAnswersTheDefault) {
  vztest::TempDir dir;
  const std::string path = (dir / "DevLst.ini").string();
  vztest::WriteFileBytes(path, "[DevLst]\r\nCount=12\r\nBad=x\r\n");
  EXPECT_EQ(vz::IniReadInteger(path, "devlst", "count", -1), 12);
  EXPECT_EQ(vz::IniReadInteger(path, "DevLst", "Bad", -1), -1);
  EXPECT_EQ(vz::IniReadInteger((dir / "none.ini").string(), "DevLst", "Count", -2), -2);
}

}  // namespace
