// Two-way talk against the simulator: the microphone (the file behind
// "default") reaches the device as talk packets on the player's stream
// connection, with the server address cut so the port keeps its place, and
// a talk freed while it records.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DevSim.h"
#include "TalkEnv.h"
#include "TestEnv.h"
#include "class_AxPlay.h"
#include "vzSDK.h"

namespace {

using std::chrono::milliseconds;

template <typename P>
bool WaitFor(P pred, milliseconds limit = milliseconds(30000)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

struct PlayerDeleter {
  void operator()(vzNetPlayer_* h) const { vzNet_Free(h); }
};
using Player = std::unique_ptr<vzNetPlayer_, PlayerDeleter>;

class Talk : public ::testing::Test {
 protected:
  void SetUp() override {
    vzsim::SimOptions o;
    o.stateDir = dir_.str();
    sim_ = std::make_unique<vzsim::DevSim>(o);
    ASSERT_TRUE(sim_->Start()) << sim_->Error();
  }

  // Connected with svrAddr as the server address, and the device's audio
  // at the rate the file-backed microphone serves (16 kHz, 16-bit mono).
  Player Connected(const char* svrAddr) {
    // The login carries the address in a 20-byte field and refuses longer
    // ones; a longer one is put in place once connected.
    const std::string addr = svrAddr;
    const char* login = addr.size() < 20 ? svrAddr : "127.0.0.1";
    vzNetHandle h = nullptr;
    EXPECT_EQ(vzNet_Init(&h, devNone, 0, 0, 0, 0), 1);
    Player p(h);
    EXPECT_EQ(vzNet_Connect(h, "admin", "admin", "127.0.0.1", login, sim_->Port(0), 5000), 1);
    TAxPlay* player = reinterpret_cast<TAxPlay*>(h);
    if (login != svrAddr) {
      vz::TConnectArgs args = player->ConnectArgs();
      args.SvrAddr = addr;
      player->SetConnectArgs(args);
    }
    vz::TAudioCfg audio = player->Cfg().Audio;
    audio.Channels = 1;
    audio.SampleRate = 16000;
    audio.BitsPerSample = 16;
    audio.BlockAlign = 2;
    audio.AvgBytesPerSec = 32000;
    EXPECT_TRUE(player->SetAudioCfg(&audio, 0));
    sim_->ClearTalkPackets(0);
    return p;
  }

  // Waits until no packet has arrived for a while, then returns them all.
  std::vector<vzsim::TalkPacket> Settled() {
    size_t settled = 0;
    EXPECT_TRUE(WaitFor([&] {
      const size_t before = sim_->TalkPackets(0).size();
      std::this_thread::sleep_for(milliseconds(300));
      settled = sim_->TalkPackets(0).size();
      return settled == before;
    }));
    return sim_->TalkPackets(0);
  }

  vztest::TempDir dir_;
  std::unique_ptr<vzsim::DevSim> sim_;
};

std::string Samples(const std::vector<vzsim::TalkPacket>& packets, size_t from = 0) {
  std::string s;
  for (size_t i = from; i < packets.size(); ++i) s.append(packets[i].samples.begin(), packets[i].samples.end());
  return s;
}

// The file is read as fast as it goes; past its end the bytes are not ours.
void ExpectMicrophoneFromItsStart(const std::string& samples) {
  const std::string mic = talktest::MicrophoneBytes();
  const size_t n = std::min(samples.size(), mic.size());
  ASSERT_GE(n, 4096u);
  EXPECT_TRUE(mic.compare(0, n, samples, 0, n) == 0) << "the device got other bytes than recorded";
}

TEST_F(Talk, PacketsCarryTheServerAddressCutAndThePort) {
  struct Case {
    const char* name;
    const char* svrAddr;
    const char* sent;
  };
  const Case cases[] = {
      {"short", "127.0.0.1", "127.0.0.1"},
      {"19 characters", "cam-19-characters.x", "cam-19-characters.x"},
      {"longer", "a-server-address-longer-than-twenty.example", "a-server-address-lo"},
  };
  vzTalkHandle talk = nullptr;
  ASSERT_EQ(vzNet_InitTalk(&talk), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Player p = Connected(c.svrAddr);
    ASSERT_EQ(vzNet_SetTalk(talk, p.get()), 1);
    ASSERT_TRUE(WaitFor([&] { return sim_->TalkPackets(0).size() >= 3; }));
    ASSERT_EQ(vzNet_SetTalk(talk, nullptr), 1);
    const auto packets = Settled();
    ASSERT_GE(packets.size(), 3u);
    for (const auto& t : packets) {
      EXPECT_EQ(t.problem, "");
      EXPECT_EQ(t.address, c.sent);
      EXPECT_EQ(t.port, sim_->Port(0));
      EXPECT_LE(t.samples.size(), 4096u);
    }
    ExpectMicrophoneFromItsStart(Samples(packets));
    // Paused: nothing more until the talk is pointed at a player again.
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(sim_->TalkPackets(0).size(), packets.size()) << "sent after the talk was paused";
    sim_->ClearTalkPackets(0);
  }
  EXPECT_EQ(vzNet_FreeTalk(talk), 1);
}

TEST_F(Talk, FreeWhileRecordingStopsTheCaptureAndNullHandlesAreRefused) {
  Player p = Connected("127.0.0.1");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    vzTalkHandle talk = nullptr;
    ASSERT_EQ(vzNet_InitTalk(&talk), 1);
    ASSERT_EQ(vzNet_SetTalk(talk, p.get()), 1);
    ASSERT_TRUE(WaitFor([&] { return sim_->TalkPackets(0).size() >= 2; }));
    ASSERT_EQ(vzNet_FreeTalk(talk), 1);
    const size_t after = Settled().size();
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(sim_->TalkPackets(0).size(), after) << "sent after the talk was freed";
    sim_->ClearTalkPackets(0);
  }
  // The player streams on after every talk has ended.
  EXPECT_EQ(vzNet_Play(p.get(), 1, 1, 0), 1);
  EXPECT_EQ(vzNet_SetTalk(nullptr, p.get()), 0);
  EXPECT_EQ(vzNet_FreeTalk(nullptr), 0);
}

}  // namespace
