// The device's web requests against the simulator's web server on loopback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "DevSim.h"
#include "IniFile.h"
#include "SimHttp.h"
#include "TestEnv.h"
#include "WebGet.h"
#include "class_DevHttp.h"

namespace {

using vz::THttpOutcome;
using vz::TDevHttp;

// A loopback port with nothing listening on it.
uint16_t DeadPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

class DevHttpSim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::setenv("TMPDIR", tmp_.str().c_str(), 1), 0);
    vzsim::SimOptions o;
    o.stateDir = state_.str();
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
    ASSERT_TRUE(sim_->StartHttp()) << sim_->Error();
    http_ = sim_->Http(0);
  }
  void TearDown() override {
    sim_.reset();
    ::unsetenv("TMPDIR");
  }

  // The web port as a client finds it: in the device's network record.
  TDevHttp Device(const std::string& user = "admin", const std::string& password = "admin") const {
    const int port = sim_->Config(0).Net.WebPort;
    return TDevHttp(vz::TDevHttpTarget{"127.0.0.1", port, user, password});
  }

  vztest::TempDir tmp_;
  vztest::TempDir state_;
  std::unique_ptr<vzsim::DevSim> sim_;
  vzsim::SimHttp* http_ = nullptr;
};

TEST_F(DevHttpSim, TheDeviceRecordCarriesTheWebPortItServesOn) {
  EXPECT_NE(sim_->HttpPort(0), 0);
  EXPECT_EQ(sim_->Config(0).Net.WebPort, sim_->HttpPort(0));
}

struct StatusCase {
  const char* what;
  std::string body;
  THttpOutcome outcome;
};

TEST_F(DevHttpSim, ShortStatusRepliesSucceedOnlyBelowTwentyBytesStartingWithOK) {
  const std::vector<StatusCase> cases = {
      {"the two bytes OK", "OK", THttpOutcome::Succeeded},
      {"19 bytes starting with OK", "OK" + std::string(17, 'x'), THttpOutcome::Succeeded},
      {"20 bytes starting with OK", "OK" + std::string(18, 'x'), THttpOutcome::Failed},
      {"OK followed by a line break", "OK\r\n", THttpOutcome::Succeeded},
      {"an empty body", "", THttpOutcome::Failed},
      {"one byte O", "O", THttpOutcome::Failed},
      {"lower case", "ok", THttpOutcome::Failed},
      {"an error word", "ERROR", THttpOutcome::Failed},
      {"OK not at the start", " OK", THttpOutcome::Failed},
  };
  for (const StatusCase& c : cases) {
    http_->SetCfgReply(68, c.body);
    http_->SetCfgReply(69, c.body);
    http_->SetCfgReply(71, c.body);
    const vz::THttpResult mail = Device().TestEmail();
    EXPECT_EQ(mail.Outcome, c.outcome) << c.what << " (e-mail)";
    EXPECT_TRUE(mail.Error.empty()) << c.what;
    EXPECT_EQ(Device().TestFtp().Outcome, c.outcome) << c.what << " (FTP)";
    EXPECT_EQ(Device().ForgetWiFi("SimNet-A").Outcome, c.outcome) << c.what << " (forget)";
  }
}

TEST_F(DevHttpSim, RequestsCarryTheLoginTheMessageAndForListsTheTick) {
  EXPECT_EQ(Device().TestEmail().Outcome, THttpOutcome::Succeeded);
  EXPECT_EQ(Device().TestFtp().Outcome, THttpOutcome::Succeeded);
  std::vector<vz::TWiFiEntry> rows;
  EXPECT_EQ(Device().ListWiFi(rows).Outcome, THttpOutcome::Succeeded);
  const std::vector<vzsim::SimHttpRequest> heard = http_->Heard();
  ASSERT_EQ(heard.size(), 3u);
  const char* ids[] = {"68", "69", "70"};
  for (size_t i = 0; i < heard.size(); ++i) {
    EXPECT_EQ(heard[i].path, "/cfg.cgi");
    EXPECT_EQ(heard[i].Query("User"), "admin");
    EXPECT_EQ(heard[i].Query("Psd"), "admin");
    EXPECT_EQ(heard[i].Query("MsgID"), ids[i]);
  }
  EXPECT_EQ(heard[0].target, "/cfg.cgi?User=admin&Psd=admin&MsgID=68");
  EXPECT_EQ(heard[0].query.count("s"), 0u);
  EXPECT_EQ(heard[2].query.count("s"), 1u);
  EXPECT_EQ(heard[2].query.count("SSID"), 0u);
}

