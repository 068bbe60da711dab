// Writes the sound configuration of this process before anything touches the
// sound layer, then runs the tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "TalkEnv.h"
#include "TestEnv.h"

namespace {
vztest::TempDir* g_dir = nullptr;
}

namespace talktest {

std::filesystem::path PlayedFile() { return *g_dir / "played.raw"; }
std::filesystem::path MicrophoneFile() { return *g_dir / "microphone.raw"; }

std::string MicrophoneBytes() {
  std::string bytes(512 * 1024, '\0');
  uint32_t x = 12345;  // no period shorter than the file, so a restart shows
  for (char& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<char>(x >> 16);
  }
  return bytes;
}

}  // namespace talktest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  vztest::TempDir dir;
  g_dir = &dir;
  vztest::WriteFileBytes(talktest::MicrophoneFile(), talktest::MicrophoneBytes());
  const std::filesystem::path rc = dir / "asoundrc";
  {
    std::ofstream out(rc);
    out << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << talktest::PlayedFile().string()
        << "\"\n  infile \"" << talktest::MicrophoneFile().string() << "\"\n  format \"raw\"\n}\n";
  }
  setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + rc.string()).c_str(), 1);
  setenv("VZ_HOME", dir.str().c_str(), 1);
  const int result = RUN_ALL_TESTS();
  g_dir = nullptr;
  return result;
}
