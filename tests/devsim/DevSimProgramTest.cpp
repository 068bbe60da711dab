// The vzDevSim program as tests, demos and outside checkers start it: its
// command line, its listening lines and its stop on SIGTERM / SIGINT.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <sstream>
#include <thread>

#include "SimCommandLine.h"
#include "SimFixture.h"

namespace devsimtest {
namespace {

using Clock = std::chrono::steady_clock;

// A running vzDevSim with its standard output and error captured.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(VZ_DEVSIM_EXE));
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(VZ_DEVSIM_EXE, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~Program() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }

  // Reads standard output until `lines` lines have come or the time is up.
  std::vector<std::string> ReadLines(size_t lines, int ms = 20000) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Lines().size() < lines && Clock::now() < until) {
      if (!Pump(out_, &stdout_, 50)) break;
    }
    return Lines();
  }

  // Waits for the exit; -1 when it did not come in time.
  int Wait(int ms = 20000) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        while (Pump(out_, &stdout_, 0)) {
        }
        while (Pump(err_, &stderr_, 0)) {
        }
        return status_;
      }
      Pump(out_, &stdout_, 20);
      Pump(err_, &stderr_, 0);
    }
    return -1;
  }

  void Signal(int sig) { ::kill(pid_, sig); }
  const std::string& Out() const { return stdout_; }
  const std::string& Err() const { return stderr_; }

 private:
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(stdout_);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    if (!stdout_.empty() && stdout_.back() != '\n' && !lines.empty()) lines.pop_back();
    return lines;
  }
  static bool Pump(int fd, std::string* into, int ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return ms > 0;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    into->append(buf, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  int status_ = -1;
  std::string stdout_, stderr_;
};

std::vector<uint16_t> ListeningPorts(const std::vector<std::string>& lines) {
  static const std::regex kLine(R"(device (\d+) listening on 127\.0\.0\.1:(\d+))");
  std::vector<uint16_t> ports;
  for (size_t k = 0; k < lines.size(); ++k) {
    std::smatch m;
    if (!std::regex_match(lines[k], m, kLine) || std::stoul(m[1]) != k) return {};
    ports.push_back(static_cast<uint16_t>(std::stoul(m[2])));
  }
  return ports;
}

class StopSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(StopSignalTest, ServesEveryDeviceThenStopsCleanly) {
  vztest::TempDir dir;
  Program p({"--port", "0", "--devices", "3", "--state", dir.str(), "--model", "dvr"});
  const std::vector<uint16_t> ports = ListeningPorts(p.ReadLines(3));
  ASSERT_EQ(ports.size(), 3u) << p.Out();
  for (uint16_t port : ports) {
    SimTestClient c;
    ASSERT_TRUE(c.Connect(port));
    vz::TLoginReply reply;
    ASSERT_TRUE(c.Login("operator", "operator", 0, &reply));
    EXPECT_EQ(reply.UserLevel, 2);
    EXPECT_STREQ(reply.DevInfo.Model, "DVR-D404");
  }
  SimTestClient held;  // a connection still open at the stop
  ASSERT_TRUE(held.Connect(ports[0]));
  p.Signal(GetParam());
  EXPECT_EQ(p.Wait(), 0) << p.Err();
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::filesystem::exists(dir / ("device" + std::to_string(k) + ".cfg")));
  SimTestClient after;
  EXPECT_FALSE(after.Connect(ports[1]));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, ::testing::Values(SIGTERM, SIGINT));

TEST(DevSimProgram, ServesConsecutivePortsFromTheGivenOne) {
  vztest::TempDir dir;
  uint16_t base = 0;
  {
    // Ask the system for a free pair of ports, then let them go again.
    vzsim::SimOptions o;
    o.stateDir = (dir / "probe").string();
    vzsim::DevSim probe(o);
    ASSERT_TRUE(probe.Start());
    base = probe.Port(0);
  }
  if (base >= 65535) GTEST_SKIP() << "no room above the free port";
  Program p({"--port", std::to_string(base), "--devices", "2", "--state", dir.str(), "--fault", "refuse-login"});
  const std::vector<uint16_t> ports = ListeningPorts(p.ReadLines(2));
  if (ports.empty() && p.Wait(5000) == 1) GTEST_SKIP() << "the port was taken meanwhile: " << p.Err();
  ASSERT_EQ(ports, (std::vector<uint16_t>{base, static_cast<uint16_t>(base + 1)})) << p.Out() << p.Err();
  SimTestClient c;
  ASSERT_TRUE(c.Connect(base + 1));
  EXPECT_FALSE(c.Login("admin", "admin"));  // the fault from the command line
  p.Signal(SIGTERM);
  EXPECT_EQ(p.Wait(), 0);
}

