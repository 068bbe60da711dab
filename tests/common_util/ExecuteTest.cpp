#include "Execute.h"

#include <gtest/gtest.h>

#include <string>

#include "FileUtils.h"
#include "TestEnv.h"
#include "WaitFor.h"

namespace {

TEST(Execute, StartsInTheFolderWithTheArgumentsVerbatim) {
  vztest::TempDir dir;
  // "$@" shows each argument between bars: spaces and quotes must arrive
  // untouched, and a ";" must not start a second command.
  ASSERT_TRUE(vz::Execute("/bin/sh",
                          {"-c", "printf '%s|' \"$(pwd)\" \"$@\" > out.tmp && mv out.tmp out", "sh", "a b", "it's",
                           "x; touch injected"},
                          dir.str()));
  const auto out = dir / "out";
  ASSERT_TRUE(utiltest::WaitFor([&] { return vz::FileExists(out.string()); }));
  EXPECT_EQ(vztest::ReadFileBytes(out), dir.str() + "|a b|it's|x; touch injected|");
  EXPECT_FALSE(vz::FileExists((dir / "injected").string()));
}

TEST(Execute, ReportsWhatCannotStart) {
  vztest::TempDir dir;
  vztest::WriteFileBytes(dir / "plain.txt", "not a program");
  struct Case {
    std::string file;
    std::string folder;
  };
  const Case cases[] = {
      {"", ""},
      {"vzt-no-such-program", ""},
      {(dir / "missing").string(), ""},
      {(dir / "plain.txt").string(), ""},  // not executable
      {"/bin/true", (dir / "no/such/folder").string()},
  };
  for (const auto& c : cases) EXPECT_FALSE(vz::Execute(c.file, {}, c.folder)) << c.file << " in " << c.folder;
  EXPECT_TRUE(vz::Execute("true"));  // found along PATH
}

}  // namespace
