#include "SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "FileUtils.h"

namespace {

std::string UniqueName(const char* what) { return std::string("vzt_si_") + what + "_" + std::to_string(::getpid()); }

TEST(SingleInstance, SecondClaimIsRefusedUntilReleased) {
  const std::string name = UniqueName("twice");
  ASSERT_TRUE(vz::SingleInstance(name));
  EXPECT_FALSE(vz::SingleInstance(name));
  vz::ReleaseSingleInstance(name);
  EXPECT_TRUE(vz::SingleInstance(name));
  vz::ReleaseSingleInstance(name);
}

TEST(SingleInstance, AnotherProcessIsRefused) {
  const std::string name = UniqueName("other");
  ASSERT_TRUE(vz::SingleInstance(name));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A process of its own: its claim table is a copy, so only the lock
    // itself can refuse it.
    vz::ReleaseSingleInstance(name);
    ::_exit(vz::SingleInstance(name) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child got the claim the parent holds";
  vz::ReleaseSingleInstance(name);
}

TEST(SingleInstance, NamesStayInsideTheLockFolder) {
  const std::string path = vz::SingleInstanceLockPath("../../etc/x");
  const std::string folder = vz::FolderOf(vz::SingleInstanceLockPath("plain"));
  EXPECT_EQ(vz::FolderOf(path), folder) << path;
  EXPECT_EQ(path.find("/../"), std::string::npos) << path;
}

}  // namespace