// With --http every device's web interface answers on the port its line names.
TEST(DevSimProgram, ServesTheWebInterfaceWhenAsked) {
  vztest::TempDir dir;
  Program p({"--port", "0", "--devices", "2", "--state", dir.str(), "--http"});
  std::vector<std::string> lines = p.ReadLines(4);
  ASSERT_EQ(lines.size(), 4u) << p.Out() << p.Err();
  EXPECT_EQ(ListeningPorts({lines[0], lines[1]}).size(), 2u) << p.Out();
  static const std::regex kWeb(R"(device (\d) web on 127\.0\.0\.1:(\d+))");
  for (int k = 0; k < 2; ++k) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[2 + k], m, kWeb)) << lines[2 + k];
    EXPECT_EQ(std::stoi(m[1]), k);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(std::stoul(m[2])));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const char req[] = "GET /logo.png HTTP/1.0\r\n\r\n";
    ASSERT_EQ(::send(fd, req, sizeof req - 1, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof req - 1));
    char head[16] = {};
    pollfd pfd{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 10000), 1);
    EXPECT_GT(::recv(fd, head, sizeof head - 1, 0), 8);
    EXPECT_EQ(std::string(head).rfind("HTTP/1.", 0), 0u) << head;
    ::close(fd);
  }
  p.Signal(SIGTERM);
  EXPECT_EQ(p.Wait(), 0) << p.Err();
}

struct ExitCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* text;  // expected in the output (standard output for 0, else error)
};

class ExitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitTest, ExitsWithStatusAndSaysWhy) {
  Program p(GetParam().args);
  EXPECT_EQ(p.Wait(), GetParam().status);
  const std::string& text = GetParam().status == 0 ? p.Out() : p.Err();
  EXPECT_NE(text.find(GetParam().text), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ExitTest,
    ::testing::Values(ExitCase{"Help", {"--help"}, 0, "--reboot-refusal"},
                      ExitCase{"NoPort", {"--devices", "2"}, 2, "--port is required"},
                      ExitCase{"Unknown", {"--port", "0", "--frobnicate"}, 2, "unknown option"},
                      ExitCase{"BadModel", {"--port", "0", "--model", "nvr"}, 2, "neither ipc nor dvr"},
                      ExitCase{"StateUnderAFile", {"--port", "0", "--state", "/proc/version/x"}, 1, "state folder"}),
    [](const ::testing::TestParamInfo<ExitCase>& i) { return std::string(i.param.name); });

// ---- the parser itself ---------------------------------------------------------

struct ParseCase {
  const char* name;
  std::vector<std::string> args;
  bool ok;
  uint16_t port;
  int devices;
  const char* model;
  vzsim::Fault fault;
  int faultArg;
  uint32_t faultCmd;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsEveryOptionAndRefusesBadValues) {
  const ParseCase& c = GetParam();
  std::vector<const char*> argv{"vzDevSim"};
  for (const auto& a : c.args) argv.push_back(a.c_str());
  vzsim::SimCommandLine cmd;
  ASSERT_EQ(cmd.Parse(static_cast<int>(argv.size()), argv.data()), c.ok) << cmd.error;
  if (!c.ok) {
    EXPECT_FALSE(cmd.error.empty());
    return;
  }
  EXPECT_EQ(cmd.options.basePort, c.port);
  EXPECT_EQ(cmd.options.devices, c.devices);
  EXPECT_EQ(cmd.options.model, c.model);
  EXPECT_EQ(cmd.fault, c.fault);
  EXPECT_EQ(cmd.faultArg, c.faultArg);
  EXPECT_EQ(cmd.faultCmd, c.faultCmd);
}

using F = vzsim::Fault;
INSTANTIATE_TEST_SUITE_P(
    Args, ParseTest,
    ::testing::Values(
        ParseCase{"PortOnly", {"--port", "5000"}, true, 5000, 1, "ipc", F::None, 0, 0},
        ParseCase{"Everything",
                  {"--port=6000", "--devices", "4", "--model", "dvr", "--fault", "stall", "--fault-arg", "2500",
                   "--fault-cmd", "34", "--state", "/tmp/x", "--verbose"},
                  true, 6000, 4, "dvr", F::Stall, 2500, 34},
        ParseCase{"ForeignHeads", {"--port", "1", "--fault=foreign-heads", "--fault-arg=6"}, true, 1, 1, "ipc",
                  F::ForeignHeads, 6, 0},
        ParseCase{"PortTooHigh", {"--port", "65536"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"PortNegative", {"--port", "-1"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"PortNotANumber", {"--port", "50x"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"PortMissingValue", {"--port"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"ZeroDevices", {"--port", "5000", "--devices", "0"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"PortsPastTheEnd", {"--port", "65535", "--devices", "2"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"UnknownFault", {"--port", "1", "--fault", "explode"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"EmptyState", {"--port", "1", "--state", ""}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"FlagWithValue", {"--port", "1", "--verbose=yes"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"DevicesFromCameras",
                  {"--port", "1", "--device", "h264:d1", "--device", "dvr:mpeg4:cif:15", "--fault", "jpeg-in-mpeg4"},
                  true, 1, 2, "ipc", F::JpegInMpeg4, 0, 0},
        ParseCase{"DevicesBeatCameras", {"--port", "1", "--devices", "3", "--device", "mjpeg"}, true, 1, 3, "ipc",
                  F::None, 0, 0},
        ParseCase{"BadCamera", {"--port", "1", "--device", "vp8:d1"}, false, 0, 0, "", F::None, 0, 0},
        ParseCase{"BadAlarmEvery", {"--port", "1", "--alarm-every", "0"}, false, 0, 0, "", F::None, 0, 0}),
    [](const ::testing::TestParamInfo<ParseCase>& i) { return std::string(i.param.name); });

TEST(DevSimFaultNames, EveryFaultRoundTripsThroughItsName) {
  const vzsim::Fault all[] = {F::None,         F::RefuseLogin,   F::WrongCode,      F::ResultZero,
                              F::Stall,        F::CloseMidPacket, F::ForeignHeads, F::StreamSilent,
                              F::StreamGarbage, F::StreamOverLong, F::StreamCut,    F::ClockBack,
                              F::JpegInMpeg4,   F::StreamFlood};
  for (vzsim::Fault f : all) {
    vzsim::Fault back = F::Stall;
    ASSERT_TRUE(vzsim::ParseFaultName(vzsim::FaultName(f), &back)) << vzsim::FaultName(f);
    EXPECT_EQ(back, f);
  }
}

struct CameraCase {
  const char* text;
  bool ok;
  vzsim::SimCamera want;
};

TEST(DevSimCamera, ReadsModelCodecSizeRateBitRateAndKeyInterval) {
  const CameraCase cases[] = {
      {"h264", true, {"", 2, 0, 0, 0, 0, 0}},
      {"h264:d1", true, {"", 2, 704, 576, 0, 0, 0}},
      {"dvr:mpeg4:cif:15:768:30", true, {"dvr", 0, 352, 288, 15, 768, 30}},
      {"ipc:mjpeg:640x480:10", true, {"ipc", 1, 640, 480, 10, 0, 0}},
      {"h264:720p", true, {"", 2, 1280, 720, 0, 0, 0}},
      {"busy:h264:1080p", true, {"", 2, 1920, 1080, 0, 0, 0, true}},
      {"dvr:busy:mpeg4", true, {"dvr", 0, 0, 0, 0, 0, 0, true}},
      {"busy", false, {}},
      {"h264:busy", false, {}},
      {"", false, {}},
      {"dvr", false, {}},
      {"h265:d1", false, {}},
      {"h264:704x", false, {}},
      {"h264:8x8", false, {}},
      {"h264:d1:0", false, {}},
      {"h264:d1:25:1024:50:7", false, {}},
  };
  for (const CameraCase& c : cases) {
    vzsim::SimCamera got;
    std::string error;
    ASSERT_EQ(vzsim::ParseCamera(c.text, &got, &error), c.ok) << c.text << ": " << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(got.model, c.want.model) << c.text;
    EXPECT_EQ(got.codec, c.want.codec) << c.text;
    EXPECT_EQ(got.width, c.want.width) << c.text;
    EXPECT_EQ(got.height, c.want.height) << c.text;
    EXPECT_EQ(got.fps, c.want.fps) << c.text;
    EXPECT_EQ(got.kbps, c.want.kbps) << c.text;
    EXPECT_EQ(got.keyInterval, c.want.keyInterval) << c.text;
    EXPECT_EQ(got.busy, c.want.busy) << c.text;
  }
}

}  // namespace
}  // namespace devsimtest
