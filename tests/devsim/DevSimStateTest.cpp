// The device's stored configuration: its defaults, its file, and starting
// over a file that is not one.
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "SimFixture.h"
#include "SimState.h"
#include "vz_users.h"
#include "vz_values.h"

namespace devsimtest {
namespace {

using vz::TCmdPkt;

struct ModelCase {
  const char* model;
  int channels;
  const char* modelText;
  bool disk;
};

class DefaultsTest : public SimFixture, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(DefaultsTest, NewDeviceHasTheAccountsVersionAndChannelsOfItsModel) {
  StartSim(GetParam().model, 2);
  for (int d = 0; d < 2; ++d) {
    SCOPED_TRACE(d);
    const vz::TDevCfg cfg = sim_->Config(d);
    EXPECT_STREQ(cfg.DevInfo.Model, GetParam().modelText);
    EXPECT_STREQ(cfg.DevInfo.SoftVer, "V2.118");
    EXPECT_EQ(cfg.DevInfo.VideoChannels, GetParam().channels);
    EXPECT_EQ(cfg.DevInfo.SubStream, 1);
    EXPECT_EQ(cfg.Net.DataPort, sim_->Port(d));
    EXPECT_EQ(cfg.Disk.DiskName[0] != 0, GetParam().disk);
    const struct {
      const char* name;
      int group;
    } accounts[] = {{"admin", 3}, {"operator", 2}, {"guest", 1}};
    EXPECT_EQ(vz::UserCount(cfg.User), 3);
    for (const auto& a : accounts) {
      const int i = vz::UserFind(cfg.User, a.name);
      ASSERT_GE(i, 0) << a.name;
      EXPECT_EQ(cfg.User.Users[i].Group, a.group);
      EXPECT_EQ(cfg.User.Users[i].Group2, a.group);
      EXPECT_STREQ(cfg.User.Users[i].Password, a.name);
    }
    // The main stream's size is one the device says it supports.
    const int code = vz::StandardExFromSize(cfg.Video.Width, cfg.Video.Height);
    EXPECT_NE(cfg.DevInfo.MainResolutions & (1ull << code), 0u);
    EXPECT_NE(cfg.DevInfo.SubResolutions & (1ull << cfg.Video.SubResolution), 0u);
    for (int ch = 0; ch < GetParam().channels; ++ch) {
      const std::vector<uint8_t> v = sim_->VideoConfigBytes(d, ch);
      ASSERT_EQ(v.size(), sizeof(vz::TVideoCfg));
      EXPECT_EQ(v[0], ch);
    }
    EXPECT_TRUE(sim_->VideoConfigBytes(d, GetParam().channels).empty());
  }
  EXPECT_NE(sim_->Config(0).DevInfo.Serial, sim_->Config(1).DevInfo.Serial);
}

INSTANTIATE_TEST_SUITE_P(Models, DefaultsTest,
                         ::testing::Values(ModelCase{"ipc", 1, "IPC-C100", false},
                                           ModelCase{"dvr", 4, "DVR-D404", true}));

TEST_F(SimFixture, WhatWasSetSurvivesARestart) {
  StartSim("dvr");
  {
    SimTestClient c;
    LogIn(c);
    vz::TEmailCfg mail = sim_->Config(0).Email;
    std::strcpy(mail.Server, "smtp.test");
    std::vector<uint8_t> video = sim_->VideoConfigBytes(0, 2);
    video[30] = 77;  // hue of channel 2
    vz::TRfCfg rf = sim_->RfConfig(0);
    rf.ArmMode = 82;
    TCmdPkt a{}, b{}, r{};
    ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::Email, &mail, sizeof mail, 0, a));
    ASSERT_TRUE(c.Exchange(a, r));
    ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::Video, video.data(), video.size(), 2, b));
    ASSERT_TRUE(c.Exchange(b, r));
    ASSERT_TRUE(vz::BuildRecordSet(vz::TRecordKind::Rf, &rf, sizeof rf, 0, a));
    ASSERT_TRUE(c.Exchange(a, r));
  }
  const std::vector<uint8_t> cfg = sim_->ConfigBytes(0);
  const uint16_t port = Port();
  sim_.reset();
  StartSim("dvr", 1, port);  // the port is part of the stored network record
  EXPECT_EQ(sim_->ConfigBytes(0), cfg);
  EXPECT_STREQ(sim_->Config(0).Email.Server, "smtp.test");
  EXPECT_EQ(sim_->VideoConfigBytes(0, 2)[30], 77);
  EXPECT_EQ(sim_->RfConfig(0).ArmMode, 82);
}

