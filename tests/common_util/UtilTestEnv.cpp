// Points the program's folder of this test run into a temporary folder, so
// log lines written by the code under test stay out of the build tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "TestEnv.h"

namespace {

class UtilEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    dir_ = std::make_unique<vztest::TempDir>();
    ::setenv("VZ_HOME", dir_->str().c_str(), 1);
  }
  void TearDown() override { dir_.reset(); }

 private:
  std::unique_ptr<vztest::TempDir> dir_;
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new UtilEnvironment);

}  // namespace
