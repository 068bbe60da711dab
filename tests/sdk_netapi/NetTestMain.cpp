// Points the sound layer at files of the test before any player opens it
// (it reads its configuration once per process): played sound is written
// to a file, and the microphone reads a known pattern.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "NetTestEnv.h"
#include "TestEnv.h"

namespace {
vztest::TempDir* g_dir = nullptr;
}

namespace nettest {

std::string MicrophoneBytes() {
  std::string bytes(256 * 1024, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

}  // namespace nettest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vztest::TempDir dir;
  g_dir = &dir;
  const auto in = dir / "microphone.raw";
  vztest::WriteFileBytes(in, nettest::MicrophoneBytes());
  const auto rc = dir / "asoundrc";
  {
    std::ofstream out(rc);
    out << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << (dir / "played.raw").string()
        << "\"\n  infile \"" << in.string() << "\"\n  format \"raw\"\n}\n";
  }
  setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + rc.string()).c_str(), 1);
  setenv("VZ_HOME", dir.str().c_str(), 1);
  const int result = RUN_ALL_TESTS();
  g_dir = nullptr;
  return result;
}