// Files that are not a saved state: the device starts from its defaults and
// writes a good file over them.
TEST_F(SimFixture, UnreadableStateFilesAreReplacedByDefaults) {
  StartSim();
  const std::vector<uint8_t> defaults = sim_->ConfigBytes(0);
  const std::filesystem::path file = dir_ / "device0.cfg";
  const std::string good = vztest::ReadFileBytes(file);
  const uint16_t port = Port();
  sim_.reset();
  ASSERT_FALSE(good.empty());
  std::string changed = good;
  changed[12 + 572 + 20] = 'X';  // software version text, still a good file
  struct Case {
    const char* name;
    std::string bytes;
    bool kept;
  };
  std::string badMagic = changed, badVersion = changed;
  badMagic[0] = 'X';
  badVersion[8] = 9;
  const Case cases[] = {
      {"Good", changed, true},
      {"Empty", "", false},
      {"Truncated", changed.substr(0, changed.size() - 1), false},
      {"Longer", changed + "x", false},
      {"BadMagic", badMagic, false},
      {"BadVersion", badVersion, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vztest::WriteFileBytes(file, c.bytes);
    StartSim("ipc", 1, port);
    EXPECT_EQ(sim_->Config(0).DevInfo.SoftVer[0], c.kept ? 'X' : 'V');
    if (!c.kept) {
      EXPECT_EQ(sim_->ConfigBytes(0), defaults);
    }
    sim_.reset();
    EXPECT_EQ(vztest::ReadFileBytes(file).size(), good.size());
  }
}

TEST(SimStateParse, AcceptsOnlyExactlyOneSavedState) {
  vzsim::SimState s;
  s.cfg[5] = 42;
  const std::vector<uint8_t> bytes = s.Serialize();
  vzsim::SimState t;
  EXPECT_FALSE(t.Parse(nullptr, 0));
  EXPECT_FALSE(t.Parse(bytes.data(), bytes.size() - 1));
  EXPECT_EQ(t.cfg[5], 0);
  ASSERT_TRUE(t.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(t.cfg[5], 42);
}

TEST(DevSimStart, FailsCleanlyWhenItCannotServe) {
  vztest::TempDir dir;
  vztest::WriteFileBytes(dir / "file", "x");
  // A port already taken on loopback.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 1), 0);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  const uint16_t taken = ntohs(addr.sin_port);

  struct Case {
    const char* name;
    vzsim::SimOptions options;
  };
  auto opts = [&](std::string state, std::string model, int devices, uint16_t port) {
    vzsim::SimOptions o;
    o.stateDir = std::move(state);
    o.model = std::move(model);
    o.devices = devices;
    o.basePort = port;
    return o;
  };
  const Case cases[] = {
      {"PortTaken", opts(dir.str(), "ipc", 1, taken)},
      {"StateUnderAFile", opts((dir / "file" / "sub").string(), "ipc", 1, 0)},
      {"NoStateFolder", opts("", "ipc", 1, 0)},
      {"UnknownModel", opts(dir.str(), "nvr", 1, 0)},
      {"NoDevices", opts(dir.str(), "ipc", 0, 0)},
      {"PastLastPort", opts(dir.str(), "ipc", 3, 65534)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vzsim::DevSim sim(c.options);
    EXPECT_FALSE(sim.Start());
    EXPECT_FALSE(sim.Error().empty());
    EXPECT_EQ(sim.DeviceCount(), 0);
  }
  ::close(fd);
}

}  // namespace
}  // namespace devsimtest
