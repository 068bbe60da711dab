// Device operations of the live-player functions against the simulated
// device: what goes out, what comes back, and what needs a connection or an
// administrator.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "NetSimEnv.h"
#include "vz_protocol.h"

namespace {

using nettest::NewPlayer;
using nettest::Player;

class NetOps : public nettest::SimFixture {
 protected:
  void SetUp() override { StartSim(vzsim::SimOptions{}); }
};

TEST_F(NetOps, DeviceOperationsGoThroughThePlayer) {
  Player p = NewPlayer();
  char text[64];
  std::memset(text, 'x', sizeof text);
  // Not connected: nothing is sent, nothing answers.
  EXPECT_EQ(vzNet_GetDevTime(p.get()), 0);
  EXPECT_EQ(vzNet_Set_ColorDefault(p.get(), 0), 0);
  EXPECT_EQ(vzNet_ClearAlarm(p.get(), 0), 0);
  EXPECT_EQ(vzNet_GetDevSoftVersion(p.get(), text), 0);
  EXPECT_EQ(text[0], '\0');
  sim_->ClearJournal(0);

  ASSERT_TRUE(Connect(p.get()));
  const vz::TDevCfg cfg = sim_->Config(0);

  sim_->ClearJournal(0);
  ASSERT_EQ(vzNet_Set_ColorDefault(p.get(), 0), 1);
  // Colours are not answered: the packet may still be on its way.
  std::vector<uint8_t> packet;
  ASSERT_TRUE(nettest::WaitFor([&] {
    for (const auto& e : sim_->Journal(0)) {
      if (e.cmd == vz::kCmdSetColours) packet = e.packet;
    }
    return !packet.empty();
  }));
  for (size_t off : {vz::pkt::kColourBrightness, vz::pkt::kColourContrast, vz::pkt::kColourHue,
                     vz::pkt::kColourSaturation, vz::pkt::kColourSharpness}) {
    ASSERT_GT(packet.size(), off);
    EXPECT_EQ(packet[off], 128) << "offset " << off;
  }

  uint8_t c[5] = {1, 1, 1, 1, 1};
  ASSERT_EQ(vzNet_Get_Colors(p.get(), 0, &c[0], &c[1], &c[2], &c[3], &c[4]), 1);
  for (uint8_t v : c) EXPECT_EQ(v, 128);  // the player's copy follows what was set
  EXPECT_EQ(vzNet_Get_Colors(p.get(), 0, nullptr, nullptr, nullptr, nullptr, nullptr), 1);

  // Pan/tilt/zoom goes to the address the device's serial settings give
  // the channel.
  sim_->ClearJournal(0);
  ASSERT_EQ(vzNet_PTZControl(p.get(), 1, 0, 5, 0, 0), 1);
  packet.clear();
  ASSERT_TRUE(nettest::WaitFor([&] {
    for (const auto& e : sim_->Journal(0)) {
      if (e.cmd == vz::kCmdPtz) packet = e.packet;
    }
    return !packet.empty();
  }));
  ASSERT_GT(packet.size(), vz::pkt::kPtzAddr);
  EXPECT_EQ(packet[vz::pkt::kPtzAddr], cfg.Rs485.Ptz[0].Addr);

  std::memset(text, 'x', sizeof text);
  ASSERT_EQ(vzNet_GetDevSoftVersion(p.get(), text), 1);
  EXPECT_EQ(std::string(text), std::string(cfg.DevInfo.SoftVer, strnlen(cfg.DevInfo.SoftVer, 20)));
  std::memset(text, 'x', sizeof text);
  ASSERT_EQ(vzNet_GetDevChlName(p.get(), 3, text), 1);
  EXPECT_EQ(std::string(text), std::string(cfg.Video.OsdTitle, strnlen(cfg.Video.OsdTitle, 40)));

  const int64_t t = 1800000000;  // 2027-01-15
  ASSERT_EQ(vzNet_SetDevTime(p.get(), t), 1);
  // Not answered either: wait for the device to take it.
  EXPECT_TRUE(nettest::WaitFor([&] { return std::llabs(sim_->DeviceTime(0) - t) <= 30; }));
  EXPECT_NEAR(static_cast<double>(vzNet_GetDevTime(p.get())), static_cast<double>(t), 30.0);

  EXPECT_EQ(vzNet_ClearAlarm(p.get(), 0), 1);
  const uint8_t serial[3] = {0xFF, 0x01, 0x02};
  EXPECT_EQ(vzNet_SerialTranslate(p.get(), serial, sizeof serial), 1);
  EXPECT_EQ(vzNet_SerialTranslate(p.get(), serial, 0), 0);
  EXPECT_EQ(vzNet_SerialTranslate(p.get(), serial, 101), 0);
  EXPECT_EQ(vzNet_SerialTranslate(p.get(), nullptr, 3), 0);
  EXPECT_EQ(vzNet_GetDevSoftVersion(p.get(), nullptr), 0);
  EXPECT_EQ(vzNet_GetDevChlName(p.get(), 0, nullptr), 0);
}

TEST_F(NetOps, ConfigurationWindowNeedsAnAdministrator) {
  for (const char* user : {"operator", "guest"}) {
    Player p = NewPlayer();
    ASSERT_TRUE(Connect(p.get(), user)) << user;
    EXPECT_EQ(vzNet_ShowDeviceConfig(p.get(), 2, 0), 0) << user;
  }
}


// Recording through the exports: the path event chooses the folder, the
// start event names the device and the file; a file that never got a frame
// is removed again without a stop event.
struct RecSeen {
  std::string folder;
  std::vector<std::string> starts, stops;
};
RecSeen* g_rec = nullptr;

TEST_F(NetOps, RecordingRaisesTheEventsSetForThePlayer) {
  vztest::TempDir short_dir(vztest::ShortTempRoot());  // a path event hands back 40 characters at most
  RecSeen seen;
  seen.folder = (short_dir / "nml").string();
  g_rec = &seen;
  Player p = NewPlayer();
  ASSERT_EQ(vzNet_SetRecordEvent(
                p.get(),
                [](const char* addr, int32_t port, int32_t chl, int32_t kind, double, const char* file, int32_t* slot) {
                  g_rec->starts.push_back(std::string(addr) + ":" + std::to_string(port) + " " + std::to_string(chl) +
                                          " " + std::to_string(kind) + " " + file);
                  *slot = 5;
                },
                [](const char*, int32_t, int32_t, int32_t, int64_t, double, double, const char* file, int32_t) {
                  g_rec->stops.push_back(file);
                },
                [](char* dest) { std::snprintf(dest, 40, "%s", g_rec->folder.c_str()); }),
            1);
  EXPECT_EQ(vzNet_StartNmlRec(p.get(), 0), 0);  // not connected
  EXPECT_TRUE(seen.starts.empty());

  ASSERT_TRUE(Connect(p.get()));
  ASSERT_LT(seen.folder.size(), 40u) << "the temporary folder is too long for the path event";
  ASSERT_EQ(vzNet_StartNmlRec(p.get(), 0), 1);
  EXPECT_EQ(vzNet_IsNmlRec(p.get(), 0), 1);
  ASSERT_EQ(seen.starts.size(), 1u);
  const std::string prefix = "127.0.0.1:" + std::to_string(sim_->Port(0)) + " 0 1 " + seen.folder + "/";
  EXPECT_EQ(seen.starts[0].rfind(prefix, 0), 0u) << seen.starts[0];
  EXPECT_EQ(vzNet_StopNmlRec(p.get(), -1), 1);
  EXPECT_EQ(vzNet_IsNmlRec(p.get(), 0), 0);
  EXPECT_TRUE(seen.stops.empty());
  g_rec = nullptr;
}

}  // namespace
