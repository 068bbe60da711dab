#include "VersionInfo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestEnv.h"

namespace {

TEST(VersionInfo, VersionsOfFiles) {
  vztest::TempDir dir;
  vztest::WriteFileBytes(dir / "libvzt.so.2.3.4", "x");
  std::filesystem::create_symlink(dir / "libvzt.so.2.3.4", dir / "libvzt.so");
  vztest::WriteFileBytes(dir / "libodd.so.7", "x");
  vztest::WriteFileBytes(dir / "libbad.so.1.x", "x");
  vztest::WriteFileBytes(dir / "program", "x");

  const std::string project = vz::ProjectVersion();
  ASSERT_FALSE(project.empty());
  struct Case {
    std::string path;
    std::string file_version;
    std::string product_version;
  };
  const Case cases[] = {
      {(dir / "libvzt.so.2.3.4").string(), "2.3.4.0", "2.3.4"},
      {(dir / "libvzt.so").string(), "2.3.4.0", "2.3.4"},  // through the link
      {(dir / "libodd.so.7").string(), "7.0.0.0", "7.0.0"},
      {(dir / "libbad.so.1.x").string(), project + ".0", project},
      {(dir / "program").string(), project + ".0", project},
      {(dir / "missing").string(), "", ""},
      {dir.str(), "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vz::FileVersionOf(c.path), c.file_version) << c.path;
    EXPECT_EQ(vz::ProductVersionOf(c.path), c.product_version) << c.path;
  }
}

}  // namespace
