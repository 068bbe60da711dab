// The main of test programs that run as on a machine without a sound card:
// the default sound device names a card that does not exist, and the
// programs' home (logs) is a folder of their own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TestEnv.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vztest::TempDir dir;
  const std::filesystem::path rc = dir / "asoundrc";
  {
    std::ofstream out(rc);
    out << "pcm.!default {\n  type hw\n  card \"vzNoSuchCard\"\n}\n";
  }
  setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + rc.string()).c_str(), 1);
  setenv("VZ_HOME", dir.str().c_str(), 1);
  return RUN_ALL_TESTS();
}
