// Recording a simulated device's stream through the exports: the files
// the recorders leave are checked frame by frame.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "DevSim.h"
#include "RecFileCheck.h"
#include "TestEnv.h"
#include "vzSDK.h"

namespace {

namespace fs = std::filesystem;

struct PlayerDeleter {
  void operator()(vzNetPlayer_* h) const { vzNet_Free(h); }
};
using Player = std::unique_ptr<vzNetPlayer_, PlayerDeleter>;

std::vector<fs::path> AvFiles(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_regular_file() && it->path().extension() == ".av") out.push_back(it->path());
  }
  return out;
}

uint64_t Bytes(const std::vector<fs::path>& files) {
  uint64_t n = 0;
  std::error_code ec;
  for (const auto& f : files) n += fs::file_size(f, ec);
  return n;
}

TEST(RecordSim, StreamOfASimulatedDeviceIsRecordedWhole) {
  vztest::TempDir dir(vztest::ShortTempRoot());  // record names must fit 63 characters
  vzsim::SimOptions o;
  o.stateDir = (dir / "sim").string();
  vzsim::SimCamera camera;
  camera.keyInterval = 10;  // several key frames inside the pre-alarm time
  o.cameras = {camera};
  vzsim::DevSim sim(o);
  ASSERT_TRUE(sim.Start()) << sim.Error();

  vzNetHandle h = nullptr;
  ASSERT_EQ(vzNet_Init(&h, devNone, 0, 0, 0, 0), 1);
  Player p(h);
  const std::string nml = (dir / "n").string();
  const std::string alm = (dir / "a").string();
  ASSERT_EQ(vzNet_SetRecPath(h, nml.c_str(), alm.c_str(), ""), 1);
  ASSERT_EQ(vzNet_SetRecTimeLen(h, 600, 2, 10), 1);  // 2 s before an alarm
  ASSERT_EQ(vzNet_Connect(h, "admin", "admin", "127.0.0.1", "127.0.0.1", sim.Port(0), 5000), 1);
  ASSERT_EQ(vzNet_Play(h, 1, 1, 0), 1);
  ASSERT_EQ(vzNet_StartNmlRec(h, 0), 1);
  EXPECT_EQ(vzNet_StartNmlRec(h, 0), 0);

  // Let the stream fill the pre-alarm cache, then raise an alarm.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (Bytes(AvFiles(dir / "n")) < 200 * 1024 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::seconds(3));
  ASSERT_EQ(vzNet_StartAlmRec(h, 0), 1);
  EXPECT_EQ(vzNet_IsAlmRec(h, 0), 1);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  // Stopping the stream stops both recordings.
  ASSERT_EQ(vzNet_Stop(h), 1);
  EXPECT_EQ(vzNet_IsNmlRec(h, 0), 0);
  EXPECT_EQ(vzNet_IsAlmRec(h, 0), 0);

  for (const char* kind : {"n", "a"}) {
    const auto files = AvFiles(dir / kind);
    ASSERT_EQ(files.size(), 1u) << kind;
    EXPECT_EQ(files[0].parent_path().filename(), "127.0.0.1_" + std::to_string(sim.Port(0)));
    const vz::TRecCheckReport r = vz::CheckRecFilePath(files[0].string(), vz::TRecFirstFrame::KeyOnly);
    EXPECT_TRUE(r.Ok()) << files[0] << ": " << (r.Errors.empty() ? "" : r.Errors[0]);
    EXPECT_FALSE(r.Unfinished);
    EXPECT_GT(r.KeyFrames, 0u) << kind;
    EXPECT_EQ(r.ChainKeys, r.KeyFrames) << kind;
    const int32_t width = r.Header.Video.Width;
    EXPECT_GT(width, 0) << kind;
    EXPECT_EQ(vz::RecSvrAddr(r.Header), "127.0.0.1");
    if (kind[0] == 'a') {
      // The alarm file begins before the alarm: at least a second of cached frames.
      EXPECT_LT(r.FirstTimeStamp / 1000000, r.Header.StartTime) << "no pre-alarm frames";
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Sound goes to a file of the test, never to a device of the machine.
  vztest::TempDir dir;
  const auto rc = dir / "asoundrc";
  {
    std::ofstream out(rc);
    out << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << (dir / "played.raw").string()
        << "\"\n  format \"raw\"\n}\n";
  }
  setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + rc.string()).c_str(), 1);
  setenv("VZ_HOME", dir.str().c_str(), 1);
  return RUN_ALL_TESTS();
}
