// Points the sound layer at a null device and the log at a scratch folder
// before any player exists, then runs the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TestEnv.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vztest::TempDir dir;
  const std::filesystem::path rc = dir / "asoundrc";
  {
    std::ofstream out(rc);
    out << "pcm.!default {\n  type null\n}\n";
  }
  setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + rc.string()).c_str(), 1);
  setenv("VZ_HOME", dir.str().c_str(), 1);
  return RUN_ALL_TESTS();
}