TEST_F(DevHttpSim, TheWiFiListIsKeptInTheTemporaryFolderAndReadBackFromThere) {
  std::vector<vz::TWiFiEntry> rows;
  ASSERT_EQ(Device().ListWiFi(rows).Outcome, THttpOutcome::Succeeded);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].SSID, "SimNet-A");
  EXPECT_EQ(rows[0].Password, "simpass01");
  EXPECT_EQ(rows[1].SSID, "Sim Net B");
  EXPECT_EQ(rows[1].EncryptType, "1");
  EXPECT_EQ(rows[1].Auth, "0");
  EXPECT_EQ(rows[1].Enc, "1");
  EXPECT_EQ(TDevHttp::WiFiListFile(), tmp_.str() + "/wifiSTALstGet.ini");
  EXPECT_EQ(vztest::ReadFileBytes(TDevHttp::WiFiListFile()), vzsim::SimHttp::WiFiListText(http_->WiFiList()));
}

struct ListCase {
  const char* what;
  std::string body;
  std::vector<std::string> ssids;
};

TEST_F(DevHttpSim, TheWiFiListEndsAtTheFirstSectionWithoutSSID) {
  const std::vector<ListCase> cases = {
      {"sections 0, 1 and 3", "[0]\r\nSSID=A\r\n[1]\r\nSSID=B\r\n[3]\r\nSSID=D\r\n", {"A", "B"}},
      {"an empty SSID in section 1", "[0]\nSSID=A\n[1]\nSSID=\nAuth=1\n[2]\nSSID=C\n", {"A"}},
      {"section 1 without the key", "[0]\nSSID=A\n[1]\nPassword=x\n[2]\nSSID=C\n", {"A"}},
      {"no section 0", "[1]\nSSID=B\n", {}},
      {"an empty reply", "", {}},
      {"a reply that is no INI text", "<html><body>busy</body></html>", {}},
  };
  for (const ListCase& c : cases) {
    http_->SetCfgReply(70, c.body);
    std::vector<vz::TWiFiEntry> rows(3);  // replaced, not appended to
    EXPECT_EQ(Device().ListWiFi(rows).Outcome, THttpOutcome::Succeeded) << c.what;
    std::vector<std::string> got;
    for (const vz::TWiFiEntry& r : rows) got.push_back(r.SSID);
    EXPECT_EQ(got, c.ssids) << c.what;
    EXPECT_EQ(vztest::ReadFileBytes(TDevHttp::WiFiListFile()), c.body) << c.what;
  }
}

TEST_F(DevHttpSim, ALinkPlantedUnderTheListNameIsReplacedNotWrittenThrough) {
  const std::filesystem::path victim = state_ / "victim.txt";
  vztest::WriteFileBytes(victim, "keep me");
  std::filesystem::create_symlink(victim, TDevHttp::WiFiListFile());
  std::vector<vz::TWiFiEntry> rows;
  ASSERT_EQ(Device().ListWiFi(rows).Outcome, THttpOutcome::Succeeded);
  EXPECT_EQ(rows.size(), 2u);
  EXPECT_EQ(vztest::ReadFileBytes(victim), "keep me");
  EXPECT_FALSE(std::filesystem::is_symlink(TDevHttp::WiFiListFile()));
}

