// Writes the sound configuration of this process before anything touches the
// sound layer, then runs the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "AudioEnv.h"
#include "TestEnv.h"

namespace {
vztest::TempDir* g_dir = nullptr;
}

namespace audiotest {

std::filesystem::path OutFile() { return *g_dir / "out.raw"; }
std::filesystem::path InFile() { return *g_dir / "in.raw"; }

}  // namespace audiotest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vztest::TempDir dir;
  g_dir = &dir;
  const std::filesystem::path rc = dir / "asoundrc";
  {
    std::ofstream out(rc);
    out << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << audiotest::OutFile().string()
        << "\"\n  infile \"" << audiotest::InFile().string() << "\"\n  format \"raw\"\n}\n";
  }
  setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + rc.string()).c_str(), 1);
  setenv("VZ_HOME", dir.str().c_str(), 1);
  const int rc_tests = RUN_ALL_TESTS();
  g_dir = nullptr;
  return rc_tests;
}