TEST_F(DevHttpSim, ForgettingANetworkWithBlanksInItsNameRemovesExactlyThatOne) {
  ASSERT_EQ(Device().ForgetWiFi("Sim Net B").Outcome, THttpOutcome::Succeeded);
  const vzsim::SimHttpRequest last = http_->Heard().back();
  EXPECT_EQ(last.Query("MsgID"), "71");
  EXPECT_EQ(last.Query("SSID"), "Sim Net B");
  EXPECT_EQ(last.query.count("s"), 1u);
  std::vector<vz::TWiFiEntry> rows;
  ASSERT_EQ(Device().ListWiFi(rows).Outcome, THttpOutcome::Succeeded);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].SSID, "SimNet-A");
  EXPECT_EQ(Device().ForgetWiFi("Sim Net B").Outcome, THttpOutcome::Failed);  // already gone: "ERROR"
}

TEST_F(DevHttpSim, RequestsThatCannotBeCompletedReportTheClientsErrorText) {
  struct Case {
    const char* what;
    TDevHttp device;
  };
  const std::vector<Case> cases = {
      {"nothing listening", TDevHttp(vz::TDevHttpTarget{"127.0.0.1", DeadPort(), "admin", "admin"})},
      {"a wrong password (HTTP 401)", Device("admin", "wrong")},
  };
  for (const Case& c : cases) {
    const vz::THttpResult r = c.device.TestEmail();
    EXPECT_EQ(r.Outcome, THttpOutcome::NotCompleted) << c.what;
    EXPECT_FALSE(r.Error.empty()) << c.what;
    std::vector<vz::TWiFiEntry> rows(2);
    const vz::THttpResult list = c.device.ListWiFi(rows);
    EXPECT_EQ(list.Outcome, THttpOutcome::NotCompleted) << c.what;
    EXPECT_TRUE(rows.empty()) << c.what;
    EXPECT_EQ(c.device.ForgetWiFi("SimNet-A").Outcome, THttpOutcome::NotCompleted) << c.what;
  }
  EXPECT_EQ(http_->WiFiList().size(), 2u);
}

TEST_F(DevHttpSim, TheWebServerHandsOutItsLogoAndItsRecordings) {
  const int port = sim_->HttpPort(0);
  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  const std::filesystem::path logo = tmp_ / "logo.png";
  ASSERT_TRUE(vz::WebGetFile(base + "/logo.png", logo.string()));
  EXPECT_EQ(vztest::ReadFileBytes(logo), vzsim::SimHttp::LogoPng());
  EXPECT_EQ(vztest::ReadFileBytes(logo).substr(1, 3), "PNG");

  std::string recording(300000, '\0');
  for (size_t i = 0; i < recording.size(); ++i) recording[i] = static_cast<char>(i * 7 + (i >> 11));
  const std::filesystem::path onDevice = std::filesystem::path(sim_->FileFolder(0)) / "mnt/rec/20240102_130405_0.av";
  std::filesystem::create_directories(onDevice.parent_path());
  vztest::WriteFileBytes(onDevice, recording);
  const std::filesystem::path local = tmp_ / "_mnt_rec_20240102_130405_0.av";
  uint64_t lastGot = 0, lastTotal = 0;
  vz::TWebGetOptions progress;
  progress.progress = [&](uint64_t got, uint64_t total) {
    lastGot = got;
    lastTotal = total;
    return true;
  };
  ASSERT_TRUE(vz::WebGetFile(base + "/mnt/rec/20240102_130405_0.av", local.string(), progress));
  EXPECT_EQ(vztest::ReadFileBytes(local), recording);
  EXPECT_EQ(lastTotal, recording.size());  // the length is announced, so progress can be shown
  EXPECT_EQ(lastGot, recording.size());

  vztest::WriteFileBytes(state_ / "device0.secret", "x");
  for (const char* path : {"/mnt/rec/missing.av", "/../device0.secret", "/mnt/../../device0.secret", "/"}) {
    EXPECT_FALSE(vz::WebGetFile(base + path, (tmp_ / "refused").string())) << path;
  }
}

}  // namespace
